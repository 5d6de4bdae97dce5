#include "charts/BBNMNetView.h"

#include "charts/ChartGeometry.h"
#include "platform/Numbers.h"

using charts::ChartCanvas;

namespace {

// Offset of each name from its axis's outer end; LEU's differs in the six-item form, where
// its axis points straight down.
struct NamePlace {
    QPointF seven, six;
};
const NamePlace kNamePlaces[charts::kItemCount] = {
    {{-20, 4}, {-20, 4}},      // MS
    {{4, 0}, {4, 0}},          // pH
    {{5, -12}, {5, -12}},      // BFC
    {{-2, -14}, {-2, -14}},    // BLD
    {{-20, -14}, {-16, -14}},  // LEU
    {{-50, -15}, {-50, -15}},  // ALB
    {{-48, 0}, {-48, 0}},      // NH3
};

}  // namespace

void BBNMNetView::getDatas() {
    digiSubAry_ =
        cusModel_ ? charts::axisParts(*cusModel_) : QStringList(charts::kItemCount, QStringLiteral(""));
}

bool BBNMNetView::sixItems() const {
    return charts::isSixForm(isSix_);
}

void BBNMNetView::paint(QPainter &painter, const QRectF &bounds) {
    painter.save();
    painter.setClipRect(bounds, Qt::IntersectClip);
    const ChartCanvas canvas(painter, bounds);
    if (!(r_ >= 1)) {  // unset, or not a number
        x_ = 80;
        y_ = 50;
        r_ = 30;
    }
    const QPointF centre(x_, y_);
    const QList<int> &items = charts::axisItems(sixItems());
    QList<QPointF> outline;
    for (int item : items) outline.append(charts::alongAxis(centre, item, sixItems(), r_));
    outline.append(outline.first());
    const QPen gridPen = charts::chartPen(charts::grey(0.5), 0.8);
    canvas.strokePolyline(outline, gridPen, false);
    for (qsizetype i = 0; i < items.size(); ++i) canvas.strokeLine(outline[i], centre, gridPen);

    const QFont font = charts::chartFont(10);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const NamePlace &place = kNamePlaces[items[i]];
        canvas.drawText(outline[i] + (sixItems() ? place.six : place.seven), charts::itemName(items[i]), font,
                        charts::itemColor(items[i]));
    }
    setLine(canvas);
    painter.restore();
}

void BBNMNetView::setLine(const ChartCanvas &canvas) {
    if (cusModel_) getDatas();
    // A list short of the seven positions is a broken hand-over (the sheet passes seven or
    // none); a polygon with invented zeros would misinform.
    if (digiSubAry_.size() < charts::kItemCount) return;
    QList<QPointF> points;
    for (int item : charts::axisItems(sixItems())) {
        const double v = charts::plottedPosition(item, cvx::boundedFloatValue(digiSubAry_.at(item)));
        points.append(charts::alongAxis(QPointF(x_, y_), item, sixItems(), v * r_ / 100));
    }
    points.append(points.first());
    canvas.strokePolyline(points, charts::chartPen(charts::rgb255(70, 133, 40), 1), false);
}
