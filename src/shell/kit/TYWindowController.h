#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "shell/kit/TYWindow.h"

// Base of every work window's controller. A controller is made with the name of its window
// layout (the .ui file beside it, named like the controller class); its window is made and
// laid out on the first call of window(), which then runs windowDidLoad().
//
//     #include "ui_ResultTableController.h"
//     class ResultTableController : public TYWindowController {
//         Q_OBJECT
//     public:
//         explicit ResultTableController(QObject *parent = nullptr)
//             : TYWindowController(QStringLiteral("ResultTableController"), parent) {}
//     protected:
//         void setupUi(TYWindow *window) override { ui.setupUi(window); }
//         void windowDidLoad() override { TYWindowController::windowDidLoad(); ... }
//         void windowWillClose() override {
//             ui.zbbtime->zstop();
//             cvx::NotificationCenter::defaultCenter().post(...);
//             TYWindowController::windowWillClose();   // brings back lastWindow
//         }
//     private:
//         Ui::ResultTableController ui;
//     };
//
// The opener: `con = new X; con->window()->setLastWindow(myWindow); con->showWindow();
// myWindow->orderOut();`. A window is closed through the window (window()->close()), never
// the controller. A controller that is let go while one of its own handlers runs must be
// released with deleteLater(); deleting the controller also deletes its window.
class TYWindowController : public QObject {
    Q_OBJECT
public:
    explicit TYWindowController(const QString &windowNibName, QObject *parent = nullptr);
    ~TYWindowController() override;

    QString windowNibName() const { return windowNibName_; }
    // The controller's window, made and laid out on first use.
    TYWindow *window();
    bool isWindowLoaded() const { return !window_.isNull(); }
    // Brings the window to the front as the key window.
    void showWindow();
    // Stops following the moves of the other work windows; the window stays open.
    virtual void close();

protected:
    // Lays the window out from the controller's layout; the default lays out nothing.
    virtual void setupUi(TYWindow *window);
    // After the window was made: places it at the first window's origin and starts
    // following the moves of all work windows. Overrides call this first.
    virtual void windowDidLoad();
    // Asked whenever the window is to close, by the window manager too; false keeps it open
    // (no windowWillClose). The default lets it close.
    virtual bool windowShouldClose() { return true; }
    // The window is about to close; the default brings its lastWindow to the front.
    virtual void windowWillClose();
    // Another (or this) work window moved: stand where it stands, and so does the first window.
    virtual void windowDidMove(TYWindow *moved);

    // Brings lastWindow of the controller's window to the front, if it has one.
    void orderFrontLastWindow();

private:
    QString windowNibName_;
    QPointer<TYWindow> window_;
};
