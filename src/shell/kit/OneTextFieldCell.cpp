#include "shell/kit/OneTextFieldCell.h"

#include <QPainter>
#include <cmath>

#include "shell/kit/KitFont.h"
#include "shell/kit/TextFieldCellMetrics.h"

OneTextFieldCell::OneTextFieldCell(QWidget *parent) : QLabel(parent) {
    setWordWrap(true);
}

QRectF OneTextFieldCell::adjustedFrameToVerticallyCenterText(const QRectF &frame, const QFont &font,
                                                             const QString &title) {
    qreal offset = std::floor((frame.height() - kit::cellLineHeight(font)) * 0.5 + 5);
    qreal titleHeight = kit::titleHeight(title, 13, 200);
    return QRectF(frame.x(), titleHeight < 30 ? offset : 0, frame.width(), frame.height());
}

void OneTextFieldCell::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    QRectF area = adjustedFrameToVerticallyCenterText(contentsRect(), font(), text());
    Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    painter.drawText(area, int(horizontal | Qt::AlignTop | Qt::TextWordWrap), text());
}
