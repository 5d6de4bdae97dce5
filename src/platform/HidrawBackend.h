#pragma once

// The Linux HID backend: devices are hidraw nodes, found with libudev and watched through
// a udev monitor; reports are read and written on the node's file descriptor, all on the
// main thread's event loop.
//
// hidraw framing, for a device without numbered reports (the instrument has none):
// - a write carries one leading report-id byte 0 that the kernel strips before the
//   transfer, so n bytes of report go out as a write of n + 1 bytes;
// - a read returns one whole report without any id byte, cut to the buffer's size.

#include <QSocketNotifier>

#include <memory>

#include "platform/HidManager.h"

struct udev;
struct udev_monitor;

namespace cvx {

class HidrawDevice final : public HidDevice {
public:
    // Takes ownership of fd, an open non-blocking descriptor with hidraw's framing.
    HidrawDevice(HidDeviceInfo info, int fd);
    ~HidrawDevice() override;

protected:
    HidResult writeReport(std::span<const quint8> bytes) override;
    void release() override;

private:
    void readReports();

    int fd_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool reading_ = false;
};

class HidrawManager final : public HidManager {
public:
    HidrawManager() = default;
    ~HidrawManager() override;

    // Treats fd as a hidraw node of a device that has just been plugged in (a caller that
    // opened the node itself, or a socket pair standing in for one). Takes ownership of fd
    // in every case; false when the device is not taken (see adopt()).
    bool adoptDescriptor(const HidDeviceInfo &info, int fd);

    // Whether a udev monitor is running (between a successful open() and close()).
    bool isMonitoring() const { return monitor_ != nullptr; }

protected:
    HidResult startWatching() override;
    void stopWatching() override;
    QList<HidDeviceInfo> enumerate() override;
    HidDevicePtr openDevice(const HidDeviceInfo &info, HidResult *result) override;

private:
    void readMonitor();

    udev *udev_ = nullptr;
    udev_monitor *monitor_ = nullptr;
    std::unique_ptr<QSocketNotifier> monitorNotifier_;
};

}  // namespace cvx
