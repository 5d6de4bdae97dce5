#include "shell/kit/TYUpdateView.h"

#include <QLabel>
#include <QPointer>

#include "shell/kit/CustomButton.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/MessageParts.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/ViewTags.h"
#include "shell/kit/WindowList.h"

TYUpdateView::TYUpdateView(const QRect &frame, QWidget *parent) : TYLabel(frame, parent) {
    kit::addStretchedPicture(this, rect(), QStringLiteral("box"));
    updateImageView_ =
        kit::addStretchedPicture(this, QRect(0, 200, 960, 320), QStringLiteral("画面_メッセージ"));

    msgTextField_ = new QLabel(this);
    msgTextField_->setGeometry(430, 372, 430, 60);
    QFont font = kit::appFont(26);
    font.setFamilies({QStringLiteral("Arial"), kit::appFontFamily()});
    msgTextField_->setFont(font);
    msgTextField_->setStyleSheet(QStringLiteral("color: black; background: transparent; border: none;"));
    msgTextField_->setTextInteractionFlags(Qt::NoTextInteraction);
    msgTextField_->setText(QStringLiteral(""));

    // Both buttons inside the panel's white card (its lower edge at y 508), below the text.
    okButton_ = kit::addMessageButton(this, QRect(444, 384, 112, 112), QStringLiteral("ボタン_OK_"));
    cancelButton_ =
        kit::addMessageButton(this, QRect(644, 398, 84, 84), QStringLiteral("ボタンs_キャンセル_"));
    connect(okButton_, &CustomButton::clicked, this, &TYUpdateView::okButtonClicked);
    connect(cancelButton_, &CustomButton::clicked, this, &TYUpdateView::cancelButtonClicked);
}

TYWindow *TYUpdateView::targetWindow() {
    TYWindow *window = kit::keyWindow();
    return window ? window : kit::lastListedWindow();
}

TYUpdateView *TYUpdateView::showUpdateView(const QString &pictureName, bool isShowOkButton,
                                           Block okButtonClicked, bool isShowCancelButton,
                                           Block cancelButtonClicked, TextBlock updateMsg) {
    QPointer<TYWindow> window = targetWindow();
    if (!window) return nullptr;
    if (auto *old = qobject_cast<TYUpdateView *>(kit::viewWithTag(window, kTag))) old->cancelButtonClicked();
    // The Cancel block may have taken the window away.
    if (!window || qobject_cast<TYUpdateView *>(kit::topMostSubview(window))) return nullptr;

    auto *view = new TYUpdateView(window->rect(), window);
    kit::setTag(view, kTag);
    view->clickOkButton_ = std::move(okButtonClicked);
    view->clickCancelButton_ = std::move(cancelButtonClicked);
    view->okButton_->setVisible(isShowOkButton);
    view->cancelButton_->setVisible(isShowCancelButton);
    view->updateMsg_ = std::move(updateMsg);
    if (view->updateMsg_) view->updateMsg_(view->msgTextField_);
    view->updateImageView_->setPixmap(kit::picture(pictureName));
    view->raise();
    view->show();
    return view;
}

bool TYUpdateView::isExistUpdateView() {
    TYWindow *window = targetWindow();
    return window && kit::viewWithTag(window, kTag);
}

void TYUpdateView::removeUpdateView() {
    if (TYWindow *window = targetWindow()) kit::removeFromSuperview(kit::viewWithTag(window, kTag));
}

void TYUpdateView::okButtonClicked() {
    Block block = clickOkButton_;
    kit::removeFromSuperview(this);
    if (block) block();
}

void TYUpdateView::cancelButtonClicked() {
    Block block = clickCancelButton_;
    kit::removeFromSuperview(this);
    if (block) block();
}
