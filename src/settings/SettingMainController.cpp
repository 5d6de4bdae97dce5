#include "settings/SettingMainController.h"

#include <QLabel>

#include "platform/NotificationCenter.h"
#include "settings/LinkSetController.h"
#include "settings/ResultSetController.h"
#include "settings/SettingHospitalController.h"
#include "settings/SettingsNotifications.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "ui_SettingMainController.h"

namespace {

SettingMainController::MaintenanceFactory &maintenanceFactory() {
    static SettingMainController::MaintenanceFactory factory;
    return factory;
}

}  // namespace

void SettingMainController::setMaintenanceFactory(MaintenanceFactory factory) {
    maintenanceFactory() = std::move(factory);
}

SettingMainController::SettingMainController(QObject *parent)
    : TYWindowController(QStringLiteral("SettingMainController"), parent),
      ui_(std::make_unique<Ui::SettingMainController>()) {}

SettingMainController::~SettingMainController() {
    cvx::NotificationCenter::defaultCenter().removeObserver(this);
}

SettingHospitalController *SettingMainController::settingHospitalCon() const {
    return settingHospitalCon_;
}
ResultSetController *SettingMainController::resultSetCon() const {
    return resultSetCon_;
}
LinkSetController *SettingMainController::linkSetCon() const {
    return linkSetCon_;
}

BBTime *SettingMainController::zbbtime() const {
    return ui_->zbbtime;
}
CustomButton *SettingMainController::backButton() const {
    return ui_->backButton;
}
CustomButton *SettingMainController::hospitalButton() const {
    return ui_->hospitalBtn;
}
CustomButton *SettingMainController::resultSetButton() const {
    return ui_->resultSetBtn;
}
CustomButton *SettingMainController::linkSetButton() const {
    return ui_->linkSetBtn;
}
CustomButton *SettingMainController::bsButton() const {
    return ui_->bsBtn;
}
QLabel *SettingMainController::maintenanceNote() const {
    return ui_->maintenanceNote;
}

void SettingMainController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleLabel(ui_->maintenanceNote, 15, false, QStringLiteral("#6b7c86"));
    connect(ui_->hospitalBtn, &QAbstractButton::clicked, this, &SettingMainController::hospitalTap);
    connect(ui_->resultSetBtn, &QAbstractButton::clicked, this, &SettingMainController::resultSetTap);
    connect(ui_->linkSetBtn, &QAbstractButton::clicked, this, &SettingMainController::linkSetTap);
    connect(ui_->bsBtn, &QAbstractButton::clicked, this, &SettingMainController::BSTap);
    connect(ui_->backButton, &QAbstractButton::clicked, this, &SettingMainController::backTap);
}

void SettingMainController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    // Owned by the menu, so a menu that the main menu replaced hears nothing any more.
    auto &center = cvx::NotificationCenter::defaultCenter();
    center.removeObserver(this);
    for (const QString &name :
         {settings::kBackSetMenuObjectFromHospSet, settings::kBackSetMenuObjectFromResultpSet,
          settings::kBackSetMenuObjectFromLinkSet, settings::kBackSetMenuObjectFromPutPutPW})
        center.addObserver(this, name, [this](const cvx::Notification &) { mytest(); });
    showMaintenanceAvailability();
}

void SettingMainController::showMaintenanceAvailability() {
    const bool available = bool(maintenanceFactory());
    ui_->bsBtn->setEnabled(available);
    if (!available) {
        for (auto set : {&CustomButton::setImageNamed, &CustomButton::setHoverImageNamed,
                         &CustomButton::setAlternateImageNamed})
            (ui_->bsBtn->*set)(QStringLiteral("ボタン_メンテナンス_OFF"));
    }
    ui_->maintenanceNote->setVisible(!available);
}

void SettingMainController::mytest() {
    ui_->zbbtime->zstart();
}

template <typename Controller>
void SettingMainController::open(QPointer<Controller> &slot, Controller *controller, CustomButton *sender) {
    // The one opened before may still be inside one of its own handlers.
    if (slot && slot != controller) slot->deleteLater();
    slot = controller;
    controller->window()->setLastWindow(rootWind_);
    controller->showWindow();
    if (sender) sender->mouseExited();
    window()->orderOut();
}

void SettingMainController::hospitalTap() {
    ui_->zbbtime->zstop();
    auto *con = new SettingHospitalController(this);
    con->setLastWindow(window());
    open(settingHospitalCon_, con, ui_->hospitalBtn);
}

void SettingMainController::resultSetTap() {
    ui_->zbbtime->zstop();
    auto *con = new ResultSetController(this);
    con->setLastWindow(window());
    open(resultSetCon_, con, ui_->resultSetBtn);
}

void SettingMainController::linkSetTap() {
    ui_->zbbtime->zstop();
    auto *con = new LinkSetController(this);
    con->setLastWindow(window());
    open(linkSetCon_, con, ui_->linkSetBtn);
}

void SettingMainController::BSTap() {
    if (!maintenanceFactory()) return;
    ui_->zbbtime->zstop();
    TYWindowController *con = maintenanceFactory()(window());
    if (!con) {
        ui_->zbbtime->zstart();
        return;
    }
    con->setParent(this);
    open(outputPWCon_, con, ui_->bsBtn);
}

void SettingMainController::backTap() {
    ui_->zbbtime->zstop();
    window()->setLastWindow(rootWind_);
    window()->close();
}

void SettingMainController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObjectFromSet);
    TYWindowController::windowWillClose();
}
