#include "shell/kit/CanMoveWindowImageView.h"

#include <QKeyEvent>
#include <QMouseEvent>

void CanMoveWindowImageView::mousePressEvent(QMouseEvent *event) {
    event->ignore();
}

void CanMoveWindowImageView::keyPressEvent(QKeyEvent *event) {
    event->accept();
}
