#include "settings/SettingsEditorController.h"

#include "platform/NotificationCenter.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/TYAlertView.h"

SettingsEditorController::SettingsEditorController(const QString &nibName, const QString &menuNotification,
                                                   const QString &mainMenuNotification, QObject *parent)
    : TYWindowController(nibName, parent),
      menuNotification_(menuNotification),
      mainMenuNotification_(mainMenuNotification) {}

void SettingsEditorController::cancelTap() {
    leave(LeftByCancel);
}

void SettingsEditorController::backTap() {
    leave(LeftByBack);
}

void SettingsEditorController::leave(int how) {
    isCancel_ = how;
    // Back leaves the window's lastWindow as the menu set it: the main menu's window.
    if (how != LeftByBack && lastWindow_) window()->setLastWindow(lastWindow_);
    clock()->zstop();
    window()->close();
}

void SettingsEditorController::confirmSave(bool saved) {
    if (!saved) {
        TYAlertView::showErrorAlertView(QStringLiteral("update_failed"));
        return;
    }
    QPointer<SettingsEditorController> self(this);
    TYAlertView::showErrorAlertView(QStringLiteral("update_success"), [self] {
        if (self) self->leave(LeftByOk);
    });
}

void SettingsEditorController::windowWillClose() {
    clock()->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(
        isCancel_ == LeftByBack ? mainMenuNotification_ : menuNotification_);
    TYWindowController::windowWillClose();
}
