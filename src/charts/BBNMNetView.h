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

// The result sheet's small radar chart (layout B): a grey grid of seven items (six without
// BLD when isSix is 6), the item names and one green polygon, from a stored result
// (cusModel) or else from a list of chart positions (digiSubAry). A value of 100 reaches the
// grid, 0 lies at the centre; BFC is inverted.
//
// Points are in the chart's own coordinates: origin at the lower left of the area that
// paint() is given, y upward.
class BBNMNetView {
    CVX_PROPERTY(double, widHei, setWidHei) = 0;  // unused; kept for the sheet's layout
    CVX_PROPERTY(float, x, setX) = 0;             // centre
    CVX_PROPERTY(float, y, setY) = 0;
    CVX_PROPERTY(float, r, setR) = 0;  // grid radius; below 1 (or NaN) a drawing takes 80, 50, 30
    CVX_PROPERTY(std::optional<OCMCustomerComment>, cusModel, setCusModel);
    CVX_PROPERTY(int, isSix, setIsSix) = 0;

public:
    // The area the defaults fill, 160 by 100.
    static QSizeF defaultSize() { return QSizeF(160, 100); }

    // Chart positions in item order, read as decimals. Set it to draw a list; with cusModel
    // set, every drawing rebuilds it from the record.
    const QStringList &digiSubAry() const { return digiSubAry_; }
    void setDigiSubAry(const QStringList &list) { digiSubAry_ = list; }
    // Rebuilds digiSubAry from cusModel: seven entries, "" where a value is missing.
    void getDatas();

    // Draws the whole chart into `bounds` (one point per painter unit, clipped to bounds).
    void paint(QPainter &painter, const QRectF &bounds);

private:
    void setLine(const charts::ChartCanvas &canvas);
    bool sixItems() const;

    QStringList digiSubAry_;
};
