#include "shell/kit/TYTextFieldCell.h"

#include <QEvent>
#include <cmath>

#include "shell/kit/TextFieldCellMetrics.h"

TYTextFieldCell::TYTextFieldCell(QWidget *parent) : QLineEdit(parent) {
    setFrame(false);
    setStyleSheet(QStringLiteral("background: transparent;"));
    connect(this, &QLineEdit::textChanged, this, &TYTextFieldCell::updateMargins);
}

QRectF TYTextFieldCell::adjustedFrameToVerticallyCenterText(const QRectF &frame, const QFont &font,
                                                            const QString &title) {
    qreal offset = std::floor((frame.height() - kit::cellLineHeight(font)) * 0.5);
    qreal inset = kit::titleHeight(title, 14, 406) < 30 ? offset : 5;
    return QRectF(frame.x(), frame.y() + inset, frame.width(), frame.height() - 2 * inset);
}

void TYTextFieldCell::updateMargins() {
    QRectF area = adjustedFrameToVerticallyCenterText(rect(), font(), text());
    int top = qMax(0, int(area.top()));
    int bottom = qMax(0, int(height() - area.bottom()));
    if (top + bottom >= height()) top = bottom = 0;
    setTextMargins(0, top, 0, bottom);
}

void TYTextFieldCell::resizeEvent(QResizeEvent *event) {
    QLineEdit::resizeEvent(event);
    updateMargins();
}

void TYTextFieldCell::changeEvent(QEvent *event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) updateMargins();
}
