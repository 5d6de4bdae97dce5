#pragma once

#include <QFont>
#include <QList>
#include <QRectF>
#include <QString>
#include <QTextLayout>
#include <QTextOption>

class QPainter;

// A text laid out to show whole inside a box: at the largest whole pixel size, from the font's
// own down to its floor, at which it fits the box's width and height in at most maxLines
// lines (0: as many as the height holds), broken between words, or anywhere in a word where
// whole words do not fit at the floor. "\n" breaks a line where maxLines is 0 and its lines fit
// at the floor, and is a blank otherwise; Qt::AlignVCenter centres the lines in the box. A text
// that does not fit even at the floor (longer than any field accepts) goes on shrinking rather
// than being cut or running into its neighbours. Lines stand at most maxLineHeight apart (0: the
// font's own line height).
class FittedText {
public:
    FittedText(const QString &text, const QFont &font, const QRectF &box, Qt::Alignment align = Qt::AlignLeft,
               int maxLines = 0, const QList<QTextLayout::FormatRange> &formats = {},
               qreal maxLineHeight = 0);
    FittedText(const FittedText &) = delete;
    FittedText &operator=(const FittedText &) = delete;

    // The smallest pixel size that still reads well: 60% of the layout's size.
    static int floorSize(int pixelSize);

    int pixelSize() const { return size_; }
    int lineCount() const { return layout_.lineCount(); }
    // From the first line's top to the next's.
    qreal lineHeight() const { return lineHeight_; }
    // Where the lines stand, in the coordinates of the box.
    QRectF boundingRect() const;
    // Draws in the painter's pen, the format ranges in their own colours.
    void draw(QPainter &painter) const;

private:
    // Lays text out at the largest size from the font's own down to `floor` at which it fits.
    bool fitDownTo(const QString &text, const QList<QTextLayout::FormatRange> &formats, int floor);
    bool layOut(int pixelSize, QTextOption::WrapMode wrap);
    QPointF origin() const;  // where the first line's top left stands

    QTextLayout layout_;
    QFont font_;
    QRectF box_;
    Qt::Alignment align_;
    int maxLines_;
    qreal maxLineHeight_;
    int size_ = 0;
    qreal lineHeight_ = 0;
};
