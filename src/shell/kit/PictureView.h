#pragma once

#include <QPixmap>
#include <QWidget>

namespace kit {

enum class ImageScaling {
    AxesIndependently,   // stretched to the frame, width and height scaled apart
    ProportionallyDown,  // shrunk evenly to fit, never enlarged, centred
};

// Paints a rectangle of `size` holding a picture of `picture` size into `frame` by the rule.
QRectF scaledPictureRect(const QSizeF &picture, const QRectF &frame, ImageScaling scaling);

// A plain picture view: one pixmap drawn into the widget's rectangle.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget *parent = nullptr);
    PictureView(const QPixmap &pixmap, ImageScaling scaling, QWidget *parent = nullptr);

    QPixmap pixmap() const { return pixmap_; }
    void setPixmap(const QPixmap &pixmap);
    ImageScaling scaling() const { return scaling_; }
    void setScaling(ImageScaling scaling);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap pixmap_;
    ImageScaling scaling_ = ImageScaling::ProportionallyDown;
};

}  // namespace kit
