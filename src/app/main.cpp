#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/WindowFactories.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/AutoUpdate.h"
#include "maintenance/OutputPWController.h"
#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "records/AppDelegate.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"
#include "review/TableViewDatas.h"
#include "shell/MainMenuObject.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"

namespace {

// A second copy on the same data folder would interleave its writes with the first one's; it
// says so briefly and ends before touching anything.
void showAlreadyRunning() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Corvadenix"),
                    QStringLiteral("Corvadenixはすでに起動しています。"), QMessageBox::Ok);
    QTimer::singleShot(3000, &box, &QMessageBox::accept);
    box.exec();
}

}  // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvadenix"));
    kit::installAppFont();
    if (SettingsFiles::claimDataFolder() == SettingsFiles::Claim::HeldElsewhere) {
        showAlreadyRunning();
        return 1;
    }

    // What the start-up and the link need from the layers above them.
    AppDelegate &delegate = AppDelegate::shared();
    delegate.setDataLinkImport([] { UsbUtils::readCsvOrTxt(); });
    OutputPWController::setErrorAlertPresenter(
        [](const QString &code) { TYAlertView::showErrorAlertView(code); });
    OutputPWController::installFirmwareVersionReader();
    // Before the start-up: an interrupted update is offered again during launch, and its OK
    // needs the next step.
    AutoUpdate::install();
    UsbHID::setOpenFailureAlert([](const QString &message, const QString &informative) {
        QMessageBox box(QMessageBox::Critical, message, message, QMessageBox::Ok);
        box.setInformativeText(informative);
        box.exec();
    });
    UsbManager::setIsUpdateViewShowing([] { return TYUpdateView::isExistUpdateView(); });

    // Made before any other work window: the others take their place from the first one. It
    // is in front before the start-up, so that a firmware-file fault found then is shown.
    MainMenuObject menu;
    installWindowFactories(menu);
    menu.mainWindow()->makeKeyAndOrderFront();
    delegate.applicationDidFinishLaunching(menu.mainWindow());

    const int status = app.exec();
    delegate.applicationWillTerminate();
    // Background saves and data jobs finish before the program's static objects go away;
    // quitting in the middle of one would otherwise leave a half-written file or touch
    // destroyed objects.
    TableViewDatas::waitForSaves();
    cvx::Dispatch::globalPool().waitForDone();
    // What those saves and jobs chose, and all that is held where the file went meanwhile.
    cvx::UserDefaults::standard().flushAll();
    return status;
}
