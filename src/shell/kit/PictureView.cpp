#include "shell/kit/PictureView.h"

#include <QPainter>

namespace kit {

QRectF scaledPictureRect(const QSizeF &picture, const QRectF &frame, ImageScaling scaling) {
    if (scaling == ImageScaling::AxesIndependently || picture.isEmpty()) return frame;
    QSizeF drawn = picture;
    if (picture.width() > frame.width() || picture.height() > frame.height())
        drawn = picture.scaled(frame.size(), Qt::KeepAspectRatio);
    return QRectF(frame.x() + (frame.width() - drawn.width()) * 0.5,
                  frame.y() + (frame.height() - drawn.height()) * 0.5, drawn.width(), drawn.height());
}

PictureView::PictureView(QWidget *parent) : QWidget(parent) {}

PictureView::PictureView(const QPixmap &pixmap, ImageScaling scaling, QWidget *parent)
    : QWidget(parent), pixmap_(pixmap), scaling_(scaling) {}

void PictureView::setPixmap(const QPixmap &pixmap) {
    pixmap_ = pixmap;
    update();
}

void PictureView::setScaling(ImageScaling scaling) {
    scaling_ = scaling;
    update();
}

void PictureView::paintEvent(QPaintEvent *) {
    if (pixmap_.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QSizeF logical = pixmap_.deviceIndependentSize();
    painter.drawPixmap(scaledPictureRect(logical, rect(), scaling_), pixmap_, pixmap_.rect());
}

}  // namespace kit
