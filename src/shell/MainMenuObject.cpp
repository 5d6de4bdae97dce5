#include "shell/MainMenuObject.h"

#include <QCoreApplication>
#include <QLabel>

#include "platform/NotificationCenter.h"
#include "platform/Version.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/WindowPlacement.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/TYWindowController.h"
#include "ui_MainMenuObject.h"

namespace {

void showPicture(kit::PictureView *view, const QString &name) {
    view->setScaling(kit::ImageScaling::AxesIndependently);
    view->setPixmap(kit::picture(name));
}

}  // namespace

MainMenuObject::MainMenuObject(QObject *parent)
    : QObject(parent), ui_(std::make_unique<Ui::MainMenuObject>()) {
    mainWindow_ = new TYWindow;
    mainWindow_->setObjectName(QStringLiteral("MainMenuObject"));
    mainWindow_->setWindowTitle(QStringLiteral("Corvadenix"));
    ui_->setupUi(mainWindow_);
    // In place before it is first shown: a window that appears elsewhere and then jumps keeps
    // the button that was under the pointer lit.
    shell::placeMainWindow(mainWindow_);

    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleLabel(ui_->subtitleLabel, 18, false, QStringLiteral("rgba(255, 255, 255, 220)"));
    shell::styleLabel(ui_->headingLabel, 22, true, QStringLiteral("#2c3e50"));
    shell::styleLabel(ui_->versionLabel, 14, false, QStringLiteral("#7f8c8d"));
    ui_->versionLabel->setText(QStringLiteral("Ver. %1").arg(QLatin1String(cvx::kAppShortVersion)));

    // The quit panel: a veil over the whole menu keeps the buttons below from being clicked.
    showPicture(ui_->bacImg, QStringLiteral("box"));
    showPicture(ui_->messBacImg, QStringLiteral("画面_メッセージ"));
    showPicture(ui_->messImg, QStringLiteral("quit_confirm"));
    for (CustomButton *button : {ui_->okBtn, ui_->cancelBtn})
        button->setImageScaling(kit::ImageScaling::AxesIndependently);
    setQuitPanelVisible(false);

    connect(ui_->testBtn, &QAbstractButton::clicked, this, [this] { testTap(ui_->testBtn); });
    connect(ui_->outputBtn, &QAbstractButton::clicked, this, [this] { outputTap(ui_->outputBtn); });
    connect(ui_->managerBtn, &QAbstractButton::clicked, this, [this] { managerTap(ui_->managerBtn); });
    connect(ui_->settingBtn, &QAbstractButton::clicked, this, [this] { settingTap(ui_->settingBtn); });
    connect(ui_->minBtn, &QAbstractButton::clicked, this, &MainMenuObject::minTap);
    connect(ui_->deleBtn, &QAbstractButton::clicked, this, &MainMenuObject::deleTap);
    connect(ui_->okBtn, &QAbstractButton::clicked, this, &MainMenuObject::OTap);
    connect(ui_->cancelBtn, &QAbstractButton::clicked, this, &MainMenuObject::CTap);
    connect(mainWindow_, &TYWindow::windowWillClose, this, &MainMenuObject::windowWillClose);

    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    for (const QString &name : shell::mainMenuBackNotifications())
        center.addObserver(this, name, [this](const cvx::Notification &) { mytest(); });
}

MainMenuObject::~MainMenuObject() {
    cvx::NotificationCenter::defaultCenter().removeObserver(this);
    for (TYWindowController *con :
         {opretionCon_.data(), outputCon_.data(), managerMainCon_.data(), settingMainCon_.data()})
        delete con;
    delete mainWindow_.data();
}

TYWindow *MainMenuObject::mainWindow() const {
    return mainWindow_;
}

BBTime *MainMenuObject::zbbtime() const {
    return ui_->zbbtime;
}

CustomButton *MainMenuObject::testBtn() const {
    return ui_->testBtn;
}

CustomButton *MainMenuObject::outputBtn() const {
    return ui_->outputBtn;
}

