#pragma once

#include <QString>
#include <QWidget>

class QPainter;
namespace charts {
class ChartCanvas;
}

// The result screen's bar chart of one item: an axis frame with ticks at 2, 4 and 6, up to
// three bars (x1 left, x2 middle, x3 right; 0 to 6, 0 no bar) stacked from the segment
// pictures "b1" to "b6", and a caption under each bar (txt1 to txt3; several lines grow
// upward). Coordinates are the chart's: origin at the view's lower left, y upward.
//
// The owner sets the properties and calls update(); paint() draws into any painter.
class BBColumnView : public QWidget {
    Q_OBJECT
public:
    explicit BBColumnView(QWidget *parent = nullptr);

    void paint(QPainter &painter, const QRectF &rect);

    float x1() const { return x1_; }
    void setX1(float value) { x1_ = value; }
    float x2() const { return x2_; }
    void setX2(float value) { x2_ = value; }
    float x3() const { return x3_; }
    void setX3(float value) { x3_ = value; }
    const QString &txt1() const { return txt1_; }
    void setTxt1(const QString &caption) { txt1_ = caption; }
    const QString &txt2() const { return txt2_; }
    void setTxt2(const QString &caption) { txt2_ = caption; }
    const QString &txt3() const { return txt3_; }
    void setTxt3(const QString &caption) { txt3_ = caption; }
    // Marks the instance the result screen singles out; the drawing ignores it.
    int isJUN() const { return isJUN_; }
    void setIsJUN(int value) { isJUN_ = value; }

    QSize sizeHint() const override { return QSize(170, 180); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // One stacked bar at position 0 (left), 1 or 2 (right).
    void setValuez(charts::ChartCanvas &canvas, float value, int contNo) const;
    void setStringz(charts::ChartCanvas &canvas, const QString &caption, int contNo) const;

    float x1_ = 0;
    float x2_ = 0;
    float x3_ = 0;
    QString txt1_;
    QString txt2_;
    QString txt3_;
    int isJUN_ = 0;
};
