#include "shell/kit/TYAlertTransView.h"

#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/MessageParts.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/ViewTags.h"
#include "shell/kit/WindowList.h"

TYAlertTransView::TYAlertTransView(const QRect &frame, QWidget *parent) : QWidget(parent) {
    setGeometry(frame);
    kit::addStretchedPicture(this, rect(), QStringLiteral("transz"));
    kit::addStretchedPicture(this, kit::fromBottomLeft(this, QRect(0, 200, 960, 320)),
                             QStringLiteral("画面_メッセージ"));
    errorImageView_ =
        kit::addStretchedPicture(this, kit::fromBottomLeft(this, QRect(243, 353, 475, 85)), QString());
    okButton_ = kit::addMessageButton(this, kit::fromBottomLeft(this, QRect(494, 235, 112, 112)),
                                      QStringLiteral("ボタン_OK_"));
    connect(okButton_, &CustomButton::clicked, this, &TYAlertTransView::okButtonClicked);
}

TYAlertTransView *TYAlertTransView::showErrorAlertView(const QString &pictureName) {
    QList<TYWindow *> windows = kit::applicationWindows();
    if (windows.isEmpty()) return nullptr;
    // The last window counts only when it is a plain work window, not a special kind.
    TYWindow *window = windows.last();
    if (window->metaObject() != &TYWindow::staticMetaObject && windows.size() >= 2)
        window = windows.at(windows.size() - 2);

    if (auto *old = qobject_cast<TYAlertTransView *>(kit::topMostSubview(window)))
        kit::removeFromSuperview(old);
    auto *view = new TYAlertTransView(window->rect(), window);
    view->errorImageView_->setPixmap(kit::picture(pictureName));
    view->raise();
    view->show();
    return view;
}

void TYAlertTransView::okButtonClicked() {
    kit::removeFromSuperview(this);
}
