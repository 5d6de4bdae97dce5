#include "shell/kit/MessageParts.h"

#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"

namespace kit {

PictureView *addStretchedPicture(QWidget *parent, const QRect &frame, const QString &pictureName) {
    auto *view = new PictureView(picture(pictureName), ImageScaling::AxesIndependently, parent);
    view->setGeometry(frame);
    // Clicks go through to the message view, which keeps them from the window's controls.
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    return view;
}

CustomButton *addMessageButton(QWidget *parent, const QRect &frame, const QString &pictureStem) {
    auto *button = new CustomButton(frame, parent);
    button->setImageScaling(ImageScaling::AxesIndependently);
    button->setPictureStem(pictureStem);
    return button;
}

QRect fromBottomLeft(const QWidget *parent, const QRect &frame) {
    return QRect(frame.x(), parent->height() - frame.y() - frame.height(), frame.width(), frame.height());
}

}  // namespace kit
