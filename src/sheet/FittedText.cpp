#include "sheet/FittedText.h"

#include <QPainter>
#include <QTextOption>

#include <cmath>

namespace {
// Rounding in the font's metrics must not make a text that fits exactly count as too wide.
constexpr qreal kSlack = 0.01;

// A line end breaks a line, or reads as a blank: in a box of a set number of lines (a name, which
// a linked program may hand over with a line end) and in a text whose lines do not fit at the floor
// (a comment of many short lines from a file). One blank per character, so that the format ranges
// keep their places.
QString withLineEnds(QString text, bool asBlanks) {
    if (asBlanks) return text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text.replace(QLatin1Char('\n'), QChar::LineSeparator);
}
}  // namespace

FittedText::FittedText(const QString &text, const QFont &font, const QRectF &box, Qt::Alignment align,
                       int maxLines, const QList<QTextLayout::FormatRange> &formats, qreal maxLineHeight)
    : font_(font), box_(box), align_(align), maxLines_(maxLines), maxLineHeight_(maxLineHeight) {
    const int floor = floorSize(std::max(1, font.pixelSize()));
    if (maxLines <= 0 && text.contains(u'\n') && fitDownTo(withLineEnds(text, false), formats, floor)) return;
    if (fitDownTo(withLineEnds(text, true), formats, floor)) return;
    for (int s = floor; !layOut(s, QTextOption::WrapAnywhere) && s > 1;) --s;
}

int FittedText::floorSize(int pixelSize) {
    return int(std::ceil(pixelSize * 0.6));
}

bool FittedText::fitDownTo(const QString &text, const QList<QTextLayout::FormatRange> &formats, int floor) {
    layout_.setText(text);
    layout_.setFormats(formats);
    // Whole words first; a text whose words leave too much of the lines empty (a long word
    // after a short one) is rather broken inside a word than made smaller than the floor.
    for (const auto wrap : {QTextOption::WrapAtWordBoundaryOrAnywhere, QTextOption::WrapAnywhere})
        for (int s = std::max(1, font_.pixelSize()); s >= floor; --s)
            if (layOut(s, wrap)) return true;
    return false;
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
    qreal y = 0, bottom = 0;
    layout_.beginLayout();
    for (QTextLine line = layout_.createLine(); line.isValid(); line = layout_.createLine()) {
        line.setLineWidth(box_.width());
        // A glyph reaching past its advance (a Latin W) would stand out of a right-aligned box.
        const QRectF ink = line.naturalTextRect();
        line.setPosition(QPointF(std::min(0.0, box_.width() - ink.right()), y));
        const qreal pitch = maxLineHeight_ > 0 ? std::min(line.height(), maxLineHeight_) : line.height();
        if (line.lineNumber() == 0) lineHeight_ = pitch;
        // A line taller than the pitch reaches into the next line's space, and past the last one.
        bottom = y + line.height();
        y += pitch;
        fits = fits && ink.width() <= box_.width() + kSlack;
    }
    layout_.endLayout();
    return fits && bottom <= box_.height() + kSlack && (maxLines_ <= 0 || layout_.lineCount() <= maxLines_);
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
