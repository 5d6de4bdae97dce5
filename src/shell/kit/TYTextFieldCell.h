#pragma once

#include <QLineEdit>
#include <QRectF>

// Table text field whose text stands in the middle of its height, also while edited.
class TYTextFieldCell : public QLineEdit {
    Q_OBJECT
public:
    explicit TYTextFieldCell(QWidget *parent = nullptr);

    // `frame` made smaller at top and bottom by the centring offset (one-line titles, laid out
    // at 14 pixels in a 406-wide box) or by 5 for longer ones.
    static QRectF adjustedFrameToVerticallyCenterText(const QRectF &frame, const QFont &font,
                                                      const QString &title);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateMargins();
};
