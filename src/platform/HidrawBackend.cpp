#include "platform/HidrawBackend.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <QStringList>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/HidInternal.h"

namespace cvx {

namespace {

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Retires a notifier; one whose own activation is running must outlive the return to Qt.
void retireNotifier(std::unique_ptr<QSocketNotifier> &notifier, bool activeNow) {
    if (!notifier) return;
    notifier->setEnabled(false);
    if (activeNow)
        notifier.release()->deleteLater();
    else
        notifier.reset();
}

// The vendor and product come from the HID parent's HID_ID ("bus:vendor:product" in hex),
// which also covers devices that are not on USB.
std::optional<HidDeviceInfo> describe(udev_device *device) {
    const char *node = udev_device_get_devnode(device);
    udev_device *hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
    const char *id = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    if (!node || !id) return std::nullopt;
    const QStringList parts = QString::fromLatin1(id).split(QLatin1Char(':'));
    if (parts.size() != 3) return std::nullopt;
    bool vendorOk = false;
    bool productOk = false;
    const uint vendor = parts[1].toUInt(&vendorOk, 16);
    const uint product = parts[2].toUInt(&productOk, 16);
    if (!vendorOk || !productOk || vendor > 0xFFFF || product > 0xFFFF) return std::nullopt;
    return HidDeviceInfo{QString::fromLocal8Bit(node), quint16(vendor), quint16(product)};
}

HidResult openResult(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return HidResult::AccessDenied;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return HidResult::DeviceGone;
        default:
            return HidResult::Failed;
    }
}

}  // namespace

// ---- HidrawDevice

HidrawDevice::HidrawDevice(HidDeviceInfo info, int fd) : HidDevice(std::move(info)), fd_(fd) {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readReports(); });
}

HidrawDevice::~HidrawDevice() {
    if (fd_ >= 0) release();
}

void HidrawDevice::readReports() {
    reading_ = true;
    QByteArray buffer(bufferSize(), '\0');
    // Drain the node: each read returns one report. Unplugging wakes the notifier with
    // EIO or ENODEV (end of file from a stand-in); the notifier must then go, or it fires
    // for ever.
    while (fd_ >= 0) {
        const ssize_t n = ::read(fd_, buffer.data(), buffer.size());
        if (n > 0) {
            postInputReport(QByteArray(buffer.constData(), n));
            continue;
        }
        const int error = n < 0 ? errno : 0;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) break;
        if (error != 0 && error != EIO && error != ENODEV)
            qCWarning(lcHid).noquote() << "reading" << path() << "failed:" << errnoText(error);
        lost();
    }
    reading_ = false;
}

HidResult HidrawDevice::writeReport(std::span<const quint8> bytes) {
    QByteArray frame(1, '\0');  // report id 0, stripped by the kernel
    frame.append(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    ssize_t n;
    do {
        n = ::write(fd_, frame.constData(), frame.size());
    } while (n < 0 && errno == EINTR);
    if (n == frame.size()) return HidResult::Ok;
    if (n >= 0) {
        qCWarning(lcHid).noquote() << "short write on" << path() << ":" << n << "of" << frame.size()
                                   << "bytes";
        return HidResult::ShortWrite;
    }
    const int error = errno;
    qCWarning(lcHid).noquote() << "writing" << bytes.size() << "bytes to" << path()
                               << "failed:" << errnoText(error);
    switch (error) {
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return HidResult::DeviceGone;
        case EACCES:
        case EPERM:
            return HidResult::AccessDenied;
        default:
            return HidResult::Failed;
    }
}

void HidrawDevice::release() {
    retireNotifier(notifier_, reading_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// ---- HidrawManager

HidrawManager::~HidrawManager() {
    close();
}

bool HidrawManager::adoptDescriptor(const HidDeviceInfo &info, int fd) {
    return adopt(std::make_shared<HidrawDevice>(info, fd));
}

HidResult HidrawManager::startWatching() {
    udev_ = udev_new();
    if (!udev_) {
        qCWarning(lcHid) << "udev_new failed:" << errnoText(errno);
        return HidResult::Failed;
    }
    // The "udev" source reports a node only after the rules have run, so its permissions
    // are final by the time we open it.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        qCWarning(lcHid) << "cannot start the udev monitor:" << errnoText(errno);
        stopWatching();
        return HidResult::Failed;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    monitorNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    QObject::connect(monitorNotifier_.get(), &QSocketNotifier::activated, [this] { readMonitor(); });
    return HidResult::Ok;
}

void HidrawManager::stopWatching() {
    // Device callbacks are queued, so this never runs inside the monitor's activation.
    retireNotifier(monitorNotifier_, false);
    if (monitor_) monitor_ = udev_monitor_unref(monitor_);
    if (udev_) udev_ = udev_unref(udev_);
}

void HidrawManager::readMonitor() {
    while (monitor_) {
        udev_device *device = udev_monitor_receive_device(monitor_);
        if (!device) break;
        const char *action = udev_device_get_action(device);
        if (action && std::strcmp(action, "add") == 0) {
            if (std::optional<HidDeviceInfo> info = describe(device)) deviceArrived(*info);
        } else if (action && std::strcmp(action, "remove") == 0) {
            // The node is gone from sysfs by now; its name is all there is to go by.
            if (const char *node = udev_device_get_devnode(device)) deviceLeft(QString::fromLocal8Bit(node));
        }
        udev_device_unref(device);
    }
}

QList<HidDeviceInfo> HidrawManager::enumerate() {
    QList<HidDeviceInfo> found;
    udev_enumerate *scan = udev_ ? udev_enumerate_new(udev_) : nullptr;
    if (!scan) return found;
    if (udev_enumerate_add_match_subsystem(scan, "hidraw") >= 0 && udev_enumerate_scan_devices(scan) >= 0) {
        udev_list_entry *entry;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(scan)) {
            udev_device *device = udev_device_new_from_syspath(udev_, udev_list_entry_get_name(entry));
            if (!device) continue;
            if (std::optional<HidDeviceInfo> info = describe(device)) found.append(*info);
            udev_device_unref(device);
        }
    }
    udev_enumerate_unref(scan);
    return found;
}

HidDevicePtr HidrawManager::openDevice(const HidDeviceInfo &info, HidResult *result) {
    const int fd = ::open(info.path.toLocal8Bit().constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        *result = openResult(error);
        qCWarning(lcHid).noquote() << "open" << info.path << "failed:" << errnoText(error)
                                   << (*result == HidResult::AccessDenied
                                           ? "(is the udev rule 70-corvadenix.rules installed?)"
                                           : "");
        return nullptr;
    }
    return std::make_shared<HidrawDevice>(info, fd);
}

}  // namespace cvx
