#include "link/UsbHID.h"

#include <QVariant>
#include <QtDebug>

#include <cstring>
#include <span>

#include "link/LinkNotifications.h"
#include "link/MaintenanceMode.h"
#include "link/SharedInstance.h"
#include "platform/NotificationCenter.h"

namespace {

SharedInstance<UsbHID> &shared() {
    static SharedInstance<UsbHID> instance;
    return instance;
}

UsbHID::AlertHandler &alertHandler() {
    static UsbHID::AlertHandler handler;
    return handler;
}

void showOpenFailureAlert(const QString &messageText, const QString &informativeText) {
    if (alertHandler())
        alertHandler()(messageText, informativeText);
    else
        qWarning().noquote() << messageText << informativeText;
}

}  // namespace

void UsbHID::setOpenFailureAlert(AlertHandler handler) {
    alertHandler() = std::move(handler);
}

UsbHID &UsbHID::sharedManager() {
    return shared().get([] { return new UsbHID; }, [](UsbHID &hid) { hid.initialise(); });
}

void UsbHID::resetSharedForTesting() {
    shared().reset();
}

UsbHID::UsbHID() = default;

void UsbHID::initialise() {
    setSessionInitiator(0);
    setDeviceConnectStatus(0);
    setDeviceStatus(-1);
    setClockIsChecked(false);

    managerRef_ = cvx::HidManager::create();
    const cvx::HidResult opened = managerRef_->open();
    if (opened != cvx::HidResult::Ok) {
        // Without an open manager nothing is matched: the program runs on without an instrument.
        qWarning("HID manager not opened: %s", cvx::hidResultName(opened));
        showOpenFailureAlert(QStringLiteral("error"), QStringLiteral("打开设备失败!"));
        return;
    }
    managerRef_->setDeviceMatchingCallback(
        [this](const cvx::HidDevicePtr &device) { deviceMatched(device); });
    managerRef_->setDeviceRemovalCallback([this](const cvx::HidDevicePtr &) { deviceRemoved(); });
    managerRef_->setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
}

UsbHID::~UsbHID() {
    if (deviceRef_) {
        deviceRef_->close();
        deviceRef_.reset();
    }
    if (managerRef_) {
        managerRef_->close();
        managerRef_.reset();
    }
}

void UsbHID::connectHID() {
    const QList<cvx::HidDevicePtr> devices =
        managerRef_ ? managerRef_->devices() : QList<cvx::HidDevicePtr>();
    deviceRef_ = devices.isEmpty() ? nullptr : devices.first();
}

void UsbHID::takeUpIgnoredDevice() {
    UsbHID *hid = shared().existing();
    if (!hid || !hid->managerRef_ || MaintenanceMode::sharedMode().getMode() == 1) return;
    if (hid->deviceRef_ && hid->deviceRef_->isOpen()) return;
    for (const cvx::HidDevicePtr &device : hid->managerRef_->devices()) {
        if (!device->isOpen()) continue;
        hid->deviceMatched(device);
        return;
    }
}

void UsbHID::deviceMatched(const cvx::HidDevicePtr &device) {
    // A firmware write takes up its instrument itself.
    if (MaintenanceMode::sharedMode().getMode() == 1) return;
    deviceRef_ = device;
    device->setInputReportCallback(
        [this](std::span<const quint8> report) {
            if (delegate_) delegate_->usbhidDidRecvData(report.data(), qint64(report.size()));
        },
        cvx::kHidInputReportSize);
    if (delegate_) delegate_->usbhidDidMatch();
}

void UsbHID::deviceRemoved() {
    deviceRef_.reset();
    if (delegate_) delegate_->usbhidDidRemove();
}

void UsbHID::senddata(const char *bytes) {
    if (!bytes) return;
    senddata(reinterpret_cast<const quint8 *>(bytes), quint32(std::strlen(bytes)));
}

void UsbHID::senddata(const quint8 *bytes, quint32 length) {
    if (!deviceRef_) return;
    // The result is not examined: the protocol has no retries.
    deviceRef_->sendOutputReport(std::span<const quint8>(bytes, length));
}

void UsbHID::senddata(const QByteArray &bytes) {
    senddata(reinterpret_cast<const quint8 *>(bytes.constData()), quint32(bytes.size()));
}

void UsbHID::setDeviceStatus(qint64 value) {
    deviceStatus_ = value;
    cvx::NotificationCenter::defaultCenter().postNotificationName(usblink::kDeviceStatusChangeNotification,
                                                                  QVariant::fromValue(value));
}
