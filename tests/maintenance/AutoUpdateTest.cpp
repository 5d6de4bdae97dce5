#include <gtest/gtest.h>

#include <QtTest>

#include "FirmwareFixture.h"
#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/AutoUpdate.h"
#include "maintenance/RomWriter.h"
#include "platform/HidManager.h"
#include "platform/NotificationCenter.h"
#include "platform/VirtualHidDevice.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "support/RomSimulator.h"

namespace {

class AutoUpdateTest : public firmwaretest::FirmwareTest {
protected:
    AutoUpdateTest() {
        RomWriter::setTimingsForTesting(20, 2000, 2000);  // generous: no test here waits them out
        cvx::VirtualHidHub::install();
        UsbManager &session = UsbManager::sharedUsbManager();
        session.connectHID();
        session.setPcMainVersion("V01.00");
        session.setPcDispVersion("V1.00");
        session.setDeviceMainVersion("V00.90");
        session.setDeviceDispVersion("V0.90");
        OutputPWController::setErrorAlertPresenter([this](const QString &code) {
            alerts << code;
            TYAlertView::showErrorAlertView(code);
        });
        // As the start-up observes it.
        cvx::NotificationCenter::defaultCenter().addObserver(
            app().observerOwner(), usblink::kUpdateSystem,
            [](const cvx::Notification &) { app().updateSystem(); });
        AutoUpdate::install();
        app().installSettingsFiles();  // "CommSetting.xml" holds the update flag
        window.makeKeyAndOrderFront();
    }
    ~AutoUpdateTest() override {
        AutoUpdate::resetForTesting();
        cvx::NotificationCenter::defaultCenter().removeObserver(app().observerOwner());
        app().setNextUpdateStep({});
        RomWriter::setTimingsForTesting(-1, -1, -1);
    }

    static AppDelegate &app() { return AppDelegate::shared(); }

    // The panel shown and which of its buttons; empty when none.
    QString panel() const {
        auto *view = window.findChild<TYUpdateView *>();
        if (!view) return QString();
        for (int n = 1; n <= 4; ++n) {
            const QString name = QStringLiteral("自動バージョンアップ%1").arg(n);
            if (view->updateImageView()->pixmap().toImage() == kit::picture(name).toImage())
                return name + (view->okButton()->isVisibleTo(view) ? " OK" : "") +
                       (view->cancelButton()->isVisibleTo(view) ? " Cancel" : "");
        }
        return QStringLiteral("?");
    }
    TYUpdateView *view() const { return window.findChild<TYUpdateView *>(); }

    TYWindow window;
};

TEST_F(AutoUpdateTest, OfferWaitWriteAndFinish) {
    app().updateSystem();
    EXPECT_EQ(panel(), "自動バージョンアップ1 OK Cancel");
    EXPECT_EQ(app().updateStep(), 1);
    EXPECT_TRUE(BBInitDatas::getAutoVersionUp());

    view()->okButtonClicked();
    EXPECT_EQ(panel(), "自動バージョンアップ2 Cancel");
    EXPECT_EQ(app().updateStep(), 2);
    ASSERT_NE(AutoUpdate::engine(), nullptr);
    EXPECT_EQ(AutoUpdate::engine()->burnStatus(), RomWriter::Armed);

    QStringList states;
    AutoUpdate::setStateRecorder([&](const QString &state) { states << state; });
    cvxtest::RomSimulator rom;
    cvxtest::RomSimulator::Faults faults;
    faults.restartMs = 50;  // back after the engine's pause
    rom.setFaults(faults);
    rom.attach();
    ASSERT_TRUE(rom.runUntil([&] { return rom.sawQuit(); }));
    // Panel 3, shown afresh when the instrument is back from its restart, shows every line of
    // both ROM files being written; then panel 4 follows.
    QStringList expected{"自動バージョンアップ3", "自動バージョンアップ3"};
    for (int rom = 1; rom <= 2; ++rom)
        for (int line = 0; line <= 33; ++line)
            expected << QStringLiteral(" [%1/2] (%2/33)").arg(rom).arg(line);
    expected << "自動バージョンアップ4";
    EXPECT_EQ(states, expected);
    EXPECT_EQ(alerts, QStringList());
    EXPECT_EQ(panel(), "自動バージョンアップ4 OK");
    EXPECT_EQ(app().updateStep(), 4);
    EXPECT_EQ(app().outputVc(), nullptr);
    EXPECT_EQ(app().msgTextField(), nullptr);
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());
    EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());

    view()->okButtonClicked();
    EXPECT_EQ(app().updateStep(), 0);
    EXPECT_EQ(AutoUpdate::engine(), nullptr);
    EXPECT_EQ(panel(), "");
}

TEST_F(AutoUpdateTest, FailedWriteOffersTheUpdateAgain) {
    app().updateSystem();
    view()->okButtonClicked();
    cvxtest::RomSimulator rom;
    cvxtest::RomSimulator::Faults faults;
    faults.romSumDelta = 1;
    rom.setFaults(faults);
    rom.attach();
    ASSERT_TRUE(rom.runUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts, QStringList{"E402"});
    EXPECT_EQ(app().updateStep(), 3);
    EXPECT_TRUE(BBInitDatas::getAutoVersionUp());
    EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());

    auto *alert = window.findChild<TYAlertView *>();
    ASSERT_NE(alert, nullptr);
    alert->okButtonClicked();
    EXPECT_EQ(panel(), "自動バージョンアップ1 OK Cancel");
    EXPECT_EQ(app().updateStep(), 1);
}

TEST_F(AutoUpdateTest, CancelWhileWaitingIgnoresLaterAttachments) {
    app().updateSystem();
    view()->okButtonClicked();
    view()->cancelButtonClicked();
    EXPECT_EQ(app().updateStep(), 0);
    EXPECT_EQ(panel(), "");

    cvxtest::RomSimulator rom;
    rom.attach();
    rom.runUntil([] { return false; }, 100);
    EXPECT_TRUE(rom.reports().isEmpty());
    EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());
    EXPECT_TRUE(BBInitDatas::getAutoVersionUp()) << "offered again at the next launch";
}

TEST_F(AutoUpdateTest, InstrumentUnpluggedAndPluggedInWhileWaiting) {
    cvxtest::RomSimulator rom;
    rom.attach();
    cvx::HidManager::processPendingEvents();
    app().updateSystem();
    view()->okButtonClicked();

    rom.detach();
    cvx::HidManager::processPendingEvents();
    EXPECT_EQ(alerts, QStringList());
    EXPECT_EQ(AutoUpdate::engine()->burnStatus(), RomWriter::Armed);

    rom.attach();
    ASSERT_TRUE(rom.runUntil([&] { return rom.sawQuit(); }));
    EXPECT_EQ(app().updateStep(), 4);
}

}  // namespace
