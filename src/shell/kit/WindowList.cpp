#include "shell/kit/WindowList.h"

#include "shell/kit/TYWindow.h"

namespace kit {

namespace {

struct Registry {
    QList<TYWindow *> created;  // creation order
    QList<TYWindow *> front;    // back to front
};

Registry &registry() {
    static Registry r;
    return r;
}

}  // namespace

QList<TYWindow *> applicationWindows() {
    return registry().created;
}

TYWindow *firstWindow() {
    return registry().created.isEmpty() ? nullptr : registry().created.first();
}

TYWindow *lastListedWindow() {
    return registry().created.isEmpty() ? nullptr : registry().created.last();
}

TYWindow *keyWindow() {
    const QList<TYWindow *> &front = registry().front;
    for (auto it = front.crbegin(); it != front.crend(); ++it) {
        TYWindow *window = *it;
        if (window->isVisible() && !window->isMinimized()) return window;
    }
    return nullptr;
}

WindowMoves *WindowMoves::instance() {
    static WindowMoves moves;
    return &moves;
}

namespace detail {

void registerWindow(TYWindow *window) {
    registry().created.append(window);
    registry().front.prepend(window);
}

void unregisterWindow(TYWindow *window) {
    registry().created.removeAll(window);
    registry().front.removeAll(window);
}

void windowCameToFront(TYWindow *window) {
    QList<TYWindow *> &front = registry().front;
    front.removeAll(window);
    front.append(window);
}

}  // namespace detail

}  // namespace kit
