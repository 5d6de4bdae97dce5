#pragma once

#include <QString>

#include <functional>

#include "maintenance/FirmwareFiles.h"

// The maintenance screen's controller; made without a window it reads the firmware the
// application carries (at launch and for the automatic update). The firmware records and
// the expected sums live in firmwareFiles().
class OutputPWController {
public:
    OutputPWController() = default;

    // Checks the firmware files and takes the description in. On a fault resets the writer,
    // shows "T501", "T502" or "T503" and answers false.
    bool fileExitChk_USB();
    // Reads the ROM data files for their sums and stores the versions of files 0 and 1 as
    // the shared UsbManager's pcMainVersion and pcDispVersion. On a fault (a file damaged
    // since the check) resets the writer, shows "T503", leaves the versions and answers false.
    bool getDataRomInf();

    // The writer's reset.
    void burnRomOkButtonClicked();

    FirmwareFiles &firmwareFiles() { return files_; }
    const FirmwareFiles &firmwareFiles() const { return files_; }

    // Shows a message picture by its code. Installed by the window kit
    // (TYAlertView::showErrorAlertView); until then the code is only logged. An empty
    // function restores that.
    using ErrorAlertPresenter = std::function<void(const QString &code)>;
    static void setErrorAlertPresenter(ErrorAlertPresenter presenter);
    static void showErrorAlertView(const QString &code);

    // Has UsbUtils::parseFileVersion() read the carried versions through a windowless
    // controller. Called once by the start-up before parseFileVersion().
    static void installFirmwareVersionReader();

private:
    bool fail(FirmwareFiles::Fault fault);

    FirmwareFiles files_;
};
