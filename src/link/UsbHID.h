#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/HidManager.h"

// Receiver of the transport's events; every operation is optional. All arrive on the main
// thread.
class UsbHIDDelegate {
public:
    virtual ~UsbHIDDelegate() = default;
    // One input report; `data` is valid only during the call.
    virtual void usbhidDidRecvData(const quint8 *data, qint64 length) {
        Q_UNUSED(data);
        Q_UNUSED(length);
    }
    // An instrument was matched; its reports will be delivered from now on.
    virtual void usbhidDidMatch() {}
    virtual void usbhidDidRemove() {}
};

// The one owner of the HID manager: finds the instrument by its USB identifiers, hands its
// input reports to the delegate, sends output reports and keeps the link's state fields.
// Knows nothing of frames. Main thread only, except sharedManager().
class UsbHID {
public:
    // Shows the modal alert when the HID manager cannot be opened. The default writes a
    // warning; the window kit installs a real alert. Set it before the first sharedManager().
    using AlertHandler = std::function<void(const QString &messageText, const QString &informativeText)>;
    static void setOpenFailureAlert(AlertHandler handler);

    // Created on the first call (thread-safe); never destroyed during a run.
    static UsbHID &sharedManager();

    UsbHID(const UsbHID &) = delete;
    UsbHID &operator=(const UsbHID &) = delete;
    ~UsbHID();

    // Takes the first device that matches now into deviceRef, without telling anybody and
    // without registering for its reports (the matching callback that follows does both).
    void connectHID();

    // Takes up an attached instrument that the matching ignored while the maintenance mode
    // was 1, as if it had just been attached; nothing when the mode is 1, an instrument is
    // taken up already or the transport has not been made yet.
    static void takeUpIgnoredDevice();

    // One output report of the bytes before the terminating NUL.
    void senddata(const char *bytes);
    // One output report of exactly `length` bytes.
    void senddata(const quint8 *bytes, quint32 length);
    void senddata(const QByteArray &bytes);

    cvx::HidManager *getManageRef() const { return managerRef_.get(); }
    void setManageRef(std::unique_ptr<cvx::HidManager> manager) { managerRef_ = std::move(manager); }
    cvx::HidDevicePtr getDeviceRef() const { return deviceRef_; }
    void setDeviceRef(cvx::HidDevicePtr device) { deviceRef_ = std::move(device); }

    UsbHIDDelegate *delegate() const { return delegate_; }
    void setDelegate(UsbHIDDelegate *delegate) { delegate_ = delegate; }

    // 1 while an exchange opened by the application is under way.
    quint64 sessionInitiator() const { return sessionInitiator_; }
    void setSessionInitiator(quint64 value) { sessionInitiator_ = value; }

    // The instrument's serial number and the last five characters of its version, taken
    // from its first frame; null until then.
    QString deviceNo() const { return deviceNo_; }
    void setDeviceNo(const QString &value) { deviceNo_ = value; }
    QString versionID() const { return versionID_; }
    void setVersionID(const QString &value) { versionID_ = value; }

    // -1 none, 0 starting up, 1 and 6 standby, 2 measuring, 3 trouble, 4 power off,
    // 5 other, 7 connection confirmed; 8 and 9 as received. Every set posts
    // "deviceStatusChangeNotification" with the value, also when it is unchanged.
    qint64 deviceStatus() const { return deviceStatus_; }
    void setDeviceStatus(qint64 value);

    // 1 while an instrument is attached.
    qint64 deviceConnectStatus() const { return deviceConnectStatus_; }
    void setDeviceConnectStatus(qint64 value) { deviceConnectStatus_ = value; }

    // The instrument's clock was set in this connection, or is not to be set.
    bool clockIsChecked() const { return clockIsChecked_; }
    void setClockIsChecked(bool value) { clockIsChecked_ = value; }

    // Test only: destroys the shared transport (closing its manager) so that the next
    // sharedManager() makes a fresh one. Nothing may hold a reference to it.
    static void resetSharedForTesting();

private:
    UsbHID();
    void initialise();
    void deviceMatched(const cvx::HidDevicePtr &device);
    void deviceRemoved();

    std::unique_ptr<cvx::HidManager> managerRef_;
    cvx::HidDevicePtr deviceRef_;
    UsbHIDDelegate *delegate_ = nullptr;
    quint64 sessionInitiator_ = 0;
    QString deviceNo_;
    QString versionID_;
    qint64 deviceStatus_ = 0;
    qint64 deviceConnectStatus_ = 0;
    bool clockIsChecked_ = false;
};
