#include "maintenance/OutputPWController.h"

#include <QtDebug>

#include <optional>
#include <utility>

#include "link/UsbManager.h"

namespace {

OutputPWController::ErrorAlertPresenter &alertPresenter() {
    static OutputPWController::ErrorAlertPresenter presenter;
    return presenter;
}

}  // namespace

bool OutputPWController::fileExitChk_USB() {
    const FirmwareFiles::Fault fault = files_.fileExitChk_USB();
    return fault == FirmwareFiles::Fault::None || fail(fault);
}

bool OutputPWController::getDataRomInf() {
    const FirmwareFiles::Fault fault = files_.getDataRomInf();
    if (fault != FirmwareFiles::Fault::None) return fail(fault);
    UsbManager &manager = UsbManager::sharedUsbManager();
    manager.setPcMainVersion(files_.mainVersion());
    manager.setPcDispVersion(files_.dispVersion());
    return true;
}

void OutputPWController::burnRomOkButtonClicked() {
    files_.reset();
}

bool OutputPWController::fail(FirmwareFiles::Fault fault) {
    burnRomOkButtonClicked();
    showErrorAlertView(FirmwareFiles::messageCode(fault));
    return false;
}

void OutputPWController::setErrorAlertPresenter(ErrorAlertPresenter presenter) {
    alertPresenter() = std::move(presenter);
}

void OutputPWController::showErrorAlertView(const QString &code) {
    if (alertPresenter())
        alertPresenter()(code);
    else
        qWarning().noquote() << "firmware files:" << code;
}

void OutputPWController::installFirmwareVersionReader() {
    UsbManager::setFirmwareVersionReader([]() -> std::optional<UsbManager::FirmwareVersions> {
        OutputPWController controller;
        if (!controller.fileExitChk_USB() || !controller.getDataRomInf()) return std::nullopt;
        const FirmwareFiles &files = controller.firmwareFiles();
        return UsbManager::FirmwareVersions{files.mainVersion(), files.dispVersion()};
    });
}
