#pragma once

#include <QPointF>
#include <QScrollArea>
#include <QSizeF>

// Scroll area that puts a document smaller than itself in the middle (it cannot be scrolled
// along that axis) and scrolls a larger one between its edges.
class CenteringClipView : public QScrollArea {
    Q_OBJECT
public:
    explicit CenteringClipView(QWidget *parent = nullptr);
    CenteringClipView(const QRect &frame, QWidget *parent);

    // The scroll position for a proposed one, per axis: (document - visible) / 2 when the
    // document is smaller, else limited to 0 .. document - visible; rounded to whole pixels.
    static QPointF constrainScrollPoint(const QPointF &proposed, const QSizeF &visible,
                                        const QSizeF &document);

private:
    void init();
};
