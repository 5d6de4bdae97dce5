#include "shell/kit/TYWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QWindow>

#include "shell/kit/WindowList.h"

TYWindow::TYWindow(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    resize(960, 720);
    kit::detail::registerWindow(this);
}

TYWindow::~TYWindow() {
    kit::detail::unregisterWindow(this);
}

void TYWindow::makeKeyAndOrderFront() {
    show();
    raise();
    activateWindow();
    kit::detail::windowCameToFront(this);
}

void TYWindow::orderOut() {
    hide();
}

void TYWindow::setFrameOrigin(const QPoint &origin) {
    if (pos() != origin) move(origin);
}

void TYWindow::followTo(const QPoint &origin) {
    if (pos() == origin) return;
    followTarget_ = origin;
    move(origin);
}

bool TYWindow::event(QEvent *event) {
    // A window the user clicks or the window manager raises comes to the front too.
    if (event->type() == QEvent::Show || event->type() == QEvent::WindowActivate)
        kit::detail::windowCameToFront(this);
    return QWidget::event(event);
}

void TYWindow::closeEvent(QCloseEvent *event) {
    if (shouldClose_ && !shouldClose_()) {
        event->ignore();
        return;
    }
    emit windowWillClose();
    event->accept();
}

void TYWindow::moveEvent(QMoveEvent *event) {
    QWidget::moveEvent(event);
    if (followTarget_ && *followTarget_ == pos()) {
        followTarget_.reset();
        return;
    }
    emit kit::WindowMoves::instance()->windowDidMove(this);
}

void TYWindow::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    event->accept();
    followTarget_.reset();
    // The window system moves the window itself where it can; elsewhere follow the pointer.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void TYWindow::mouseMoveEvent(QMouseEvent *event) {
    if (!dragging_) return QWidget::mouseMoveEvent(event);
    event->accept();
    setFrameOrigin(event->globalPosition().toPoint() - dragOffset_);
}

void TYWindow::mouseReleaseEvent(QMouseEvent *event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    dragging_ = false;
    event->accept();
}
