#include "platform/VirtualHidDevice.h"

#include <atomic>
#include <utility>

#include "platform/HidInternal.h"

namespace cvx {

// What one manager holds of a virtual device.
class VirtualHidHandle final : public HidDevice {
public:
    explicit VirtualHidHandle(const VirtualHidDevicePtr &device)
        : HidDevice(device->info()), device_(device) {}
    ~VirtualHidHandle() override {
        if (isOpen()) release();
    }

    void receive(const QByteArray &report) { postInputReport(report); }

protected:
    HidResult writeReport(std::span<const quint8> bytes) override {
        return device_->takeOutputReport(
            QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())));
    }
    void release() override { device_->removeHandle(this); }

private:
    const VirtualHidDevicePtr device_;
};

class VirtualHidManager final : public HidManager {
public:
    explicit VirtualHidManager(VirtualHidHub &hub) : hub_(hub) {}
    ~VirtualHidManager() override { close(); }

    void arrived(const HidDeviceInfo &info) { deviceArrived(info); }
    void left(const QString &path) { deviceLeft(path); }

protected:
    HidResult startWatching() override {
        if (hub_.managerOpenResult_ != HidResult::Ok) return hub_.managerOpenResult_;
        hub_.managers_.append(this);
        return HidResult::Ok;
    }
    void stopWatching() override { hub_.managers_.removeOne(this); }

    QList<HidDeviceInfo> enumerate() override {
        QList<HidDeviceInfo> found;
        for (const VirtualHidDevicePtr &device : hub_.devices_) found.append(device->info());
        return found;
    }

    HidDevicePtr openDevice(const HidDeviceInfo &info, HidResult *result) override {
        for (const VirtualHidDevicePtr &device : hub_.devices_) {
            if (device->path() != info.path) continue;
            *result = device->openResult();
            if (*result != HidResult::Ok) return nullptr;
            auto handle = std::make_shared<VirtualHidHandle>(device);
            device->addHandle(handle);
            return handle;
        }
        *result = HidResult::DeviceGone;
        return nullptr;
    }

private:
    VirtualHidHub &hub_;
};

// ---- VirtualHidDevice

VirtualHidDevice::VirtualHidDevice(HidDeviceInfo info) : info_(std::move(info)) {}

bool VirtualHidDevice::isAttached() const {
    std::lock_guard lock(mutex_);
    return attached_;
}

void VirtualHidDevice::feedInputReport(const QByteArray &report) {
    QList<std::weak_ptr<VirtualHidHandle>> handles;
    {
        std::lock_guard lock(mutex_);
        if (!attached_) return;
        handles = handles_;
    }
    for (const std::weak_ptr<VirtualHidHandle> &weak : handles)
        if (std::shared_ptr<VirtualHidHandle> handle = weak.lock()) handle->receive(report);
}

QList<QByteArray> VirtualHidDevice::outputReports() const {
    std::lock_guard lock(mutex_);
    return outputs_;
}

QList<QByteArray> VirtualHidDevice::takeOutputReports() {
    std::lock_guard lock(mutex_);
    return std::exchange(outputs_, {});
}

void VirtualHidDevice::setOutputHandler(OutputHandler handler) {
    std::lock_guard lock(mutex_);
    outputHandler_ = std::move(handler);
}

void VirtualHidDevice::setOpenResult(HidResult result) {
    std::lock_guard lock(mutex_);
    openResult_ = result;
}

void VirtualHidDevice::setOutputResult(HidResult result) {
    std::lock_guard lock(mutex_);
    outputResult_ = result;
}

HidResult VirtualHidDevice::openResult() const {
    std::lock_guard lock(mutex_);
    return openResult_;
}

HidResult VirtualHidDevice::takeOutputReport(const QByteArray &report) {
    OutputHandler handler;
    {
        std::lock_guard lock(mutex_);
        if (!attached_) return HidResult::DeviceGone;
        if (outputResult_ != HidResult::Ok) return outputResult_;
        outputs_.append(report);
        handler = outputHandler_;
    }
    if (handler) handler(report);
    return HidResult::Ok;
}

void VirtualHidDevice::addHandle(const std::shared_ptr<VirtualHidHandle> &handle) {
    std::lock_guard lock(mutex_);
    handles_.append(handle);
}

void VirtualHidDevice::removeHandle(const VirtualHidHandle *handle) {
    std::lock_guard lock(mutex_);
    handles_.removeIf([handle](const std::weak_ptr<VirtualHidHandle> &weak) {
        std::shared_ptr<VirtualHidHandle> held = weak.lock();
        return !held || held.get() == handle;
    });
}

// ---- VirtualHidHub

namespace {
std::atomic<bool> hubInstalled{false};
}

VirtualHidHub &VirtualHidHub::install() {
    static VirtualHidHub hub;
    hubInstalled = true;
    return hub;
}

void VirtualHidHub::uninstall() {
    hubInstalled = false;
}

bool VirtualHidHub::isInstalled() {
    return hubInstalled;
}

VirtualHidDevicePtr VirtualHidHub::attach(quint16 vendorId, quint16 productId) {
    auto device = std::make_shared<VirtualHidDevice>(
        HidDeviceInfo{QStringLiteral("virtual-hid-%1").arg(++created_), vendorId, productId});
    devices_.append(device);
    const QList<VirtualHidManager *> managers = managers_;
    for (VirtualHidManager *manager : managers) manager->arrived(device->info());
    return device;
}

void VirtualHidHub::remove(const VirtualHidDevicePtr &device) {
    if (!device || !devices_.removeOne(device)) return;
    {
        std::lock_guard lock(device->mutex_);
        device->attached_ = false;
        // A handler usually holds its device; letting go here breaks that cycle.
        device->outputHandler_ = nullptr;
    }
    const QList<VirtualHidManager *> managers = managers_;
    for (VirtualHidManager *manager : managers) manager->left(device->path());
}

void VirtualHidHub::removeAll() {
    const QList<VirtualHidDevicePtr> devices = devices_;
    for (const VirtualHidDevicePtr &device : devices) remove(device);
}

std::unique_ptr<HidManager> VirtualHidHub::createManager() {
    return std::make_unique<VirtualHidManager>(*this);
}

}  // namespace cvx
