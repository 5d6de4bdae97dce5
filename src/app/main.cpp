#include <QApplication>

#include "app/WindowFactories.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"
#include "shell/MainMenuObject.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/TYWindow.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvadenix"));
    kit::installAppFont();

    AppDelegate &delegate = AppDelegate::shared();
    // The data link sits above the shell, so the shell is handed its import.
    delegate.setDataLinkImport([] { UsbUtils::readCsvOrTxt(); });

    // Made before any other work window: the others take their place from the first one.
    MainMenuObject menu;
    installWindowFactories(menu);
    delegate.applicationDidFinishLaunching(menu.mainWindow());
    menu.mainWindow()->makeKeyAndOrderFront();

    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}
