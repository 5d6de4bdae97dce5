// Line icons drawn on a 100 x 100 grid and scaled into their box.
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>

#include "Style.h"

namespace picturegen {

namespace {

using IconFn = std::function<void(QPainter &, const QColor &)>;

QPainterPath polyline(std::initializer_list<QPointF> pts) {
    QPainterPath path;
    auto it = pts.begin();
    path.moveTo(*it);
    for (++it; it != pts.end(); ++it) path.lineTo(*it);
    return path;
}

void fill(QPainter &p, const QColor &c, const QPainterPath &path) {
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
    p.restore();
}

QPainterPath dot(const QPointF &center) {
    QPainterPath path;
    path.addEllipse(center, 7, 7);
    return path;
}

void arrowDown(QPainter &p, qreal x, qreal top, qreal bottom) {
    p.drawLine(QPointF(x, top), QPointF(x, bottom));
    p.drawPath(polyline({{x - 16, bottom - 16}, {x, bottom}, {x + 16, bottom - 16}}));
}

void arrowUp(QPainter &p, qreal x, qreal top, qreal bottom) {
    p.drawLine(QPointF(x, bottom), QPointF(x, top));
    p.drawPath(polyline({{x - 16, top + 16}, {x, top}, {x + 16, top + 16}}));
}

void tray(QPainter &p) {
    p.drawPath(polyline({{14, 62}, {14, 86}, {86, 86}, {86, 62}}));
}

void document(QPainter &p) {
    p.drawPath(polyline({{24, 10}, {62, 10}, {78, 26}, {78, 90}, {24, 90}, {24, 10}}));
    p.drawPath(polyline({{62, 10}, {62, 26}, {78, 26}}));
}

const QHash<QString, IconFn> &icons() {
    static const QHash<QString, IconFn> table{
        {QStringLiteral("home"),
         [](QPainter &p, const QColor &) {
             p.drawPath(polyline({{12, 50}, {50, 14}, {88, 50}}));
             p.drawPath(polyline({{24, 40}, {24, 86}, {76, 86}, {76, 40}}));
             p.drawPath(polyline({{42, 86}, {42, 62}, {58, 62}, {58, 86}}));
         }},
        {QStringLiteral("next"),
         [](QPainter &p, const QColor &) {
             p.drawLine(QPointF(14, 50), QPointF(84, 50));
             p.drawPath(polyline({{56, 22}, {84, 50}, {56, 78}}));
         }},
        {QStringLiteral("back"),
         [](QPainter &p, const QColor &) {
             p.drawLine(QPointF(86, 50), QPointF(16, 50));
             p.drawPath(polyline({{44, 22}, {16, 50}, {44, 78}}));
         }},
        {QStringLiteral("print"),
         [](QPainter &p, const QColor &) {
             p.drawPath(polyline({{28, 34}, {28, 10}, {72, 10}, {72, 34}}));
             p.drawPath(roundedRect(QRectF(10, 34, 80, 38), 8));
             p.drawPath(polyline({{28, 60}, {28, 90}, {72, 90}, {72, 60}, {28, 60}}));
             p.drawLine(QPointF(38, 74), QPointF(62, 74));
         }},
        {QStringLiteral("save"),
         [](QPainter &p, const QColor &) {
             arrowDown(p, 50, 10, 64);
             tray(p);
         }},
        {QStringLiteral("search"),
         [](QPainter &p, const QColor &) {
             p.drawEllipse(QPointF(42, 42), 26, 26);
             p.drawLine(QPointF(61, 61), QPointF(88, 88));
         }},
        {QStringLiteral("folder"),
         [](QPainter &p, const QColor &) {
             p.drawPath(polyline({{10, 24}, {38, 24}, {46, 34}, {90, 34}, {90, 82}, {10, 82}, {10, 24}}));
             p.drawLine(QPointF(10, 46), QPointF(90, 46));
         }},
        {QStringLiteral("plus"),
         [](QPainter &p, const QColor &) {
             p.drawLine(QPointF(50, 18), QPointF(50, 82));
             p.drawLine(QPointF(18, 50), QPointF(82, 50));
         }},
        {QStringLiteral("minus"),
         [](QPainter &p, const QColor &) { p.drawLine(QPointF(18, 50), QPointF(82, 50)); }},
        {QStringLiteral("pulldown"),
         [](QPainter &p, const QColor &) {
             p.drawPath(polyline({{20, 36}, {50, 66}, {80, 36}}));
         }},
        {QStringLiteral("minimize"),
         [](QPainter &p, const QColor &) { p.drawLine(QPointF(22, 70), QPointF(78, 70)); }},
        {QStringLiteral("quit"),
         [](QPainter &p, const QColor &) {
             p.drawArc(QRectF(16, 20, 68, 68), 120 * 16, 300 * 16);
             p.drawLine(QPointF(50, 12), QPointF(50, 50));
         }},
        {QStringLiteral("measure"),
         [](QPainter &p, const QColor &c) {
             // A test strip with its pads.
             p.drawPath(roundedRect(QRectF(38, 6, 24, 88), 6));
             for (int i = 0; i < 4; ++i) fill(p, c, roundedRect(QRectF(44, 14 + i * 18, 12, 10), 2));
         }},
        {QStringLiteral("results"),
         [](QPainter &p, const QColor &) {
             document(p);
             p.drawLine(QPointF(38, 76), QPointF(38, 60));
             p.drawLine(QPointF(51, 76), QPointF(51, 44));
             p.drawLine(QPointF(64, 76), QPointF(64, 52));
         }},
        {QStringLiteral("data"),
         [](QPainter &p, const QColor &) {
             p.drawEllipse(QRectF(18, 10, 64, 22));
             p.drawLine(QPointF(18, 21), QPointF(18, 79));
             p.drawLine(QPointF(82, 21), QPointF(82, 79));
             p.drawArc(QRectF(18, 68, 64, 22), 180 * 16, 180 * 16);
             p.drawArc(QRectF(18, 39, 64, 22), 180 * 16, 180 * 16);
         }},
        {QStringLiteral("settings"),
         [](QPainter &p, const QColor &) {
             for (int i = 0; i < 8; ++i) {
                 const qreal a = qDegreesToRadians(i * 45.0);
                 p.drawLine(QPointF(50 + 30 * qCos(a), 50 + 30 * qSin(a)),
                            QPointF(50 + 42 * qCos(a), 50 + 42 * qSin(a)));
             }
             p.drawEllipse(QPointF(50, 50), 28, 28);
             p.drawEllipse(QPointF(50, 50), 11, 11);
         }},
        {QStringLiteral("hospital"),
         [](QPainter &p, const QColor &) {
             p.drawPath(polyline({{38, 12},
                                  {62, 12},
                                  {62, 38},
                                  {88, 38},
                                  {88, 62},
                                  {62, 62},
                                  {62, 88},
                                  {38, 88},
                                  {38, 62},
                                  {12, 62},
                                  {12, 38},
                                  {38, 38},
                                  {38, 12}}));
         }},
        {QStringLiteral("comment"),
         [](QPainter &p, const QColor &) {
             p.drawPath(
                 polyline({{12, 16}, {88, 16}, {88, 68}, {46, 68}, {26, 88}, {28, 68}, {12, 68}, {12, 16}}));
             p.drawLine(QPointF(28, 36), QPointF(72, 36));
             p.drawLine(QPointF(28, 50), QPointF(60, 50));
         }},
        {QStringLiteral("total"),
         [](QPainter &p, const QColor &) {
             document(p);
             p.drawLine(QPointF(36, 44), QPointF(66, 44));
             p.drawLine(QPointF(36, 58), QPointF(66, 58));
             p.drawLine(QPointF(36, 72), QPointF(56, 72));
         }},
        {QStringLiteral("maintenance"),
         [](QPainter &p, const QColor &c) {
             // A wrench: an open jaw facing up and right on a thick handle.
             p.save();
             p.setPen(QPen(c, 14, Qt::SolidLine, Qt::RoundCap));
             p.drawLine(QPointF(20, 80), QPointF(52, 48));
             p.restore();
             p.setPen(QPen(c, 11, Qt::SolidLine, Qt::FlatCap));
             p.drawArc(QRectF(46, 12, 40, 40), 85 * 16, 280 * 16);
         }},
        {QStringLiteral("import"),
         [](QPainter &p, const QColor &) {
             arrowDown(p, 50, 10, 64);
             tray(p);
         }},
        {QStringLiteral("export"),
         [](QPainter &p, const QColor &) {
             arrowUp(p, 50, 10, 64);
             tray(p);
         }},
        {QStringLiteral("patients"),
         [](QPainter &p, const QColor &) {
             p.drawEllipse(QPointF(50, 32), 18, 18);
             QPainterPath body;
             body.moveTo(16, 90);
             body.cubicTo(16, 58, 84, 58, 84, 90);
             p.drawPath(body);
         }},
        {QStringLiteral("list"),
         [](QPainter &p, const QColor &c) {
             for (int i = 0; i < 3; ++i) {
                 fill(p, c, roundedRect(QRectF(12, 20 + i * 26, 12, 12), 3));
                 p.drawLine(QPointF(36, 26 + i * 26), QPointF(88, 26 + i * 26));
             }
         }},
        {QStringLiteral("senddata"),
         [](QPainter &p, const QColor &) {
             document(p);
             p.drawLine(QPointF(36, 58), QPointF(66, 58));
             p.drawPath(polyline({{54, 46}, {66, 58}, {54, 70}}));
         }},
        {QStringLiteral("rom"),
         [](QPainter &p, const QColor &) {
             p.drawPath(roundedRect(QRectF(26, 26, 48, 48), 6));
             for (int i = 0; i < 3; ++i) {
                 const qreal k = 36 + i * 14;
                 p.drawLine(QPointF(k, 10), QPointF(k, 26));
                 p.drawLine(QPointF(k, 74), QPointF(k, 90));
                 p.drawLine(QPointF(10, k), QPointF(26, k));
                 p.drawLine(QPointF(74, k), QPointF(90, k));
             }
         }},
        {QStringLiteral("check"),
         [](QPainter &p, const QColor &) {
             p.drawPath(polyline({{18, 52}, {40, 74}, {82, 28}}));
         }},
        {QStringLiteral("cross"),
         [](QPainter &p, const QColor &) {
             p.drawLine(QPointF(24, 24), QPointF(76, 76));
             p.drawLine(QPointF(76, 24), QPointF(24, 76));
         }},
        {QStringLiteral("exclaim"),
         [](QPainter &p, const QColor &c) {
             p.drawLine(QPointF(50, 14), QPointF(50, 60));
             fill(p, c, dot(QPointF(50, 82)));
         }},
        {QStringLiteral("info"),
         [](QPainter &p, const QColor &c) {
             p.drawLine(QPointF(50, 42), QPointF(50, 86));
             fill(p, c, dot(QPointF(50, 18)));
         }},
        {QStringLiteral("hourglass"),
         [](QPainter &p, const QColor &c) {
             p.drawLine(QPointF(22, 10), QPointF(78, 10));
             p.drawLine(QPointF(22, 90), QPointF(78, 90));
             p.drawPath(polyline({{28, 10}, {28, 24}, {50, 50}, {28, 76}, {28, 90}}));
             p.drawPath(polyline({{72, 10}, {72, 24}, {50, 50}, {72, 76}, {72, 90}}));
             fill(p, c, polyline({{36, 86}, {50, 70}, {64, 86}}));
         }},
        {QStringLiteral("plug"),
         [](QPainter &p, const QColor &) {
             p.drawPath(roundedRect(QRectF(28, 30, 44, 34), 6));
             p.drawLine(QPointF(40, 12), QPointF(40, 30));
             p.drawLine(QPointF(60, 12), QPointF(60, 30));
             p.drawLine(QPointF(50, 64), QPointF(50, 90));
         }},
    };
    return table;
}

}  // namespace

bool drawIcon(QPainter &p, const QString &name, const QRectF &box, const QColor &color) {
    const auto it = icons().constFind(name);
    if (it == icons().constEnd()) return false;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(box.width(), box.height());
    p.translate(box.center().x() - side / 2, box.center().y() - side / 2);
    p.scale(side / 100.0, side / 100.0);
    p.setPen(QPen(color, 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    (*it)(p, color);
    p.restore();
    return true;
}

}  // namespace picturegen
