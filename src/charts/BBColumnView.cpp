#include "charts/BBColumnView.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

#include "charts/ChartGeometry.h"
#include "platform/Pictures.h"

using charts::ChartCanvas;

namespace {

// The scale: y 40 is 0, one unit 22.5 high; bars stand one point above the base line.
struct Segment {
    const char *picture;
    double bottom;
    double height;  // when complete
};
constexpr Segment kSegments[6] = {{"b1", 41, 22},  {"b2", 63, 21},  {"b3", 86, 22},
                                  {"b4", 108, 21}, {"b5", 131, 22}, {"b6", 153, 0}};

constexpr double kBarWidth = 30;
constexpr qreal kCaptionSize = 11;

// Height of the top segment of a bar with `count` segments; the bands overlap the segment
// boundaries, as the pictures were cut.
float topHeight(float v, int count) {
    switch (count) {
        case 1:
            return v * 22.5f;
        case 2:
            return (v - 1) * 22.5f - 1;
        case 3:
            return (v - 2) * 22.5f;
        default:
            return (v - static_cast<float>(count - 1)) * 22.5f - 1;
    }
}

}  // namespace

BBColumnView::BBColumnView(QWidget *parent) : QWidget(parent) {}

void BBColumnView::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    paint(painter, QRectF(rect()));
}

void BBColumnView::paint(QPainter &painter, const QRectF &rect) {
    painter.save();
    ChartCanvas canvas(painter, rect);
    const QPen pen = charts::chartPen(charts::grey(0.3), 0.8);
    canvas.strokeLine({0, 40}, {170, 40}, pen);
    canvas.strokeLine({10, 40}, {10, 175}, pen);
    for (double tick : {85.0, 130.0, 175.0}) canvas.strokeLine({0, tick}, {10, tick}, pen);

    if (x3_ != 0) setValuez(canvas, x3_, 2);
    if (x2_ != 0) setValuez(canvas, x2_, 1);
    if (x1_ != 0) setValuez(canvas, x1_, 0);
    setStringz(canvas, txt1_, 0);
    setStringz(canvas, txt2_, 1);
    setStringz(canvas, txt3_, 2);
    painter.restore();
}

void BBColumnView::setValuez(ChartCanvas &canvas, float v, int contNo) const {
    // A negative value draws no bar: it would hang below the base line into the captions. One
    // past 6 matches no band and draws none either.
    if (std::isnan(v) || v <= 0) return;
    const int count = charts::barSegmentCount(v);
    const double left = 60 * contNo + 11;
    for (int i = 0; i < count; ++i) {
        const Segment &segment = kSegments[i];
        const double height = i + 1 < count ? segment.height : topHeight(v, count);
        canvas.drawPicture(cvx::Pictures::image(QString::fromLatin1(segment.picture)), left, segment.bottom,
                           kBarWidth, height);
    }
}

void BBColumnView::setStringz(ChartCanvas &canvas, const QString &caption, int contNo) const {
    canvas.drawText(QPointF(60 * contNo + 8, -2), caption, charts::chartFont(kCaptionSize), Qt::black);
}
