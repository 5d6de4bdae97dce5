#pragma once

#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QStringList>
#include <optional>

#include "records/OCMCustomerComment.h"
#include "records/Property.h"

namespace charts {
class ChartCanvas;
}

// The result sheet's large radar chart: the reference polygon of the averages, a frame of an
// inner and an outer ring joined by ticked spokes, the scale labels "100" and "0", the item
// names, an earlier result and the current result with a ring on each vertex. The value 0 lies
// on the inner ring (r/6) and 100 on the outer ring (r); BFC's scale runs the other way. Seven
// items, or six without BLD when isSix is 6.
//
// Points are in the chart's own coordinates: origin at the lower left of the area that
// paint() is given, y upward.
class BBBigNetView {
    CVX_PROPERTY(float, x, setX) = 0;  // centre
    CVX_PROPERTY(float, y, setY) = 0;
    CVX_PROPERTY(float, r, setR) = 0;        // outer radius; below 1 (or NaN) a drawing takes 150, 150, 120
    CVX_PROPERTY(float, subR, setSubR) = 0;  // inner radius, r/6 after every drawing
    CVX_PROPERTY(int, isSix, setIsSix) = 0;
    CVX_PROPERTY(int, isDraw, setIsDraw) = 0;        // 1 draws digiAry
    CVX_PROPERTY(int, isDrawTwo, setIsDrawTwo) = 0;  // 1 draws data2
    // Reference values in item order; drawn only when there are exactly seven.
    CVX_PROPERTY(QStringList, tabAry, setTabAry);
    // Chart positions (0..100) of the current result in item order, read as decimals.
    CVX_PROPERTY(QStringList, digiAry, setDigiAry);
    // The earlier result compared with the current one; none draws no earlier polygon.
    CVX_PROPERTY(std::optional<OCMCustomerComment>, data2, setData2);

public:
    // Averages the sheet shows as the reference polygon, in item order.
    static QStringList referenceAverages();
    // The area the defaults fill, 300 by 300.
    static QSizeF defaultSize() { return QSizeF(300, 300); }

    // Chart positions of data2 as the last drawing of the earlier polygon took them.
    const QStringList &digiSubAry() const { return digiSubAry_; }
    // Rebuilds digiSubAry from data2: seven entries, "" where a value is missing.
    void getDatas();

    // Draws the whole chart into `bounds` (one point per painter unit, clipped to bounds).
    void paint(QPainter &painter, const QRectF &bounds);

private:
    QPointF onAxis(int item, double distance) const;
    QList<QPointF> polygon(const QStringList &values) const;
    void drawAry(const charts::ChartCanvas &canvas);
    void drawGrid(const charts::ChartCanvas &canvas);
    void drawLabels(const charts::ChartCanvas &canvas);
    void initBase(const charts::ChartCanvas &canvas);
    void drawPicTwo(const charts::ChartCanvas &canvas);
    void drawPic(const charts::ChartCanvas &canvas);
    bool sixItems() const;

    QStringList digiSubAry_;
};
