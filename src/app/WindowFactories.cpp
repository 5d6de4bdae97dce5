#include "app/WindowFactories.h"

#include "datamanage/ManagerMainController.h"
#include "maintenance/DataLinkFolders.h"
#include "maintenance/OutputPWController.h"
#include "records/UsbUtils.h"
#include "review/OutputController.h"
#include "review/ResultTableController.h"
#include "settings/SettingMainController.h"
#include "shell/CircularTimer.h"
#include "shell/MainMenuObject.h"
#include "shell/OpretionController.h"
#include "shell/TestViewController.h"
#include "sheet/TotalTableController.h"

void installWindowFactories(MainMenuObject &menu) {
    // The patient entry hands the main window on to the measuring window, so that the result
    // screen has a window to return to.
    menu.setOpretionFactory([](TYWindow *mainWindow) {
        auto *con = new OpretionController;
        con->setMWindow(mainWindow);
        return con;
    });
    menu.setOutputFactory([](TYWindow *mainWindow) {
        auto *con = new OutputController;
        con->setMWindow(mainWindow);  // before its window loads
        return con;
    });
    menu.setManagerFactory([](TYWindow *) { return new ManagerMainController; });
    menu.setSettingFactory([](TYWindow *mainWindow) {
        auto *con = new SettingMainController;
        con->window();
        con->setRootWind(mainWindow);  // once its window has loaded
        return con;
    });
    menu.setDataLinkImport([] { UsbUtils::readCsvOrTxt(); });
    SettingMainController::setMaintenanceFactory([](TYWindow *settingsMenuWindow) {
        auto *con = new OutputPWController;
        con->setLastWindow(settingsMenuWindow);
        return con;
    });
    // The maintenance screen's INPUT folder is imported from at once when it is stored. The
    // import reports nothing when it starts nothing, so the panel is told so here, or it
    // would wait for it for good.
    DataLinkFolders::setImport([](DataLinkFolders::ImportDone done) {
        if (UsbUtils::isHaveMODE() == 0 || UsbUtils::inputValue().isEmpty()) return false;
        return UsbUtils::readCsvOrTxt(std::move(done));
    });

    TestViewController::installAsMeasuringWindow();
    TestViewController::setCsvSave(
        [](const QString &chartNo, qint64 row) { UsbUtils::csvSave(chartNo, row); });
    TestViewController::setCsvBackup(
        [](const QString &chartNo, qint64 row) { UsbUtils::csvBackup(chartNo, row); });
    TestViewController::setResultScreenFactory([](ResultScreenRequest request) {
        auto *con = new ResultTableController;
        con->setDataXML(std::move(request.dataXML));
        con->setXmlPath(request.xmlPath);
        con->setSavePath(request.savePath);
        con->setNoString(request.noString);
        con->setNoStr(request.noStr);
        con->setDateStr(request.dateStr);
        return con;
    });
    ResultTableController::setTotalTableFactory([](const ResultSheetRequest &request) {
        SheetInput in;
        in.isNO = request.isNO;
        in.digiAry = request.digiAry;
        in.zdata = request.zdata;
        in.dateStr = request.dateStr;
        in.strDU = request.strDU;
        in.aryDU = request.aryDU;
        in.DUDU = request.DUDU;
        in.isDraw2 = request.isDraw2;
        in.coNCus = request.coNCus;
        in.C22 = request.C22;
        in.C23 = request.C23;
        in.t1 = request.t1;
        in.t2 = request.t2;
        in.selectRow = request.selectRow;
        in.noString = request.noString;
        return new TotalTableController(std::move(in));
    });
}
