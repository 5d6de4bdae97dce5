#pragma once

#include <QPointer>
#include <functional>

#include "shell/kit/TYLabel.h"

class CustomButton;
namespace kit {
class PictureView;
}

// A message laid over the whole key window: the picture named by a message code on the
// message panel, with OK. While shown it lies above every other view of the window and takes
// the clicks meant for the controls below.
class TYAlertView : public TYLabel {
    Q_OBJECT
public:
    using Block = std::function<void()>;

    explicit TYAlertView(const QRect &frame, QWidget *parent = nullptr);

    // Shows the picture over the key window unless a message view is already on top there
    // (messages never stack); a shown update view goes away without running its blocks.
    // With no key window nothing is shown. Returns the view shown, or null.
    static TYAlertView *showErrorAlertView(const QString &pictureName);
    // The same; `okButtonClicked` runs after OK, once the view is gone.
    static TYAlertView *showErrorAlertView(const QString &pictureName, Block okButtonClicked);

    // Posts "errorOKClicked", removes the view, then runs the OK block.
    void okButtonClicked();

    kit::PictureView *errorImageView() const { return errorImageView_; }
    CustomButton *okButton() const { return okButton_; }
    Block clickOkButton() const { return clickOkButton_; }
    void setClickOkButton(Block block) { clickOkButton_ = std::move(block); }

private:
    static TYAlertView *show(const QString &pictureName, Block okButtonClicked);

    kit::PictureView *errorImageView_ = nullptr;
    CustomButton *okButton_ = nullptr;
    Block clickOkButton_;
};
