#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace cvx {

// USB identifiers of the saliva-test instrument.
inline constexpr quint16 kInstrumentVendorId = 0x3A9D;
inline constexpr quint16 kInstrumentProductId = 0x001A;

// The instrument's input reports are at most this long; a longer report is cut to the
// receiving buffer's size, as hidraw does.
inline constexpr qsizetype kHidInputReportSize = 64;

enum class HidResult {
    Ok,
    NotOpen,       // closed by its owner, or never opened
    DeviceGone,    // unplugged
    AccessDenied,  // no permission on the device node: the udev rule is missing
    ShortWrite,    // the device took only part of the report
    Failed,        // anything else; the details are logged under "cvx.hid"
};

const char *hidResultName(HidResult result);

struct HidDeviceInfo {
    QString path;  // "/dev/hidraw3", or "virtual-hid-1" for a virtual device
    quint16 vendorId = 0;
    quint16 productId = 0;
};

// One matched HID device, opened by its manager at the match. Handles are shared: a
// holder may keep one after the removal or after the manager is gone; every operation
// then fails cleanly. Use on the main thread only.
class HidDevice : public std::enable_shared_from_this<HidDevice> {
public:
    // The report's bytes, exactly as many as the device sent (cut to the buffer size).
    // The span is valid only during the call.
    using InputReportCallback = std::function<void(std::span<const quint8> report)>;

    virtual ~HidDevice();
    HidDevice(const HidDevice &) = delete;
    HidDevice &operator=(const HidDevice &) = delete;

    const HidDeviceInfo &info() const { return info_; }
    QString path() const { return info_.path; }
    quint16 vendorId() const { return info_.vendorId; }
    quint16 productId() const { return info_.productId; }

    // True from the match until close() or the removal.
    bool isOpen() const { return state_ == State::Open; }

    // Input reports go to the callback on the main thread, through the event loop, in
    // the order the device sent them; reports that arrive while no callback is set are
    // dropped. bufferSize caps the length handed over. Setting an empty callback stops
    // the delivery.
    void setInputReportCallback(InputReportCallback callback, qsizetype bufferSize = kHidInputReportSize);

    // Sends exactly these bytes as one output report with report id 0 (the instrument has
    // no numbered reports). An empty report is passed on as well. A report longer than
    // 64 bytes is offered to the device as it is.
    HidResult sendOutputReport(std::span<const quint8> bytes);
    HidResult sendOutputReport(const QByteArray &bytes);

    // Stops the input delivery (pending reports included) and releases the device node.
    // Safe to call any number of times, also after the removal.
    void close();

protected:
    explicit HidDevice(HidDeviceInfo info);

    // Backend side. writeReport is called only while the device is open; release exactly
    // once, when it stops being open.
    virtual HidResult writeReport(std::span<const quint8> bytes) = 0;
    virtual void release() = 0;

    qsizetype bufferSize() const { return bufferSize_; }
    // Queues one report for delivery on the main thread. May be called from any thread.
    void postInputReport(QByteArray report);
    // The backend found the device unplugged.
    void lost();

private:
    friend class HidManager;
    enum class State { Open, Gone, Closed };

    void markGone();
    void deliverInputReport(const QByteArray &report);

    HidDeviceInfo info_;
    State state_ = State::Open;
    InputReportCallback inputCallback_;
    qsizetype bufferSize_ = kHidInputReportSize;
    std::function<void()> onLost_;
};

using HidDevicePtr = std::shared_ptr<HidDevice>;

// Finds devices by vendor and product id, opens them and follows their attachment and
// removal. The matching, removal and open-failure callbacks arrive on the main thread
// through the event loop, never from inside a call to the manager, so a callback may
// close or destroy the manager. Nothing arrives after close().
//
// Typical use:
//     auto manager = cvx::HidManager::create();
//     manager->setDeviceMatchingCallback([](const cvx::HidDevicePtr &d) { d->setInputReportCallback(...); });
//     manager->setDeviceRemovalCallback(...);
//     if (manager->open() != cvx::HidResult::Ok) ...;
//     manager->setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
//     manager->devices();  // those attached now; their matching callbacks follow
class HidManager {
public:
    using DeviceCallback = std::function<void(const HidDevicePtr &device)>;
    using OpenFailureCallback = std::function<void(const HidDeviceInfo &device, HidResult result)>;

    // The virtual backend while a VirtualHidHub is installed (tests, the instrument
    // simulator), hidraw through udev otherwise.
    static std::unique_ptr<HidManager> create();

    virtual ~HidManager();
    HidManager(const HidManager &) = delete;
    HidManager &operator=(const HidManager &) = delete;

    // Starts following the devices. Must be called on the main thread. Opening an open
    // manager does nothing and succeeds.
    HidResult open();
    bool isOpen() const { return session_ != nullptr; }

    // The devices to match. Until this is called nothing matches. Devices attached now
    // are opened at once and listed by devices(); their matching callbacks are queued.
    // Called again, devices that no longer match are dropped with a removal callback.
    void setDeviceMatching(quint16 vendorId, quint16 productId);

    void setDeviceMatchingCallback(DeviceCallback callback) { matchingCallback_ = std::move(callback); }
    void setDeviceRemovalCallback(DeviceCallback callback) { removalCallback_ = std::move(callback); }
    // A matching device that could not be opened (e.g. AccessDenied without the udev
    // rule). It is not listed and gets no matching callback.
    void setOpenFailureCallback(OpenFailureCallback callback) { openFailureCallback_ = std::move(callback); }

    // The matched devices, in the order they were found.
    QList<HidDevicePtr> devices() const { return devices_; }

    // Closes every device and stops following. Safe to call any number of times.
    void close();

    // Runs the event loop until every queued HID callback has been delivered (for tests and
    // the simulator; callbacks may queue further ones). False if they kept coming for
    // maxRounds rounds.
    static bool processPendingEvents(int maxRounds = 1000);

protected:
    HidManager() = default;

    // Backend side. Derived destructors must call close() themselves.
    virtual HidResult startWatching() = 0;
    virtual void stopWatching() = 0;
    virtual QList<HidDeviceInfo> enumerate() = 0;
    // Opens the node of a matching device; on failure sets *result and returns null.
    virtual HidDevicePtr openDevice(const HidDeviceInfo &info, HidResult *result) = 0;

    // Hot-plug events seen by the backend.
    void deviceArrived(const HidDeviceInfo &info);
    void deviceLeft(const QString &path);
    // Lists an already opened device as matched; false (and the device closed) when the
    // manager is closed, the device does not match or its path is taken.
    bool adopt(const HidDevicePtr &device);

private:
    struct Matching {
        quint16 vendorId;
        quint16 productId;
    };

    bool matches(const HidDeviceInfo &info) const;
    HidDevicePtr find(const QString &path) const;
    void scan();
    // Queues fn unless the manager is closed or destroyed before it runs.
    void post(std::function<void()> fn);

    std::optional<Matching> matching_;
    QList<HidDevicePtr> devices_;
    DeviceCallback matchingCallback_;
    DeviceCallback removalCallback_;
    OpenFailureCallback openFailureCallback_;
    // Lives from open() to close(); queued callbacks hold it weakly.
    std::shared_ptr<int> session_;
};

}  // namespace cvx
