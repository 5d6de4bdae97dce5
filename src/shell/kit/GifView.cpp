#include "shell/kit/GifView.h"

#include <QImageReader>
#include <QPainter>
#include <QTimer>

#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"

GifView::GifView(QWidget *parent) : QWidget(parent) {}

GifView::~GifView() {
    stopTimer();
}

void GifView::setIsGif(bool isGif) {
    isGif_ = isGif;
    if (isGif_) {
        delete imageView_;
    } else {
        showStillPicture();
    }
    update();
}

void GifView::setImageNamed(const QString &name) {
    setImage(kit::picturePath(name));
}

void GifView::setImage(const QString &path) {
    if (path.isEmpty()) return;
    QImageReader reader(path);
    QImage first = reader.read();
    if (first.isNull()) return;

    imagePath_ = path;
    stillImage_ = first;
    if (!isGif_) {
        // A still picture needs no frame timer.
        stopTimer();
        frames_.clear();
        showStillPicture();
        update();
        return;
    }

    frames_.clear();
    stopTimer();
    // Only a picture that animates has frames; anything else leaves the view blank.
    if (!reader.supportsAnimation() || reader.imageCount() == 0) {
        update();
        return;
    }
    int duration = reader.nextImageDelay();
    frames_.append(first);
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read()) frames_.append(frame);
    currentFrameIdx_ = 0;
    giftimer_ = new QTimer(this);
    connect(giftimer_, &QTimer::timeout, this, &GifView::animateGif);
    // The timer cannot go below a millisecond.
    giftimer_->start(qMax(1, duration));
    update();
}

int GifView::frameInterval() const {
    return giftimer_ && giftimer_->isActive() ? giftimer_->interval() : 0;
}

void GifView::animateGif() {
    update();
}

void GifView::stopTimer() {
    if (giftimer_) {
        giftimer_->stop();
        delete giftimer_;
    }
}

void GifView::showStillPicture() {
    if (!imageView_) {
        imageView_ = new kit::PictureView(this);
        imageView_->setScaling(kit::ImageScaling::ProportionallyDown);
        imageView_->setGeometry(rect());
        imageView_->show();
    }
    imageView_->setPixmap(QPixmap::fromImage(stillImage_));
}

void GifView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (imageView_) imageView_->setGeometry(rect());
}

void GifView::paintEvent(QPaintEvent *) {
    if (!isGif_) return;
    QPainter painter(this);
    drawGif(painter);
}

void GifView::drawGif(QPainter &painter) {
    if (frames_.isEmpty()) return;
    if (currentFrameIdx_ >= frames_.size() || currentFrameIdx_ < 0) currentFrameIdx_ = 0;
    const QImage &frame = frames_.at(currentFrameIdx_);
    QSizeF size = frame.deviceIndependentSize();
    qreal w = size.width(), h = size.height(), W = width(), H = height();
    QRectF target;
    if (w > W || h > H) {
        float scale = qMax(float(w / W), float(h / H));
        float dw = float(w) / scale, dh = float(h) / scale;
        target = QRectF((W - dw) * 0.5, (H - dh) * 0.5, dw, dh);
    } else {
        target = QRectF((W - w) * 0.5, (H - h) * 0.5, w, h);
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame);
    ++currentFrameIdx_;
}
