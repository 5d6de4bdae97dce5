#include "charts/BBBigNetView.h"

#include "charts/ChartGeometry.h"
#include "platform/Numbers.h"

using charts::ChartCanvas;

namespace {

const QPen kGridPen = charts::chartPen(charts::grey(0.5), 0.8);
const QColor kReferenceGrey = charts::rgb255(233, 233, 233);
const QColor kCurrentGreen = charts::rgb255(70, 133, 40);
const QColor kEarlierGreen = charts::rgb255(158, 220, 96);

// Offsets of an axis's texts from its ends: the outer label and the name from the outer end
// A(r), the inner label from A(subR). Only LEU, which points straight down in the six-item
// form, places its outer texts differently there.
struct AxisTexts {
    QPointF outer7, outer6, inner, name7, name6;
};
const AxisTexts kAxisTexts[charts::kItemCount] = {
    {{-10, 0}, {-10, 0}, {-2, -11}, {-26, 12}, {-26, 12}},      // MS
    {{0, 0}, {0, 0}, {-7, -6}, {16, 12}, {16, 12}},             // pH
    {{5, -5}, {5, -5}, {-16, -2}, {13, -12}, {13, -12}},        // BFC
    {{-2, -12}, {-2, -12}, {-3, 0}, {-2, -24}, {-2, -24}},      // BLD
    {{-12, -12}, {0, -12}, {0, 0}, {-16, -24}, {-18, -24}},     // LEU
    {{-22, -11}, {-22, -11}, {2, -2}, {-52, -25}, {-52, -25}},  // ALB
    {{-25, -5}, {-25, -5}, {0, -6}, {-45, 7}, {-45, 7}},        // NH3
};

}  // namespace

QStringList BBBigNetView::referenceAverages() {
    return {QStringLiteral("37"), QStringLiteral("43"), QStringLiteral("36"), QStringLiteral("22"),
            QStringLiteral("49"), QStringLiteral("43"), QStringLiteral("53")};
}

void BBBigNetView::getDatas() {
    digiSubAry_ = data2_ ? charts::axisParts(*data2_) : QStringList(charts::kItemCount, QStringLiteral(""));
}

bool BBBigNetView::sixItems() const {
    return charts::isSixForm(isSix_);
}

QPointF BBBigNetView::onAxis(int item, double distance) const {
    return charts::alongAxis(QPointF(x_, y_), item, sixItems(), distance);
}

// Vertices from the inner ring (value 0) to the outer ring (value 100), then the first
// vertex again to end the open outline where it began.
QList<QPointF> BBBigNetView::polygon(const QStringList &values) const {
    const double scale = double(r_) * 10 / 12;
    QList<QPointF> points;
    for (int item : charts::axisItems(sixItems())) {
        const double v = charts::plottedPosition(item, cvx::boundedFloatValue(values.at(item)));
        points.append(onAxis(item, subR_ + v * scale / 100));
    }
    points.append(points.first());
    return points;
}

void BBBigNetView::paint(QPainter &painter, const QRectF &bounds) {
    painter.save();
    painter.setClipRect(bounds, Qt::IntersectClip);
    const ChartCanvas canvas(painter, bounds);
    if (!(r_ >= 1)) {  // unset, or not a number
        x_ = 150;
        y_ = 150;
        r_ = 120;
    }
    subR_ = r_ / 6;
    if (tabAry_.size() == charts::kItemCount) drawAry(canvas);
    drawGrid(canvas);
    drawLabels(canvas);
    initBase(canvas);
    painter.restore();
}

void BBBigNetView::drawAry(const ChartCanvas &canvas) {
    const QList<QPointF> points = polygon(tabAry_);
    canvas.fillPolygon(points, charts::chartPen(kReferenceGrey, 2), kReferenceGrey);
}

void BBBigNetView::drawGrid(const ChartCanvas &canvas) {
    const QList<int> &items = charts::axisItems(sixItems());
    for (float radius : {r_, subR_}) {
        QList<QPointF> ring;
        for (int item : items) ring.append(onAxis(item, radius));
        ring.append(ring.first());
        canvas.strokePolyline(ring, kGridPen, false);
    }
    for (int item : items) {
        canvas.strokeLine(onAxis(item, r_), onAxis(item, subR_), kGridPen);
        // One mark every 10 on the scale, on the spoke's counter-clockwise side.
        const QPointF d = charts::axisDirection(item, sixItems());
        for (int j = 3; j <= 11; ++j) {
            const QPointF mark = onAxis(item, j * double(r_) / 12);
            canvas.strokeLine(mark, mark + QPointF(-3 * d.y(), 3 * d.x()), kGridPen);
        }
    }
}

void BBBigNetView::drawLabels(const ChartCanvas &canvas) {
    const bool six = sixItems();
    const QFont outerFont = charts::chartFont(10, true);
    const QFont innerFont = charts::chartFont(8, true);
    const QFont nameFont = charts::chartFont(13, true);
    const QString hundred = QStringLiteral("100");
    const QString zero = QStringLiteral("0");
    for (int item : charts::axisItems(six)) {
        const AxisTexts &t = kAxisTexts[item];
        const bool inverted = item == charts::BFC;
        canvas.drawText(onAxis(item, r_) + (six ? t.outer6 : t.outer7), inverted ? zero : hundred, outerFont,
                        Qt::black);
        canvas.drawText(onAxis(item, subR_) + t.inner, inverted ? hundred : zero, innerFont, Qt::black);
    }
    for (int item : charts::axisItems(six)) {
        const AxisTexts &t = kAxisTexts[item];
        canvas.drawText(onAxis(item, r_) + (six ? t.name6 : t.name7), charts::itemName(item), nameFont,
                        charts::itemColor(item));
    }
}

void BBBigNetView::initBase(const ChartCanvas &canvas) {
    if (isDrawTwo_ == 1) drawPicTwo(canvas);
    if (isDraw_ == 1) drawPic(canvas);
}

void BBBigNetView::drawPicTwo(const ChartCanvas &canvas) {
    getDatas();
    canvas.strokePolyline(polygon(digiSubAry_), charts::chartPen(kEarlierGreen, 1.5), false);
}

void BBBigNetView::drawPic(const ChartCanvas &canvas) {
    // A short list is a broken hand-over; a polygon with invented zeros would misinform.
    if (digiAry_.size() < charts::kItemCount) return;
    const QList<QPointF> points = polygon(digiAry_);
    const QPen pen = charts::chartPen(kCurrentGreen, 2);
    canvas.strokePolyline(points, pen, false);
    for (qsizetype i = 0; i + 1 < points.size(); ++i) canvas.strokeCircle(points[i], 2, pen);
}
