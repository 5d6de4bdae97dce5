#pragma once

#include <QLabel>
#include <QRectF>

// History-table text: wraps, and draws its (possibly rich) text centred in its height,
// one point higher and starting one point in.
class HistoryTextFieldCell : public QLabel {
    Q_OBJECT
public:
    explicit HistoryTextFieldCell(QWidget *parent = nullptr);

    QRectF titleRectForBounds(const QRectF &frame) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal textHeight(qreal width) const;
};
