#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

// The window of every work window: frameless, 960 x 720, dragged by its background.
// The window itself is the content view: layouts are set up on it and message views are
// laid over it. Its controller (TYWindowController) owns it.
class TYWindow : public QWidget {
    Q_OBJECT
public:
    explicit TYWindow(QWidget *parent = nullptr);
    ~TYWindow() override;

    // The window brought to the front when this one closes; set by the opener before showing.
    TYWindow *lastWindow() const { return lastWindow_; }
    void setLastWindow(TYWindow *window) { lastWindow_ = window; }
    // Asked before every close, the window manager's too; false keeps the window open.
    void setShouldClose(std::function<bool()> shouldClose) { shouldClose_ = std::move(shouldClose); }

    // Shows the window in front of the others and makes it the key window.
    void makeKeyAndOrderFront();
    // Hides the window without closing it (no windowWillClose).
    void orderOut();
    // Moves the window without touching its size; a no-op when it already stands there.
    void setFrameOrigin(const QPoint &origin);
    // The same, for a window that follows another one's move: arriving there is not announced
    // again. Where the window system moves windows later than asked, an echo would drag the
    // moving window back to where it was a moment ago.
    void followTo(const QPoint &origin);

signals:
    // Sent when the window is about to close, before it disappears.
    void windowWillClose();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<TYWindow> lastWindow_;
    std::function<bool()> shouldClose_;
    std::optional<QPoint> followTarget_;
    bool dragging_ = false;
    QPoint dragOffset_;
};
