#pragma once

#include <QPointer>
#include <QString>

#include "shell/kit/TYWindowController.h"

class BBTime;

// What the three settings editors share: how they are left. The settings menu sets the
// editor's window's lastWindow to the main menu's window and the editor's own lastWindow to
// the menu's window. OK (after its confirmation) and Cancel go back to the menu, Back to the
// main menu; the closing posts the menu's notification, or the main menu's after Back.
class SettingsEditorController : public TYWindowController {
    Q_OBJECT
public:
    // isCancel: how the window is being left.
    enum { LeftByOk = 0, LeftByCancel = 1, LeftByBack = 2 };

    int isCancel() const { return isCancel_; }
    // The settings menu's window.
    TYWindow *lastWindow() const { return lastWindow_; }
    void setLastWindow(TYWindow *window) { lastWindow_ = window; }

    // Back to the settings menu without saving.
    void cancelTap();
    // Back to the main menu without saving.
    void backTap();

    virtual BBTime *clock() = 0;

protected:
    SettingsEditorController(const QString &nibName, const QString &menuNotification,
                             const QString &mainMenuNotification, QObject *parent);

    // After a save: "update_success", whose OK goes back to the settings menu; when the save
    // failed "update_failed", and the editor stays open with the user's edits.
    void confirmSave(bool saved);
    void windowWillClose() override;

private:
    void leave(int how);

    QString menuNotification_;
    QString mainMenuNotification_;
    int isCancel_ = LeftByOk;
    QPointer<TYWindow> lastWindow_;
};
