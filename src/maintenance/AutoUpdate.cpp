#include "maintenance/AutoUpdate.h"

#include <QLabel>

#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "maintenance/RomWriter.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "records/AppDelegate.h"
#include "shell/kit/KitNotifications.h"
#include "shell/kit/TYUpdateView.h"

namespace {

RomWriter *&currentEngine() {
    static RomWriter *engine = nullptr;
    return engine;
}

AutoUpdate::StateRecorder &stateRecorder() {
    static AutoUpdate::StateRecorder recorder;
    return recorder;
}

void record(const QString &state) {
    if (stateRecorder()) stateRecorder()(state);
}

// Shows a panel of the update and records it.
void showPanel(const QString &picture, bool showOk, TYUpdateView::Block ok, bool showCancel,
               TYUpdateView::Block cancel, TYUpdateView::TextBlock text) {
    record(picture);
    TYUpdateView::showUpdateView(picture, showOk, std::move(ok), showCancel, std::move(cancel),
                                 std::move(text));
}

void releaseEngine() {
    delete currentEngine();  // its observations go with it
    currentEngine() = nullptr;
}

cvx::NotificationCenter &center() {
    return cvx::NotificationCenter::defaultCenter();
}

QObject *owner() {
    return AppDelegate::shared().observerOwner();
}

void observeErrorOK() {
    center().removeObserver(owner(), kit::kErrorOKClicked);
    center().addObserver(owner(), kit::kErrorOKClicked,
                         [](const cvx::Notification &) { AutoUpdate::retryUpdate(); });
}

}  // namespace

void AutoUpdate::install() {
    AppDelegate::shared().setNextUpdateStep([] { updateSystemStep2(); });
}

RomWriter *AutoUpdate::engine() {
    return currentEngine();
}

void AutoUpdate::updateSystemStep2() {
    AppDelegate &delegate = AppDelegate::shared();
    delegate.setUpdateStep(2);
    showPanel(QStringLiteral("自動バージョンアップ2"), false, {}, true,
              [] {
                  AppDelegate &d = AppDelegate::shared();
                  if (d.updateStep() != 2) return;
                  d.setUpdateStep(0);
                  center().removeObserver(owner(), kit::kErrorOKClicked);
                  center().removeObserver(owner(), usblink::kDeviceConnectNotification);
                  if (RomWriter *engine = currentEngine()) {
                      center().removeObserver(engine, usblink::kDeviceRemoveNotification);
                      center().removeObserver(engine, usblink::kPcReciveDataNotification);
                  }
              },
              {});

    releaseEngine();
    RomWriter *engine = new RomWriter;
    currentEngine() = engine;
    delegate.setOutputVc(engine);

    center().removeObserver(owner(), usblink::kDeviceConnectNotification);
    center().addObserver(owner(), usblink::kDeviceConnectNotification,
                         [](const cvx::Notification &) { AutoUpdate::deviceConnect(); });
    center().addObserver(engine, usblink::kDeviceRemoveNotification,
                         [engine](const cvx::Notification &) { engine->deviceRemove(); });
    center().addObserver(engine, usblink::kPcReciveDataNotification, [engine](const cvx::Notification &n) {
        engine->reciveData(n.object.toByteArray());
    });
    engine->initUpdateSystemInfo();
}

void AutoUpdate::deviceConnect() {
    RomWriter *engine = currentEngine();
    if (!engine || AppDelegate::shared().outputVc() != engine) return;
    if (!((engine->isBurnROM() && engine->burnStatus() == RomWriter::Armed) ||
          engine->burnStatus() == RomWriter::Removed))
        return;
    engine->deviceConnect();
    if (engine->burnStatus() == RomWriter::Connected) {
        cvx::Dispatch::mainAsync(engine, [] { updateSystemStep3(); });
    } else if (engine->burnStatus() == RomWriter::WasReset) {
        // The carried firmware files are faulty: the message's OK offers the update again
        // rather than leaving the waiting panel's state behind.
        observeErrorOK();
    }
}

void AutoUpdate::updateSystemStep3() {
    observeErrorOK();
    AppDelegate::shared().setUpdateStep(3);
    showPanel(QStringLiteral("自動バージョンアップ3"), false, {}, false, {}, [](QLabel *field) {
        field->setText(QStringLiteral(""));
        AppDelegate::shared().setMsgTextField(field);
    });
}

void AutoUpdate::showProgress(const QString &text) {
    QObject *field = AppDelegate::shared().msgTextField();
    if (!field) return;
    field->setProperty("text", text);
    record(text);
}

void AutoUpdate::setStateRecorder(StateRecorder recorder) {
    stateRecorder() = std::move(recorder);
}

void AutoUpdate::retryUpdate() {
    // A message about another matter while a write runs: the offer would stand over the write.
    if (RomWriter::writingEngine()) return;
    center().removeObserver(owner(), kit::kErrorOKClicked);
    center().postNotificationName(usblink::kUpdateSystem);
}

void AutoUpdate::updateSystemFinish() {
    center().removeObserver(owner(), kit::kErrorOKClicked);
    UsbHID::sharedManager().setVersionID(QStringLiteral(""));
    AppDelegate::shared().setUpdateStep(4);
    showPanel(QStringLiteral("自動バージョンアップ4"), true,
              [] {
                  AppDelegate &d = AppDelegate::shared();
                  d.setOutputVc(nullptr);
                  d.setUpdateStep(0);
                  center().removeObserver(owner(), usblink::kDeviceConnectNotification);
                  releaseEngine();
              },
              false, {}, {});
}

void AutoUpdate::resetForTesting() {
    stateRecorder() = {};
    center().removeObserver(owner(), kit::kErrorOKClicked);
    center().removeObserver(owner(), usblink::kDeviceConnectNotification);
    AppDelegate::shared().setOutputVc(nullptr);
    AppDelegate::shared().setMsgTextField(nullptr);
    AppDelegate::shared().setUpdateStep(0);
    releaseEngine();
}
