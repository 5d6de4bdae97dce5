#include "platform/HidManager.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#include "platform/HidInternal.h"
#include "platform/HidrawBackend.h"
#include "platform/VirtualHidDevice.h"

namespace cvx {

Q_LOGGING_CATEGORY(lcHid, "cvx.hid")

namespace {

std::atomic<int> pendingDeliveries{0};

// Counts a queued delivery until Qt has run or discarded it.
struct PendingDelivery {
    PendingDelivery() { ++pendingDeliveries; }
    ~PendingDelivery() { --pendingDeliveries; }
    PendingDelivery(const PendingDelivery &) = delete;
    PendingDelivery &operator=(const PendingDelivery &) = delete;
};

// One receiver for all deliveries, living in the main thread. Per-manager receivers would
// have to be deleted while their own events may be running.
QObject *mainThreadReceiver() {
    static std::mutex mutex;
    static QPointer<QObject> receiver;
    std::lock_guard lock(mutex);
    if (!receiver) {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app) return nullptr;
        receiver = new QObject;
        if (QThread::currentThread() == app->thread())
            receiver->setParent(app);
        else
            receiver->moveToThread(app->thread());
    }
    return receiver;
}

bool onMainThread() {
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

}  // namespace

void hidPost(std::function<void()> fn) {
    QObject *receiver = mainThreadReceiver();
    if (!receiver) {
        qCWarning(lcHid) << "no application object: HID event dropped";
        return;
    }
    auto pending = std::make_shared<PendingDelivery>();
    QMetaObject::invokeMethod(
        receiver, [fn = std::move(fn), pending] { fn(); }, Qt::QueuedConnection);
}

const char *hidResultName(HidResult result) {
    switch (result) {
        case HidResult::Ok:
            return "ok";
        case HidResult::NotOpen:
            return "not open";
        case HidResult::DeviceGone:
            return "device gone";
        case HidResult::AccessDenied:
            return "access denied";
        case HidResult::ShortWrite:
            return "short write";
        case HidResult::Failed:
            return "failed";
    }
    return "unknown";
}

// ---- HidDevice

HidDevice::HidDevice(HidDeviceInfo info) : info_(std::move(info)) {}

HidDevice::~HidDevice() = default;

void HidDevice::setInputReportCallback(InputReportCallback callback, qsizetype bufferSize) {
    if (state_ == State::Closed) return;
    inputCallback_ = std::move(callback);
    bufferSize_ = std::max<qsizetype>(bufferSize, 1);
}

HidResult HidDevice::sendOutputReport(std::span<const quint8> bytes) {
    if (state_ == State::Closed) return HidResult::NotOpen;
    if (state_ == State::Gone) return HidResult::DeviceGone;
    HidResult result = writeReport(bytes);
    if (result == HidResult::DeviceGone) lost();
    return result;
}

HidResult HidDevice::sendOutputReport(const QByteArray &bytes) {
    return sendOutputReport(
        std::span<const quint8>(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size()));
}

void HidDevice::close() {
    if (state_ == State::Closed) return;
    if (state_ == State::Open) release();
    state_ = State::Closed;
    inputCallback_ = nullptr;
    onLost_ = nullptr;
}

void HidDevice::postInputReport(QByteArray report) {
    hidPost([weak = weak_from_this(), report = std::move(report)] {
        if (HidDevicePtr device = weak.lock()) device->deliverInputReport(report);
    });
}

void HidDevice::deliverInputReport(const QByteArray &report) {
    // Reports read before an unplug still arrive (ahead of the removal); after close() none.
    if (state_ == State::Closed || !inputCallback_) return;
    InputReportCallback callback = inputCallback_;
    const auto length = std::min(report.size(), bufferSize_);
    callback(std::span<const quint8>(reinterpret_cast<const quint8 *>(report.constData()), length));
}

void HidDevice::lost() {
    if (state_ != State::Open) return;
    markGone();
    if (std::function<void()> onLost = onLost_) onLost();
}

void HidDevice::markGone() {
    if (state_ != State::Open) return;
    release();
    state_ = State::Gone;
}

// ---- HidManager

std::unique_ptr<HidManager> HidManager::create() {
    if (VirtualHidHub::isInstalled()) return VirtualHidHub::install().createManager();
    return std::make_unique<HidrawManager>();
}

HidManager::~HidManager() {
    close();
}

HidResult HidManager::open() {
    if (isOpen()) return HidResult::Ok;
    if (!onMainThread()) {
        qCWarning(lcHid) << "the HID manager must be opened on the main thread";
        return HidResult::Failed;
    }
    HidResult result = startWatching();
    if (result != HidResult::Ok) return result;
    session_ = std::make_shared<int>(0);
    scan();
    return HidResult::Ok;
}

void HidManager::setDeviceMatching(quint16 vendorId, quint16 productId) {
    matching_ = Matching{vendorId, productId};
    if (!isOpen()) return;
    const QList<HidDevicePtr> current = devices_;
    for (const HidDevicePtr &device : current)
        if (!matches(device->info())) deviceLeft(device->path());
    scan();
}

void HidManager::close() {
    if (!isOpen()) return;
    session_.reset();
    stopWatching();
    const QList<HidDevicePtr> devices = std::exchange(devices_, {});
    for (const HidDevicePtr &device : devices) device->close();
}

bool HidManager::processPendingEvents(int maxRounds) {
    for (int round = 0; round < maxRounds && pendingDeliveries > 0; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    return pendingDeliveries == 0;
}

void HidManager::deviceArrived(const HidDeviceInfo &info) {
    if (!isOpen() || !matches(info) || find(info.path)) return;
    HidResult result = HidResult::Failed;
    HidDevicePtr device = openDevice(info, &result);
    if (!device) {
        qCWarning(lcHid).noquote() << "cannot open" << info.path << "-" << hidResultName(result);
        post([this, info, result] {
            if (OpenFailureCallback callback = openFailureCallback_) callback(info, result);
        });
        return;
    }
    adopt(device);
}

bool HidManager::adopt(const HidDevicePtr &device) {
    if (!isOpen() || !matches(device->info()) || find(device->path())) {
        device->close();
        return false;
    }
    const QString path = device->path();
    device->onLost_ = [this, path] { deviceLeft(path); };
    devices_.append(device);
    qCInfo(lcHid).noquote() << "matched" << path;
    // Told even when the device is unplugged before this runs: its removal follows.
    post([this, device] {
        if (DeviceCallback callback = matchingCallback_) callback(device);
    });
    return true;
}

void HidManager::deviceLeft(const QString &path) {
    HidDevicePtr device = find(path);
    if (!device) return;
    devices_.removeOne(device);
    device->markGone();
    device->onLost_ = nullptr;
    qCInfo(lcHid).noquote() << "removed" << path;
    post([this, device] {
        DeviceCallback callback = removalCallback_;
        if (device->state_ == HidDevice::State::Gone) device->inputCallback_ = nullptr;
        if (callback) callback(device);
    });
}

bool HidManager::matches(const HidDeviceInfo &info) const {
    return matching_ && info.vendorId == matching_->vendorId && info.productId == matching_->productId;
}

HidDevicePtr HidManager::find(const QString &path) const {
    for (const HidDevicePtr &device : devices_)
        if (device->path() == path) return device;
    return nullptr;
}

void HidManager::scan() {
    if (!matching_) return;
    for (const HidDeviceInfo &info : enumerate()) deviceArrived(info);
}

void HidManager::post(std::function<void()> fn) {
    hidPost([session = std::weak_ptr<int>(session_), fn = std::move(fn)] {
        if (session.lock()) fn();
    });
}

}  // namespace cvx
