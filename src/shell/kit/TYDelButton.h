#pragma once

#include "shell/kit/CustomButton.h"

// The delete button of the list editors' rows.
class TYDelButton : public CustomButton {
    Q_OBJECT
public:
    explicit TYDelButton(QWidget *parent = nullptr);
    TYDelButton(const QRect &frame, QWidget *parent);

private:
    void setUp();
};
