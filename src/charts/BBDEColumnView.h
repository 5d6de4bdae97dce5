#pragma once

#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include "records/Property.h"

namespace charts {
class ChartCanvas;
}

// The result sheet's bar chart of one item (layout C): up to three bars of stacked segment
// pictures "b1".."b6" on a scale of 0 to 6 (two earlier results left and middle, the current
// one right), the item's name, a scale from boLab to topLab with the arrow "zjiantou" between
// moreLab and litLab, the average as a dashed line with "平均値" and aveStr, and under each
// bar its value label, date caption and temperature.
//
// A label property that is null or "" when a drawing starts gets its default then and keeps
// it (boLab "0", topLab "100", litLab "多", moreLab "少", title "むし歯菌"; aveHei 0 becomes 72
// with aveStr "2"; wid 0 or less becomes 140 with hei 160). Points are in the chart's own
// coordinates: origin at the lower left of the area that paint() is given, y upward.
class BBDEColumnView {
    CVX_PROPERTY(float, wid, setWid) = 0;
    CVX_PROPERTY(float, hei, setHei) = 0;
    // Bar values, 0..6 (chart position x 0.06): left, middle, right (the current result).
    // A negative value draws no bar, nor does one above 6.
    CVX_PROPERTY(float, x1, setX1) = 0;
    CVX_PROPERTY(float, x2, setX2) = 0;
    CVX_PROPERTY(float, x3, setX3) = 0;
    // Captions under the bars (the date on three lines); a bar's caption, value label and
    // temperature are drawn only when its caption is not empty.
    CVX_PROPERTY(QString, txt1, setTxt1);
    CVX_PROPERTY(QString, txt2, setTxt2);
    CVX_PROPERTY(QString, txt3, setTxt3);
    // Temperatures under the bars, "<number>℃"; blue when the whole degrees are 19 or less.
    CVX_PROPERTY(QString, d1, setD1);
    CVX_PROPERTY(QString, d2, setD2);
    CVX_PROPERTY(QString, d3, setD3);
    CVX_PROPERTY(QString, boLab, setBoLab);  // "100" also reverses the value labels
    CVX_PROPERTY(QString, topLab, setTopLab);
    CVX_PROPERTY(QString, litLab, setLitLab);
    CVX_PROPERTY(QString, moreLab, setMoreLab);
    CVX_PROPERTY(float, aveHei, setAveHei) = 0;  // the average on the 0..100 scale
    CVX_PROPERTY(QString, aveStr, setAveStr);
    CVX_PROPERTY(QString, title, setTitle);  // one of the seven item names

public:
    // The area the defaults fill, 140 by 160.
    static QSizeF defaultSize() { return QSizeF(140, 160); }

    // Draws the whole chart into `bounds` (one point per painter unit, clipped to bounds).
    void paint(QPainter &painter, const QRectF &bounds);

private:
    void setValuez(const charts::ChartCanvas &canvas, float v, int contNo);
    void setNewData(const charts::ChartCanvas &canvas, float v, int noCount);
    void setStringz(const charts::ChartCanvas &canvas, const QString &text, const QPointF &point);
    void setStringdu(const charts::ChartCanvas &canvas, const QString &text, const QPointF &point);
};
