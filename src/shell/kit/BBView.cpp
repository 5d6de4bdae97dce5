#include "shell/kit/BBView.h"

#include <QPaintEvent>
#include <QPainter>

void BBView::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), bbColor_.isValid() ? bbColor_ : QColor(Qt::white));
}
