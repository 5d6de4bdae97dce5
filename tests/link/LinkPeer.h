#pragma once

// A tiny scripted instrument for the link's tests: a virtual HID device that the shared
// session has taken up, with helpers to feed reports and collect what the program sent.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QList>
#include <QStringList>

#include "link/ControlBytes.h"
#include "link/LinkNotifications.h"
#include "link/MaintenanceMode.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/HidManager.h"
#include "platform/NotificationCenter.h"
#include "platform/VirtualHidDevice.h"

namespace linktest {

using ::ctl::ACK, ::ctl::ENQ, ::ctl::EOT, ::ctl::ETB, ::ctl::ETX, ::ctl::NAK, ::ctl::STX;

// STX, the text, its byte sum as two hex digits, the terminator.
inline QByteArray frame(const QByteArray &text, char terminator = ETX, bool lowerCase = false) {
    unsigned sum = 0;
    for (const char c : text) sum += quint8(c);
    QByteArray digits = QByteArray::number(sum % 256, 16).rightJustified(2, '0');
    digits = lowerCase ? digits.toLower() : digits.toUpper();
    return STX + text + digits + terminator;
}

// A first frame that announces serial number "SN0042" and version "V01.10".
inline QByteArray identityText(const QByteArray &version = "V01.10") {
    return "1H|\\^&|||SA^SN0042 " + version + "|\r";
}

inline QByteArray control(char byte) {
    return QByteArray(1, byte);
}

// Notifications of the link, in the order they were posted, as "name" or "name=object".
class NotificationLog {
public:
    NotificationLog() {
        for (const QString &name :
             {usblink::kDeviceConnectNotification, usblink::kDeviceRemoveNotification,
              usblink::kDeviceStatusChangeNotification, usblink::kUpdateSystem, usblink::kTestDataSaved}) {
            ids_ << cvx::NotificationCenter::defaultCenter().addObserver(
                name, [this](const cvx::Notification &n) {
                    entries << (n.object.isValid() ? n.name + "=" + n.object.toString() : n.name);
                });
        }
        ids_ << cvx::NotificationCenter::defaultCenter().addObserver(
            usblink::kPcReciveDataNotification,
            [this](const cvx::Notification &n) { rawReports << n.object.toByteArray(); });
    }
    ~NotificationLog() {
        for (auto id : ids_) cvx::NotificationCenter::defaultCenter().removeObserver(id);
    }
    QStringList entries;
    QList<QByteArray> rawReports;

private:
    QList<cvx::NotificationCenter::ObserverId> ids_;
};

class LinkTest : public testing::Test {
protected:
    LinkTest() : hub(cvx::VirtualHidHub::install()) {
        hub.setManagerOpenResult(cvx::HidResult::Ok);
        QDir().mkpath(commLogFolder());
    }
    ~LinkTest() override {
        hub.removeAll();
        cvx::HidManager::processPendingEvents();
        UsbManager::resetSharedForTesting();
        UsbManager::setNowProvider({});
        UsbManager::setIsUpdateViewShowing({});
        UsbManager::setFirmwareVersionReader({});
        MaintenanceMode::sharedMode().setMode(0);
    }

    static QString commLogFolder() { return cvx::FileManager::homeDirectory() + "/CommLog"; }
    // Everything the communication log holds so far.
    static QString commLog() {
        QString all;
        const QDir dir(commLogFolder());
        for (const QString &name : dir.entryList({"*.log"}, QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly)) all += QString::fromUtf8(file.readAll());
        }
        return all;
    }

    UsbManager &session() { return UsbManager::sharedUsbManager(); }
    UsbHID &transport() { return UsbHID::sharedManager(); }

    // Plugs in the instrument and lets the session take it up.
    void attach() {
        session().connectHID();
        device = hub.attach();
        ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    }
    void feed(const QByteArray &report) {
        device->feedInputReport(report);
        ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    }
    QList<QByteArray> sent() { return device->takeOutputReports(); }
    // Has the instrument announce itself so that its frames pass the version gate.
    void identify() {
        feed(frame(identityText()));
        sent();
    }

    cvx::VirtualHidHub &hub;
    cvx::VirtualHidDevicePtr device;
};

}  // namespace linktest
