#include "sheet/FittedText.h"

#include <QPainter>
#include <QTextOption>

#include <cmath>

namespace {
// Rounding in the font's metrics must not make a text that fits exactly count as too wide.
constexpr qreal kSlack = 0.01;
}  // namespace

FittedText::FittedText(const QString &text, const QFont &font, const QRectF &box, Qt::Alignment align,
                       int maxLines, const QList<QTextLayout::FormatRange> &formats)
    : layout_(QString(text).replace(QLatin1Char('\n'), QChar::LineSeparator)),
      font_(font),
      box_(box),
      align_(align & Qt::AlignHorizontal_Mask),
      maxLines_(maxLines) {
    layout_.setFormats(formats);
    int size = std::max(1, font.pixelSize());
    while (!layOut(size) && size > 1) --size;
}

int FittedText::floorSize(int pixelSize) {
    return int(std::ceil(pixelSize * 0.6));
}

bool FittedText::layOut(int pixelSize) {
    size_ = pixelSize;
    QFont font = font_;
    font.setPixelSize(pixelSize);
    layout_.clearLayout();
    layout_.setFont(font);
    QTextOption option(align_);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout_.setTextOption(option);
    bool fits = true;
    qreal y = 0;
    layout_.beginLayout();
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        line.setLineWidth(box_.width());
        line.setPosition(QPointF(0, y));
        y += line.height();
        fits = fits && line.naturalTextWidth() <= box_.width() + kSlack;
    }
    layout_.endLayout();
    return fits && y <= box_.height() + kSlack && (maxLines_ <= 0 || layout_.lineCount() <= maxLines_);
}

QRectF FittedText::boundingRect() const {
    QRectF bounds;
    for (int i = 0; i < layout_.lineCount(); ++i) bounds |= layout_.lineAt(i).naturalTextRect();
    return bounds.translated(box_.topLeft());
}

void FittedText::draw(QPainter &painter) const {
    layout_.draw(&painter, box_.topLeft());
}
