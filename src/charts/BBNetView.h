#pragma once

#include <QList>
#include <QPointF>
#include <QStringList>
#include <QWidget>

#include <array>
#include <optional>

#include "records/OCMCustomerComment.h"

class QPainter;
namespace charts {
class ChartCanvas;
}

// The result screen's radar chart: the reference polygon of the averages, the grid with the
// labels of four axes (three in the six-item form), the current result's polygon with a marker
// on each vertex, and optionally an earlier result's polygon over it. Seven axes, or six
// without BLD when isSix is 6. Coordinates are the chart's: origin at the view's lower left,
// y upward.
//
// The owner sets the properties and calls update(); nothing here redraws by itself. x() and
// y() are the chart's centre as the owner sets it (they hide QWidget's position accessors;
// use pos() for that). paint() draws the whole chart into any painter, on screen or not.
class BBNetView : public QWidget {
    Q_OBJECT
public:
    explicit BBNetView(QWidget *parent = nullptr);

    // Draws the chart with the view's lower left corner at rect's lower left. A radius below 1
    // (or a centre or radius that is not a number) becomes the defaults 95, 95, 55, which stay.
    void paint(QPainter &painter, const QRectF &rect);

    float x() const { return x_; }
    void setX(float x) { x_ = x; }
    float y() const { return y_; }
    void setY(float y) { y_ = y; }
    // Distance of the chart position 100 from the centre.
    float r() const { return r_; }
    void setR(float r) { r_ = r; }
    // 6 selects the six-item form.
    int isSix() const { return isSix_; }
    void setIsSix(int isSix) { isSix_ = isSix; }

    // The seven reference chart positions in item order; any other count draws no reference.
    const QStringList &tabAry() const { return tabAry_; }
    void setTabAry(const QStringList &values) { tabAry_ = values; }

    // 1 draws the current result.
    int isDraw() const { return isDraw_; }
    void setIsDraw(int on) { isDraw_ = on; }
    const std::optional<OCMCustomerComment> &data() const { return data_; }
    void setData(std::optional<OCMCustomerComment> record) { data_ = std::move(record); }
    // Markers on the current result's vertices: isDrawPoint 1 and isDrawPointTwo 0.
    int isDrawPoint() const { return isDrawPoint_; }
    void setIsDrawPoint(int on) { isDrawPoint_ = on; }
    int isDrawPointTwo() const { return isDrawPointTwo_; }
    void setIsDrawPointTwo(int off) { isDrawPointTwo_ = off; }

    // 1 draws the earlier result, over the current one.
    int isDrawTwo() const { return isDrawTwo_; }
    void setIsDrawTwo(int on) { isDrawTwo_ = on; }
    const std::optional<OCMCustomerComment> &data2() const { return data2_; }
    void setData2(std::optional<OCMCustomerComment> record) { data2_ = std::move(record); }

    // The chart positions the last draw took from data and data2 (seven texts each).
    const QStringList &tab() const { return tab_; }
    const QStringList &tab2() const { return tab2_; }
    // The current result's vertices of the last draw in drawing order, from MS (six of them
    // in the six-item form), in chart coordinates.
    const std::array<QPointF, 7> &vertices() const { return vertices_; }

    QSize sizeHint() const override { return QSize(190, 190); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    enum class Family { Reference, Current, Earlier };
    bool sixForm() const;
    // Appends a record's seven chart positions to tab or tab2.
    void getVal(const OCMCustomerComment &record);
    void getValz(const OCMCustomerComment &record);
    void drawPolygon(charts::ChartCanvas &canvas, Family family, const QStringList &positions);
    void drawGrid(charts::ChartCanvas &canvas) const;
    void drawLabels(charts::ChartCanvas &canvas) const;

    float x_ = 0;
    float y_ = 0;
    float r_ = 0;
    int isSix_ = 0;
    QStringList tabAry_;
    int isDraw_ = 0;
    std::optional<OCMCustomerComment> data_;
    int isDrawPoint_ = 0;
    int isDrawPointTwo_ = 0;
    int isDrawTwo_ = 0;
    std::optional<OCMCustomerComment> data2_;
    QStringList tab_;
    QStringList tab2_;
    std::array<QPointF, 7> vertices_{};
};
