#include "review/OutputController.h"

#include "platform/NotificationCenter.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/WindowList.h"
#include "ui_OutputController.h"

OutputController::OutputController(QObject *parent)
    : TYWindowController(QStringLiteral("OutputController"), parent),
      ui_(std::make_unique<Ui::OutputController>()) {}

OutputController::~OutputController() = default;

BBTime *OutputController::zbbtime() const {
    return ui_->zbbtime;
}

CustomButton *OutputController::backButton() const {
    return ui_->backButton;
}

void OutputController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
}

void OutputController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleTextCard(ui_->card, ui_->cardTitle, ui_->cardText);
    connect(ui_->backButton, &QAbstractButton::clicked, this, [this] { window()->close(); });
}

void OutputController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObjectFromOutput);
    // Back to the main menu, whoever opened this window.
    window()->setLastWindow(kit::firstWindow());
    TYWindowController::windowWillClose();
}