CustomButton *MainMenuObject::managerBtn() const {
    return ui_->managerBtn;
}

CustomButton *MainMenuObject::settingBtn() const {
    return ui_->settingBtn;
}

CustomButton *MainMenuObject::minBtn() const {
    return ui_->minBtn;
}

CustomButton *MainMenuObject::deleBtn() const {
    return ui_->deleBtn;
}

kit::PictureView *MainMenuObject::bacImg() const {
    return ui_->bacImg;
}

kit::PictureView *MainMenuObject::messSubImg() const {
    return ui_->messBacImg;
}

kit::PictureView *MainMenuObject::messImg() const {
    return ui_->messImg;
}

CustomButton *MainMenuObject::okTap() const {
    return ui_->okBtn;
}

CustomButton *MainMenuObject::caBtn() const {
    return ui_->cancelBtn;
}

void MainMenuObject::mytest() {
    ui_->zbbtime->zstart();
}

void MainMenuObject::testTap(CustomButton *sender) {
    openWorkWindow(Kind::Opretion, sender);
}

void MainMenuObject::outputTap(CustomButton *sender) {
    openWorkWindow(Kind::Output, sender);
}

void MainMenuObject::managerTap(CustomButton *sender) {
    openWorkWindow(Kind::Manager, sender);
}

void MainMenuObject::settingTap(CustomButton *sender) {
    openWorkWindow(Kind::Setting, sender);
}

void MainMenuObject::openWorkWindow(Kind kind, CustomButton *sender) {
    struct Slot {
        WindowFactory &factory;
        QPointer<TYWindowController> &controller;
    };
    Slot slot = kind == Kind::Opretion  ? Slot{opretionFactory_, opretionCon_}
                : kind == Kind::Output  ? Slot{outputFactory_, outputCon_}
                : kind == Kind::Manager ? Slot{managerFactory_, managerMainCon_}
                                        : Slot{settingFactory_, settingMainCon_};
    if (!slot.factory) return;

    // The import runs in the background; patient entry opens without waiting for it.
    if (kind == Kind::Opretion && dataLinkImport_ && UsbUtils::isHaveMODE() != 0) dataLinkImport_();
    ui_->zbbtime->zstop();
    // Ends any text editing in progress before the window goes.
    if (kind == Kind::Setting)
        if (QWidget *editing = mainWindow_->focusWidget()) editing->clearFocus();

    TYWindowController *controller = slot.factory(mainWindow_);
    if (!controller) {
        ui_->zbbtime->zstart();
        return;
    }
    // The controller opened before may still be inside one of its own handlers.
    if (slot.controller && slot.controller != controller) slot.controller->deleteLater();
    slot.controller = controller;

    controller->window()->setLastWindow(mainWindow_);
    controller->showWindow();
    if (sender) sender->mouseExited();
    mainWindow_->orderOut();
}

void MainMenuObject::minTap() {
    mainWindow_->showMinimized();
}

void MainMenuObject::deleTap() {
    setQuitPanelVisible(true);
}

void MainMenuObject::CTap() {
    setQuitPanelVisible(false);
}

void MainMenuObject::OTap() {
    ui_->zbbtime->zstop();
    mainWindow_->close();
}

void MainMenuObject::setQuitPanelVisible(bool visible) {
    for (QWidget *view : std::initializer_list<QWidget *>{ui_->bacImg, ui_->messBacImg, ui_->messImg,
                                                          ui_->okBtn, ui_->cancelBtn}) {
        view->setVisible(visible);
        if (visible) view->raise();
    }
    // The buttons come back in their resting picture the next time the panel is shown.
    if (!visible)
        for (CustomButton *button : {ui_->okBtn, ui_->cancelBtn}) button->mouseExited();
}

void MainMenuObject::windowWillClose() {
    ui_->zbbtime->zstop();
    if (quitApplication_)
        quitApplication_();
    else
        QCoreApplication::quit();
}
