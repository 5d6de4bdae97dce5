#pragma once

#include <QList>
#include <QObject>

class TYWindow;

namespace kit {

// The application's work windows in the order they were made (the first one is the main
// menu's), and which of them is in front. The front-most visible one counts as the key
// window whether or not the program has the keyboard focus, so a message raised while the
// program is in the background still finds its window.
QList<TYWindow *> applicationWindows();
TYWindow *firstWindow();
TYWindow *lastListedWindow();
TYWindow *keyWindow();

// Announces every move of a work window; window controllers follow it.
class WindowMoves : public QObject {
    Q_OBJECT
public:
    static WindowMoves *instance();

signals:
    void windowDidMove(TYWindow *window);
};

namespace detail {
void registerWindow(TYWindow *window);
void unregisterWindow(TYWindow *window);
void windowCameToFront(TYWindow *window);
}  // namespace detail

}  // namespace kit
