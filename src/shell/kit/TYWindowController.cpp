#include "shell/kit/TYWindowController.h"

#include "shell/kit/WindowList.h"

TYWindowController::TYWindowController(const QString &windowNibName, QObject *parent)
    : QObject(parent), windowNibName_(windowNibName) {}

TYWindowController::~TYWindowController() {
    if (window_) {
        // The window may be inside one of its own event handlers right now.
        window_->hide();
        window_->deleteLater();
    }
}

TYWindow *TYWindowController::window() {
    if (!window_) {
        window_ = new TYWindow;
        window_->setObjectName(windowNibName_);
        setupUi(window_);
        connect(window_, &TYWindow::windowWillClose, this, [this] { windowWillClose(); });
        // The window may outlive its controller by a turn of the event loop.
        window_->setShouldClose(
            [self = QPointer<TYWindowController>(this)] { return !self || self->windowShouldClose(); });
        windowDidLoad();
    }
    return window_;
}

void TYWindowController::showWindow() {
    window()->makeKeyAndOrderFront();
}

void TYWindowController::close() {
    disconnect(kit::WindowMoves::instance(), &kit::WindowMoves::windowDidMove, this, nullptr);
}

void TYWindowController::setupUi(TYWindow *) {}

void TYWindowController::windowDidLoad() {
    // Alone, the window keeps its own origin, pinned so that the window manager keeps it too.
    TYWindow *first = kit::firstWindow();
    window_->move(first && first != window_ ? first->pos() : window_->pos());
    close();  // registered once, however often the window loads
    connect(kit::WindowMoves::instance(), &kit::WindowMoves::windowDidMove, this,
            [this](TYWindow *moved) { windowDidMove(moved); });
}

void TYWindowController::windowWillClose() {
    orderFrontLastWindow();
}

void TYWindowController::windowDidMove(TYWindow *moved) {
    if (!moved || !window_) return;
    QPoint origin = moved->pos();
    window_->followTo(origin);
    if (TYWindow *first = kit::firstWindow()) first->followTo(origin);
}

void TYWindowController::orderFrontLastWindow() {
    if (window_ && window_->lastWindow()) window_->lastWindow()->makeKeyAndOrderFront();
}
