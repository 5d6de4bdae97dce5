#include "shell/kit/TYAlertView.h"

#include "platform/NotificationCenter.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitNotifications.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/MessageParts.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/ViewTags.h"
#include "shell/kit/WindowList.h"

TYAlertView::TYAlertView(const QRect &frame, QWidget *parent) : TYLabel(frame, parent) {
    kit::addStretchedPicture(this, rect(), QStringLiteral("box"));
    kit::addStretchedPicture(this, QRect(0, 200, 960, 320), QStringLiteral("画面_メッセージ"));
    errorImageView_ = kit::addStretchedPicture(this, QRect(243, 260, 475, 85), QString());
    okButton_ = kit::addMessageButton(this, QRect(494, 360, 112, 112), QStringLiteral("ボタン_OK_"));
    connect(okButton_, &CustomButton::clicked, this, &TYAlertView::okButtonClicked);
}

TYAlertView *TYAlertView::showErrorAlertView(const QString &pictureName) {
    return show(pictureName, Block());
}

TYAlertView *TYAlertView::showErrorAlertView(const QString &pictureName, Block okButtonClicked) {
    return show(pictureName, std::move(okButtonClicked));
}

TYAlertView *TYAlertView::show(const QString &pictureName, Block okButtonClicked) {
    TYAlertView *shown = nullptr;
    if (TYWindow *window = kit::keyWindow()) {
        QWidget *top = kit::topMostSubview(window);
        if (!qobject_cast<TYAlertView *>(top)) {
            shown = new TYAlertView(window->rect(), window);
            shown->errorImageView_->setPixmap(kit::picture(pictureName));
            shown->clickOkButton_ = std::move(okButtonClicked);
            shown->raise();
            shown->QWidget::show();
        }
    }
    TYUpdateView::removeUpdateView();
    return shown;
}

void TYAlertView::okButtonClicked() {
    // An observer may close the window, and this view goes with it.
    const QPointer<TYAlertView> self(this);
    Block block = clickOkButton_;
    cvx::NotificationCenter::defaultCenter().postNotificationName(kit::kErrorOKClicked);
    if (self) kit::removeFromSuperview(this);
    if (block) block();
}
