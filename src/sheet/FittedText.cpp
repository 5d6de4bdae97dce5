#include "sheet/FittedText.h"

#include <QPainter>
#include <QTextOption>

#include <cmath>

namespace {
// Rounding in the font's metrics must not make a text that fits exactly count as too wide.
constexpr qreal kSlack = 0.01;

// "\n" breaks a line, except in a box of a set number of lines (a name): there a line end, which a name
// handed over by a linked program may hold, reads as a blank (one per character, so that the
// format ranges keep their places).
QString withLineEnds(QString text, int maxLines) {
    if (maxLines > 0) return text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.replace(QLatin1Char('\n'), QChar::LineSeparator);
}
}  // namespace

FittedText::FittedText(const QString &text, const QFont &font, const QRectF &box, Qt::Alignment align,
                       int maxLines, const QList<QTextLayout::FormatRange> &formats)
    : layout_(withLineEnds(text, maxLines)), font_(font), box_(box), align_(align), maxLines_(maxLines) {
    layout_.setFormats(formats);
    // Whole words first; a text whose words leave too much of the lines empty (a long word
    // after a short one) is rather broken inside a word than made smaller than the floor.
    const int size = std::max(1, font.pixelSize()), floor = floorSize(size);
    for (const auto wrap : {QTextOption::WrapAtWordBoundaryOrAnywhere, QTextOption::WrapAnywhere})
        for (int s = size; s >= floor; --s)
            if (layOut(s, wrap)) return;
    for (int s = floor; !layOut(s, QTextOption::WrapAnywhere) && s > 1;) --s;
}

int FittedText::floorSize(int pixelSize) {
    return int(std::ceil(pixelSize * 0.6));
}

bool FittedText::layOut(int pixelSize, QTextOption::WrapMode wrap) {
    size_ = pixelSize;
    QFont font = font_;
    font.setPixelSize(pixelSize);
    layout_.clearLayout();
    layout_.setFont(font);
    QTextOption option(align_ & Qt::AlignHorizontal_Mask);
    option.setWrapMode(wrap);
    layout_.setTextOption(option);
    bool fits = true;
    qreal y = 0;
    layout_.beginLayout();
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        line.setLineWidth(box_.width());
        // A glyph reaching past its advance (a Latin W) would stand out of a right-aligned box.
        const QRectF ink = line.naturalTextRect();
        line.setPosition(QPointF(std::min(0.0, box_.width() - ink.right()), y));
        y += line.height();
        fits = fits && ink.width() <= box_.width() + kSlack;
    }
    layout_.endLayout();
    return fits && y <= box_.height() + kSlack && (maxLines_ <= 0 || layout_.lineCount() <= maxLines_);
}

QRectF FittedText::boundingRect() const {
    QRectF bounds;
    for (int i = 0; i < layout_.lineCount(); ++i) bounds |= layout_.lineAt(i).naturalTextRect();
    return bounds.translated(origin());
}

QPointF FittedText::origin() const {
    if (!(align_ & Qt::AlignVCenter) || layout_.lineCount() == 0) return box_.topLeft();
    const QTextLine last = layout_.lineAt(layout_.lineCount() - 1);
    return box_.topLeft() + QPointF(0, (box_.height() - last.y() - last.height()) / 2);
}

void FittedText::draw(QPainter &painter) const {
    layout_.draw(&painter, origin());
}
