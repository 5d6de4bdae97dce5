#pragma once

#include <QWidget>

class CustomButton;
namespace kit {
class PictureView;
}

// A message with OK over the last work window made (or the one before it when the last is
// a special window). A newer one replaces an older one; OK only takes the view away.
class TYAlertTransView : public QWidget {
    Q_OBJECT
public:
    explicit TYAlertTransView(const QRect &frame, QWidget *parent = nullptr);

    // Returns the view shown, or null when there is no window.
    static TYAlertTransView *showErrorAlertView(const QString &pictureName);

    void okButtonClicked();

    kit::PictureView *errorImageView() const { return errorImageView_; }
    CustomButton *okButton() const { return okButton_; }

private:
    kit::PictureView *errorImageView_ = nullptr;
    CustomButton *okButton_ = nullptr;
};
