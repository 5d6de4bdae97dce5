#pragma once

#include <QLabel>
#include <QRectF>

// Table text that wraps and stands lower by a fixed step when it fits on one line.
class OneTextFieldCell : public QLabel {
    Q_OBJECT
public:
    explicit OneTextFieldCell(QWidget *parent = nullptr);

    // Where the text is drawn inside `frame`: one-line titles (laid out at 13 pixels in a
    // 200-wide box) start at y = offset, longer ones at y = 0.
    static QRectF adjustedFrameToVerticallyCenterText(const QRectF &frame, const QFont &font,
                                                      const QString &title);

protected:
    void paintEvent(QPaintEvent *event) override;
};
