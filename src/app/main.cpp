#include <QApplication>

#include "records/AppDelegate.h"
#include "records/UsbUtils.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/TYWindow.h"

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvadenix"));
    kit::installAppFont();

    AppDelegate &delegate = AppDelegate::shared();
    // The data link sits above the shell, so the shell is handed its import.
    delegate.setDataLinkImport([] { UsbUtils::readCsvOrTxt(); });

    TYWindow mainWindow;
    delegate.applicationDidFinishLaunching(&mainWindow);
    mainWindow.makeKeyAndOrderFront();

    const int status = app.exec();
    delegate.applicationWillTerminate();
    return status;
}
