#include "shell/kit/HistoryTextFieldCell.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextDocument>

namespace {

void fillDocument(QTextDocument &doc, const QLabel &label, qreal width) {
    doc.setDefaultFont(label.font());
    doc.setDocumentMargin(0);
    if (Qt::mightBeRichText(label.text()) && label.textFormat() != Qt::PlainText)
        doc.setHtml(label.text());
    else
        doc.setPlainText(label.text());
    doc.setTextWidth(width);
}

}  // namespace

HistoryTextFieldCell::HistoryTextFieldCell(QWidget *parent) : QLabel(parent) {
    setWordWrap(true);
}

qreal HistoryTextFieldCell::textHeight(qreal width) const {
    QTextDocument doc;
    fillDocument(doc, *this, width);
    return doc.size().height();
}

QRectF HistoryTextFieldCell::titleRectForBounds(const QRectF &frame) const {
    qreal width = qMax<qreal>(0, frame.width() - 2);
    return QRectF(1, frame.y() - 1 + (frame.height() - textHeight(width)) * 0.5, width, frame.height());
}

void HistoryTextFieldCell::paintEvent(QPaintEvent *) {
    QRectF area = titleRectForBounds(rect());
    QTextDocument doc;
    fillDocument(doc, *this, area.width());
    QPainter painter(this);
    painter.translate(area.topLeft());
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette = palette();
    context.palette.setColor(QPalette::Text, palette().color(foregroundRole()));
    doc.documentLayout()->draw(&painter, context);
}
