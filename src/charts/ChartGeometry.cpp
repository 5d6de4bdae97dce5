#include "charts/ChartGeometry.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

#include "platform/Numbers.h"
#include "records/OCMCustomerComment.h"
#include "shell/kit/KitFont.h"

namespace charts {

namespace {

constexpr QPointF kSevenAxes[kItemCount] = {{0, 1},           {0.7813, 0.6235},  {0.9749, -0.2225},
                                            {0.4339, -0.901}, {-0.4339, -0.901}, {-0.9749, -0.2225},
                                            {-0.7813, 0.6235}};
constexpr QPointF kSixAxes[kItemCount] = {{0, 1},  {0.866, 0.5},   {0.866, -0.5}, {0, 0},
                                          {0, -1}, {-0.866, -0.5}, {-0.866, 0.5}};

bool isItem(int item) {
    return item >= 0 && item < kItemCount;
}

}  // namespace

const QList<int> &axisItems(bool six) {
    static const QList<int> seven{MS, PH, BFC, BLD, LEU, ALB, NH3};
    static const QList<int> sixItems{MS, PH, BFC, LEU, ALB, NH3};
    return six ? sixItems : seven;
}

QPointF axisDirection(int item, bool six) {
    if (!isItem(item)) return {};
    return six ? kSixAxes[item] : kSevenAxes[item];
}

QPointF alongAxis(QPointF centre, int item, bool six, double distance) {
    const QPointF d = axisDirection(item, six);
    return {centre.x() + d.x() * distance, centre.y() + d.y() * distance};
}

double plottedPosition(int item, double position) {
    const double p = std::isfinite(position) ? position : 0.0;
    return item == BFC ? 100.0 - p : p;
}

int wholePosition(const QString &text) {
    return cvx::boundedIntValue(text);
}

QString axisPart(const QString &datavalue) {
    if (datavalue.isEmpty()) return QStringLiteral("");
    const QStringList parts = datavalue.split(QLatin1Char('|'));
    return parts.size() >= 2 ? parts.at(1) : QStringLiteral("");
}

QStringList axisParts(const OCMCustomerComment &record) {
    return {axisPart(record.Datavalue1()), axisPart(record.Datavalue2()), axisPart(record.Datavalue3()),
            axisPart(record.Datavalue4()), axisPart(record.Datavalue5()), axisPart(record.Datavalue6()),
            axisPart(record.Datavalue7())};
}

QString itemName(int item) {
    static const QString names[kItemCount] = {QStringLiteral("むし歯菌"),  QStringLiteral("酸性度"),
                                              QStringLiteral("緩衝能"),    QStringLiteral("潜血"),
                                              QStringLiteral("白血球"),    QStringLiteral("タンパク質"),
                                              QStringLiteral("アンモニア")};
    return isItem(item) ? names[item] : QString();
}

QColor itemColor(int item) {
    if (item == BLD || item == LEU || item == ALB) return rgb255(255, 128, 128);
    if (item == NH3) return rgb255(0, 145, 117);
    return rgb255(10, 149, 234);
}

QColor rgb255(int red, int green, int blue) {
    return QColor(red, green, blue);
}

QColor grey(qreal level) {
    return QColor::fromRgbF(level, level, level);
}

QFont chartFont(qreal size, bool bold) {
    QFont font = kit::appFont(size);
    font.setBold(bold);
    return font;
}

QPen chartPen(const QColor &color, qreal width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

int barSegmentCount(float v) {
    if (static_cast<double>(v) <= 1.7) return 1;
    if (v <= 2.0f) return 2;
    if (static_cast<double>(v) <= 3.7) return 3;
    if (v <= 4.0f) return 4;
    if (static_cast<double>(v) <= 5.7) return 5;
    if (v <= 6.0f) return 6;
    return 0;
}

ChartCanvas::ChartCanvas(QPainter &painter, const QRectF &rect) : painter_(painter), rect_(rect) {
    painter_.setRenderHint(QPainter::Antialiasing, true);
}

QPointF ChartCanvas::map(QPointF point) const {
    return {rect_.left() + point.x(), rect_.bottom() - point.y()};
}

QRectF ChartCanvas::mapRect(double left, double bottom, double width, double height) const {
    return QRectF(rect_.left() + left, rect_.bottom() - bottom - height, width, height);
}

void ChartCanvas::drawText(QPointF lowerLeft, const QString &text, const QFont &font,
                           const QColor &color) const {
    if (text.isEmpty()) return;
    // A box wide and tall enough for any caption, anchored at its lower left corner.
    constexpr double kRoom = 10000;
    const QPointF corner = map(lowerLeft);
    painter_.save();
    painter_.setFont(font);
    painter_.setPen(color);
    painter_.drawText(QRectF(corner.x(), corner.y() - kRoom, kRoom, kRoom), Qt::AlignLeft | Qt::AlignBottom,
                      text);
    painter_.restore();
}

void ChartCanvas::strokeLine(QPointF from, QPointF to, const QPen &pen) const {
    strokePolyline({from, to}, pen, false);
}

void ChartCanvas::strokePolyline(const QList<QPointF> &points, const QPen &pen, bool closed) const {
    if (points.isEmpty()) return;
    QPainterPath path(map(points.first()));
    for (qsizetype i = 1; i < points.size(); ++i) path.lineTo(map(points.at(i)));
    if (closed) path.closeSubpath();
    painter_.strokePath(path, pen);
}

void ChartCanvas::fillPolygon(const QList<QPointF> &points, const QPen &pen, const QColor &fill) const {
    if (points.isEmpty()) return;
    QPainterPath path(map(points.first()));
    for (qsizetype i = 1; i < points.size(); ++i) path.lineTo(map(points.at(i)));
    path.closeSubpath();
    painter_.fillPath(path, fill);
    painter_.strokePath(path, pen);
}

void ChartCanvas::strokeCircle(QPointF centre, double radius, const QPen &pen) const {
    QPainterPath path;
    path.addEllipse(map(centre), radius, radius);
    painter_.strokePath(path, pen);
}

void ChartCanvas::drawPicture(const QImage &picture, double left, double bottom, double width,
                              double height) const {
    if (picture.isNull() || !(width > 0) || !(height > 0)) return;
    painter_.drawImage(mapRect(left, bottom, width, height), picture);
}

}  // namespace charts
