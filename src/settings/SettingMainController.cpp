#include "settings/SettingMainController.h"

#include "platform/NotificationCenter.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "ui_SettingMainController.h"

SettingMainController::SettingMainController(QObject *parent)
    : TYWindowController(QStringLiteral("SettingMainController"), parent),
      ui_(std::make_unique<Ui::SettingMainController>()) {}

SettingMainController::~SettingMainController() = default;

BBTime *SettingMainController::zbbtime() const {
    return ui_->zbbtime;
}

CustomButton *SettingMainController::backButton() const {
    return ui_->backButton;
}

void SettingMainController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
}

void SettingMainController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleTextCard(ui_->card, ui_->cardTitle, ui_->cardText);
    connect(ui_->backButton, &QAbstractButton::clicked, this, [this] { window()->close(); });
}

void SettingMainController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObjectFromSet);
    TYWindowController::windowWillClose();
}
