#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

class OCMCustomerComment;
class QPainter;

// What every chart view shares: the items and their axes, the group colours, reading chart
// positions from records, and drawing in chart coordinates (origin at the lower left of the
// view, y growing upward, one unit one pixel of the view's own size).
namespace charts {

// The test items in their fixed order; also the index into every seven-entry list.
enum Item { MS = 0, PH, BFC, BLD, LEU, ALB, NH3 };
inline constexpr int kItemCount = 7;

// The views' `isSix` value that selects the six-item form (BLD left out).
inline bool isSixForm(int isSix) {
    return isSix == 6;
}

// Items that have an axis, clockwise from MS at the top: all seven, or six without BLD.
const QList<int> &axisItems(bool six);

// Unit step along an item's axis, y upward. The constants are the charts' own (0.7813, not
// sin(2pi/7)), so every radar chart puts its points in the same places. BLD of the six-item
// form has no axis and gets (0, 0).
QPointF axisDirection(int item, bool six);

// The point `distance` from the centre along the item's axis.
QPointF alongAxis(QPointF centre, int item, bool six, double distance);

// A chart position as a radar draws it: for BFC turned round, since a strong buffer is the good
// end of its scale. Not held to 0..100: a position outside the scale is drawn outside the grid
// (or beyond the centre), where it shows as what it is. Only a value that is no number at all
// (NaN, infinite) counts as 0.
double plottedPosition(int item, double position);

// A chart-position text read as its leading whole number: "45.7" is 45, "" or "x" is 0; far out
// of range it stays far out of range, but within what drawing arithmetic can take.
int wholePosition(const QString &text);

// The chart-position part of a record's value field: "12.3|45" gives "45"; a null or empty
// field or one without "|" gives "".
QString axisPart(const QString &datavalue);
// The seven chart-position parts of a record, in item order.
QStringList axisParts(const OCMCustomerComment &record);

// Item names as charts and tables show them, and the colour of the item's group.
QString itemName(int item);
QColor itemColor(int item);

// A colour given as components of 255, and a grey given as 0..1.
QColor rgb255(int red, int green, int blue);
QColor grey(qreal level);

// The Japanese face in the chart's units (pixels of the view).
QFont chartFont(qreal size, bool bold = false);

// A pen that strokes as the charts were designed: flat caps, mitred joins.
QPen chartPen(const QColor &color, qreal width);

// Number of stacked segment pictures ("b1".."b6") a bar of value v (0..6) is drawn with, or 0
// when v matches no band (above 6, or not a number). The bounds 1.7, 3.7 and 5.7 are tested
// on v widened to double, 2, 4 and 6 in single precision, so 1.7f falls in the second band and
// 5.7f in the fifth.
int barSegmentCount(float v);

// Drawing in chart coordinates on a painter, within the view's rectangle in painter
// coordinates. The painter's own transform (a printer's scale, say) applies on top.
class ChartCanvas {
public:
    ChartCanvas(QPainter &painter, const QRectF &rect);

    QPainter &painter() const { return painter_; }
    // Chart point to painter point.
    QPointF map(QPointF point) const;
    QPointF map(double x, double y) const { return map(QPointF(x, y)); }
    // The rectangle with the given lower left corner and size, in painter coordinates.
    QRectF mapRect(double left, double bottom, double width, double height) const;

    // Text whose lower left corner is at the chart point; further lines stack upward.
    void drawText(QPointF lowerLeft, const QString &text, const QFont &font, const QColor &color) const;
    // Stroked line through the chart points (closed: back to the first).
    void strokeLine(QPointF from, QPointF to, const QPen &pen) const;
    void strokePolyline(const QList<QPointF> &points, const QPen &pen, bool closed) const;
    void fillPolygon(const QList<QPointF> &points, const QPen &pen, const QColor &fill) const;
    void strokeCircle(QPointF centre, double radius, const QPen &pen) const;
    // The whole picture scaled into the rectangle (lower left corner, size); an empty
    // picture or a rectangle without height draws nothing.
    void drawPicture(const QImage &picture, double left, double bottom, double width, double height) const;

private:
    QPainter &painter_;
    QRectF rect_;
};

}  // namespace charts
