#include "charts/BBNetView.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

#include "charts/ChartGeometry.h"

using charts::ChartCanvas;

namespace {

struct FamilyStyle {
    QColor stroke;
    qreal width;
};

// Four axes carry a label drawn here; the others are labelled by the screen around the view.
struct AxisLabel {
    int item;
    double dx, dy;  // share of r from the centre
    double ox, oy;  // fixed offset
};
constexpr AxisLabel kSevenLabels[] = {{charts::MS, 0, 1, -30, 0},
                                      {charts::BFC, 0.9749, -0.2225, -10, -25},
                                      {charts::BLD, 0.4339, -0.901, -5, -21},
                                      {charts::LEU, -0.4339, -0.901, -30, -21}};
constexpr AxisLabel kSixLabels[] = {
    {charts::MS, 0, 1, -28, 0}, {charts::BFC, 0.866, -0.5, -8, -20}, {charts::LEU, 0, -1, -18, -21}};

constexpr float kDefaultCentre = 95;
constexpr float kDefaultRadius = 55;
constexpr qreal kLabelSize = 13;
constexpr double kMarkerRadius = 2;

}  // namespace

BBNetView::BBNetView(QWidget *parent) : QWidget(parent) {}

bool BBNetView::sixForm() const {
    return charts::isSixForm(isSix_);
}

void BBNetView::paintEvent(QPaintEvent *event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    paint(painter, QRectF(rect()));
}

void BBNetView::paint(QPainter &painter, const QRectF &rect) {
    if (!(r_ >= 1) || !std::isfinite(r_) || !std::isfinite(x_) || !std::isfinite(y_)) {
        x_ = kDefaultCentre;
        y_ = kDefaultCentre;
        r_ = kDefaultRadius;
    }
    painter.save();
    ChartCanvas canvas(painter, rect);
    if (tabAry_.size() == charts::kItemCount) drawPolygon(canvas, Family::Reference, tabAry_);
    drawGrid(canvas);
    drawLabels(canvas);
    // A switch that is on without a record draws every position at 0.
    if (isDraw_ == 1) {
        tab_.clear();
        getVal(data_.value_or(OCMCustomerComment()));
        drawPolygon(canvas, Family::Current, tab_);
    }
    if (isDrawTwo_ == 1) {
        tab2_.clear();
        getValz(data2_.value_or(OCMCustomerComment()));
        drawPolygon(canvas, Family::Earlier, tab2_);
    }
    painter.restore();
}

void BBNetView::getVal(const OCMCustomerComment &record) {
    tab_.append(charts::axisParts(record));
}

void BBNetView::getValz(const OCMCustomerComment &record) {
    tab2_.append(charts::axisParts(record));
}

void BBNetView::drawGrid(ChartCanvas &canvas) const {
    const QPen pen = charts::chartPen(charts::grey(0.5), 0.8);
    const QPointF centre(x_, y_);
    QList<QPointF> outer;
    for (int item : charts::axisItems(sixForm()))
        outer.append(charts::alongAxis(centre, item, sixForm(), r_));
    outer.append(outer.first());
    canvas.strokePolyline(outer, pen, false);
    for (qsizetype i = 0; i + 1 < outer.size(); ++i) canvas.strokeLine(outer.at(i), centre, pen);
}

void BBNetView::drawLabels(ChartCanvas &canvas) const {
    const QFont font = charts::chartFont(kLabelSize);
    auto draw = [&](const auto &labels) {
        for (const AxisLabel &label : labels) {
            const QPointF at(x_ + label.dx * r_ + label.ox, y_ + label.dy * r_ + label.oy);
            canvas.drawText(at, charts::itemName(label.item), font, charts::itemColor(label.item));
        }
    };
    if (sixForm())
        draw(kSixLabels);
    else
        draw(kSevenLabels);
}

void BBNetView::drawPolygon(ChartCanvas &canvas, Family family, const QStringList &positions) {
    static const FamilyStyle kStyles[] = {{charts::rgb255(233, 233, 233), 2},
                                          {charts::rgb255(77, 141, 46), 2},
                                          {charts::rgb255(155, 215, 96), 1.2}};
    const FamilyStyle &style = kStyles[static_cast<int>(family)];
    const QPen pen = charts::chartPen(style.stroke, style.width);
    const QPointF centre(x_, y_);

    QList<QPointF> points;
    for (int item : charts::axisItems(sixForm())) {
        const double p = charts::plottedPosition(item, charts::wholePosition(positions.value(item)));
        points.append(charts::alongAxis(centre, item, sixForm(), r_ * (p / 100.0)));
    }
    if (family != Family::Earlier) {
        vertices_.fill(QPointF());
        for (qsizetype i = 0; i < points.size(); ++i) vertices_[i] = points.at(i);
    }

    if (family == Family::Reference) {
        canvas.fillPolygon(points, pen, style.stroke);
        return;
    }
    canvas.strokePolyline(points, pen, true);
    if (family == Family::Current && isDrawPoint_ == 1 && isDrawPointTwo_ == 0) {
        for (const QPointF &vertex : points) canvas.strokeCircle(vertex, kMarkerRadius, pen);
    }
}
