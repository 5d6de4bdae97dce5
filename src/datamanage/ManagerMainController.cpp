#include "datamanage/ManagerMainController.h"

#include "platform/NotificationCenter.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "ui_ManagerMainController.h"

ManagerMainController::ManagerMainController(QObject *parent)
    : TYWindowController(QStringLiteral("ManagerMainController"), parent) {}

ManagerMainController::~ManagerMainController() = default;

BBTime *ManagerMainController::zbbtime() const {
    return ui_ ? ui_->zbbtime : nullptr;
}

CustomButton *ManagerMainController::backButton() const {
    return ui_ ? ui_->backButton : nullptr;
}

void ManagerMainController::setupUi(TYWindow *window) {
    ui_ = std::make_unique<Ui::ManagerMainController>();
    ui_->setupUi(window);
}

void ManagerMainController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleTextCard(ui_->card, ui_->cardTitle, ui_->cardText);
    connect(ui_->backButton, &QAbstractButton::clicked, this, [this] { window()->close(); });
}

void ManagerMainController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObject);
    TYWindowController::windowWillClose();
}
