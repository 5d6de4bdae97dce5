#include "shell/kit/CenteringClipView.h"

#include <cmath>

namespace {

qreal constrainAxis(qreal proposed, qreal visible, qreal document) {
    qreal value =
        visible > document ? (document - visible) * 0.5 : qBound<qreal>(0, proposed, document - visible);
    return std::round(float(value));
}

}  // namespace

CenteringClipView::CenteringClipView(QWidget *parent) : QScrollArea(parent) {
    init();
}

CenteringClipView::CenteringClipView(const QRect &frame, QWidget *parent) : QScrollArea(parent) {
    setGeometry(frame);
    init();
}

void CenteringClipView::init() {
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    viewport()->setBackgroundRole(QPalette::Button);
    viewport()->setAutoFillBackground(true);
}

QPointF CenteringClipView::constrainScrollPoint(const QPointF &proposed, const QSizeF &visible,
                                                const QSizeF &document) {
    return QPointF(constrainAxis(proposed.x(), visible.width(), document.width()),
                   constrainAxis(proposed.y(), visible.height(), document.height()));
}
