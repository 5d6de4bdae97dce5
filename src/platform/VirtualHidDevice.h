#pragma once

// The virtual HID backend: in-process devices that tests and the instrument simulator
// plug in, unplug, feed input reports into and read output reports from, while the code
// under test sees them through HidManager like real ones.
//
// Delivery is queued through the main event loop as with hidraw: attaching, removing and
// feeding return at once, and the callbacks follow when the loop runs
// (HidManager::processPendingEvents() runs it until they are all out). Input reports and
// the removal keep the order in which they were fed and made.

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>

#include "platform/HidManager.h"

namespace cvx {

class VirtualHidHandle;
class VirtualHidManager;

class VirtualHidDevice {
public:
    using OutputHandler = std::function<void(const QByteArray &report)>;

    explicit VirtualHidDevice(HidDeviceInfo info);
    VirtualHidDevice(const VirtualHidDevice &) = delete;
    VirtualHidDevice &operator=(const VirtualHidDevice &) = delete;

    const HidDeviceInfo &info() const { return info_; }
    QString path() const { return info_.path; }
    bool isAttached() const;

    // Queues one input report to every manager that has the device open; it arrives cut
    // to the receiver's buffer size (64 bytes). Any thread; dropped once removed.
    void feedInputReport(const QByteArray &report);

    // Output reports sent to the device, oldest first, each exactly as sent.
    QList<QByteArray> outputReports() const;
    QList<QByteArray> takeOutputReports();
    // Called for each output report taken, on the sender's thread, during the send (the
    // simulator answers from here; what it feeds is queued). Any thread may set it; the
    // removal drops it.
    void setOutputHandler(OutputHandler handler);

    // Fault injection: the result of later opens by a manager (e.g. AccessDenied, as
    // without the udev rule), and of later sends (not Ok: the report is not taken).
    void setOpenResult(HidResult result);
    void setOutputResult(HidResult result);

private:
    friend class VirtualHidHandle;
    friend class VirtualHidHub;
    friend class VirtualHidManager;

    HidResult openResult() const;
    HidResult takeOutputReport(const QByteArray &report);
    void addHandle(const std::shared_ptr<VirtualHidHandle> &handle);
    void removeHandle(const VirtualHidHandle *handle);

    const HidDeviceInfo info_;
    mutable std::mutex mutex_;
    bool attached_ = true;
    QList<std::weak_ptr<VirtualHidHandle>> handles_;
    QList<QByteArray> outputs_;
    OutputHandler outputHandler_;
    HidResult openResult_ = HidResult::Ok;
    HidResult outputResult_ = HidResult::Ok;
};

using VirtualHidDevicePtr = std::shared_ptr<VirtualHidDevice>;

// The process's bus of virtual devices. Once installed, HidManager::create() makes
// managers that see only these devices; the hub stays for the rest of the process (the
// link's transport outlives single tests). Use on the main thread, except
// VirtualHidDevice::feedInputReport().
class VirtualHidHub {
public:
    // Installs the hub (once) and returns it.
    static VirtualHidHub &install();
    // Managers created from now on are hidraw ones again; existing ones keep the hub.
    static void uninstall();
    static bool isInstalled();

    // Plugs in a new device; open managers that match it open it at once and queue their
    // matching callbacks.
    VirtualHidDevicePtr attach(quint16 vendorId = kInstrumentVendorId,
                               quint16 productId = kInstrumentProductId);
    // Unplugs it: managers drop it and queue their removal callbacks; later sends to it
    // give DeviceGone. Unknown or already removed devices are ignored.
    void remove(const VirtualHidDevicePtr &device);
    void removeAll();
    QList<VirtualHidDevicePtr> devices() const { return devices_; }

    // What open() of the hub's managers returns from now on (Ok to begin with).
    void setManagerOpenResult(HidResult result) { managerOpenResult_ = result; }

    std::unique_ptr<HidManager> createManager();

private:
    friend class VirtualHidManager;
    VirtualHidHub() = default;

    QList<VirtualHidDevicePtr> devices_;
    QList<VirtualHidManager *> managers_;  // the open ones
    HidResult managerOpenResult_ = HidResult::Ok;
    int created_ = 0;
};

}  // namespace cvx
