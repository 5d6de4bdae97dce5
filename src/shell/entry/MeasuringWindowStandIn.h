#pragma once

#include <QPointer>

#include "shell/kit/TYWindowController.h"

class QLabel;
class BBTime;
class CustomButton;

// Stands in for the measuring window until that window exists: a work window with the layout
// name "TestViewController" that shows the chart number sent to the instrument and leads back
// to the patient-entry window. Closing it brings back its lastWindow and posts
// "BackOprationFromTest", as the measuring window does.
class MeasuringWindowStandIn : public TYWindowController {
    Q_OBJECT
public:
    explicit MeasuringWindowStandIn(const QString &chartNo, QObject *parent = nullptr);

    QString chartNo() const { return chartNo_; }
    QLabel *chartNoLabel() const { return chartNoLabel_; }
    CustomButton *backButton() const { return backButton_; }

protected:
    void setupUi(TYWindow *window) override;
    void windowWillClose() override;

private:
    QString chartNo_;
    QLabel *chartNoLabel_ = nullptr;
    CustomButton *backButton_ = nullptr;
    BBTime *clock_ = nullptr;
};
