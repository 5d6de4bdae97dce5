#include "shell/kit/CustomButton.h"

#include <QPainter>

#include "shell/kit/KitPictures.h"

namespace {
const QSize kScreenSize(960, 720);
}

CustomButton::CustomButton(QWidget *parent) : QAbstractButton(parent) {
    init();
}

CustomButton::CustomButton(const QRect &frame, QWidget *parent) : QAbstractButton(parent) {
    setGeometry(frame);
    init();
}

void CustomButton::init() {
    setFocusPolicy(Qt::NoFocus);
    tempImage_ = image_;
}

void CustomButton::setImage(const QPixmap &image) {
    image_ = image;
    // Identity by cache key; two null pictures are the same one, so hovering a button that has
    // no hover picture does not lose its resting picture.
    if (image.cacheKey() != hoverImage_.cacheKey()) tempImage_ = image;
    update();
}

void CustomButton::setAlternateImage(const QPixmap &image) {
    alternateImage_ = image;
    update();
}

void CustomButton::setImageNamed(const QString &name) {
    imageName_ = name;
    setImage(kit::picture(name));
}

void CustomButton::setHoverImageNamed(const QString &name) {
    hoverImageName_ = name;
    setHoverImage(kit::picture(name));
}

void CustomButton::setAlternateImageNamed(const QString &name) {
    alternateImageName_ = name;
    setAlternateImage(kit::picture(name));
}

void CustomButton::setPictureStem(const QString &stem) {
    pictureStem_ = stem;
    setImageNamed(stem);
    setHoverImageNamed(stem + QStringLiteral("ON"));
    setAlternateImageNamed(stem + QStringLiteral("DOWN"));
}

void CustomButton::setImageScaling(kit::ImageScaling scaling) {
    imageScaling_ = scaling;
    update();
}

bool CustomButton::isCoveredByScreen() const {
    QWidget *parent = parentWidget();
    if (!parent) return false;
    const QObjectList &siblings = parent->children();
    for (qsizetype i = siblings.indexOf(const_cast<CustomButton *>(this)) + 1; i < siblings.size(); ++i) {
        auto *sibling = qobject_cast<QWidget *>(siblings.at(i));
        if (sibling && !sibling->isWindow() && !sibling->isHidden() && sibling->size() == kScreenSize)
            return true;
    }
    return false;
}

void CustomButton::mouseEntered() {
    if (isCoveredByScreen()) return;
    setImage(hoverImage_);
}

void CustomButton::mouseExited() {
    setImage(tempImage_);
}

void CustomButton::enterEvent(QEnterEvent *event) {
    QAbstractButton::enterEvent(event);
    mouseEntered();
}

void CustomButton::leaveEvent(QEvent *event) {
    QAbstractButton::leaveEvent(event);
    mouseExited();
}

QSize CustomButton::sizeHint() const {
    return image_.isNull() ? QSize(40, 40) : image_.deviceIndependentSize().toSize();
}

void CustomButton::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap &shown = isDown() && !alternateImage_.isNull() ? alternateImage_ : image_;
    if (!shown.isNull())
        painter.drawPixmap(kit::scaledPictureRect(shown.deviceIndependentSize(), rect(), imageScaling_),
                           shown, shown.rect());
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
}
