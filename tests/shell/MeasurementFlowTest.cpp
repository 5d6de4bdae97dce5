// A measurement from the main menu to the result screen, with the instrument played by the
// simulator: patient entry, KARTE, the instrument's states, the two-pass transfer, the stored
// patient file and the result screen; and the ways that end in "E407" or lead back.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include "MeasuringFixture.h"
#include "platform/FileManager.h"
#include "platform/HidManager.h"
#include "platform/UserDefaults.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"
#include "shell/CircularTimer.h"
#include "shell/MainMenuObject.h"
#include "shell/OpretionController.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/WindowList.h"
#include "support/FileSizeLimit.h"
#include "support/InstrumentSimulator.h"

using namespace shelltest;
using cvxtest::InstrumentSimulator;
using cvxtest::Measurement;

namespace {

class MeasurementFlow : public testing::Test {
protected:
    MeasurementFlow() {
        QDir().mkpath(dataFolder());
        EXPECT_TRUE(cvx::Bundle::copyResource(QStringLiteral("CalcSetting.xml"),
                                              dataFolder() + QStringLiteral("/CalcSetting.xml")));
        CalcSettingDatas::discardSharedForTesting();
        cvx::UserDefaults::standard().setObject(QStringLiteral("さくら歯科"), QStringLiteral("zhospital"));
        AppDelegate::shared().setIsTest(true);

        menu.setOpretionFactory([](TYWindow *) { return new OpretionController; });
        TestViewController::installAsMeasuringWindow();
        menu.mainWindow()->makeKeyAndOrderFront();

        UsbManager::sharedUsbManager().connectHID();
        sim.attach();
        EXPECT_TRUE(sim.run());
        instrument(1);
    }

    ~MeasurementFlow() override {
        OpretionController::setDefaultMeasuringWindowFactory({});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sim.detach();
        cvx::HidManager::processPendingEvents();
        UsbManager::resetSharedForTesting();
        CalcSettingDatas::discardSharedForTesting();
    }

    // The instrument reports a state.
    void instrument(int state) {
        sim.sendState(state, QStringLiteral("V1.00"));
        ASSERT_TRUE(sim.run());
    }

    // Main menu -> patient entry -> OK with the chart number and name.
    void enterPatient(const QString &chartNo) {
        menu.testTap();
        entry = qobject_cast<OpretionController *>(menu.opretionCon());
        ASSERT_TRUE(entry);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(entry->window()));
        ASSERT_TRUE(entry->okButton()->isEnabled());
        QTest::keyClicks(entry->userIDTextField(), chartNo);
        QTest::keyClicks(entry->firstNameTextField(), QStringLiteral("Sato"));
        QTest::keyClicks(entry->lastNameTextField(), QStringLiteral("Ichiro"));
        sim.clearHistory();
        QTest::mouseClick(entry->okButton(), Qt::LeftButton);
        ASSERT_TRUE(sim.run());
        measuring = qobject_cast<TestViewController *>(entry->testViewController());
        ASSERT_TRUE(measuring);
    }

    Measurement measurement() const {
        Measurement m;  // KARTE carries the chart number the program announced
        m.state = 2;
        m.second.time = QStringLiteral("09:12");
        return m;
    }

    int messages() const { return int(measuring->window()->findChildren<TYAlertView *>().size()); }

    InstrumentSimulator sim;  // before the link's transport is first used
    ManualCountdownClock clock;
    MainMenuObject menu;
    QPointer<OpretionController> entry;
    QPointer<TestViewController> measuring;
    ResultServices services;
    QPointer<ResultScreenStandIn> &result = services.result;
};

TEST_F(MeasurementFlow, PatientToStoredResultAndResultScreen) {
    enterPatient(QStringLiteral("P-100"));
    EXPECT_EQ(sim.chartNo(), QStringLiteral("P-100"));
    EXPECT_TRUE(measuring->window()->isVisible());
    EXPECT_FALSE(entry->window()->isVisible());
    EXPECT_EQ(kit::keyWindow(), measuring->window());
    EXPECT_EQ(measuring->userIDLabel()->text(), QStringLiteral("カルテ番号：P-100"));
    EXPECT_EQ(measuring->opretionController(), entry.data());
    EXPECT_EQ(measuring->oprationWindow(), entry->window());

    instrument(2);
    EXPECT_EQ(measuring->countdownText(), QStringLiteral("9秒\n残り299秒"));
    EXPECT_EQ(measuring->statePictureName(), QStringLiteral("表示_装置状態_測定中"));
    clock.advanceSeconds(120);
    EXPECT_EQ(measuring->countdownText(), QStringLiteral(" \t \n残り179秒"));
    EXPECT_EQ(measuring->progressPictureName(), QStringLiteral("Stepback4"));

    // The instrument announces the measuring state again and sends both passes.
    sim.sendMeasurement(measurement());
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.unacknowledgedFrames(), 0);

    const auto file = UsbUtils::getCustomerXml(QStringLiteral("P-100"));
    ASSERT_TRUE(file);
    const cvx::XmlElement root = file->rootElement();
    EXPECT_EQ(root.attribute(QStringLiteral("name")), QStringLiteral("Sato Ichiro"));
    EXPECT_EQ(root.attribute(QStringLiteral("sex")), QStringLiteral("2"));
    const QList<cvx::XmlElement> results = root.elements();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].attribute(QStringLiteral("date")), QStringLiteral("2026-03-05"));
    EXPECT_EQ(results[0].attribute(QStringLiteral("time")), QStringLiteral("09:12"));
    EXPECT_EQ(results[0].firstElement(QStringLiteral("Hospital")).stringValue(),
              QStringLiteral("さくら歯科"));
    EXPECT_FALSE(results[0].firstElement(QStringLiteral("RsvData")).stringValue().isEmpty());
    EXPECT_EQ(services.csvBackups, QStringList{QStringLiteral("P-100#0")});
    EXPECT_TRUE(services.csvSaves.isEmpty());

    ASSERT_FALSE(result.isNull());
    EXPECT_TRUE(result->window()->isVisible());
    EXPECT_EQ(kit::keyWindow(), result->window());
    EXPECT_EQ(result->window()->lastWindow(), menu.mainWindow());  // the main menu sets no root window
    EXPECT_EQ(result->request.dateStr, QStringLiteral("2026-03-05 09:12"));
    EXPECT_EQ(result->request.noString, QStringLiteral("P-100"));
    EXPECT_EQ(result->request.noStr, QStringLiteral("P-100"));
    EXPECT_TRUE(result->request.xmlPath.isNull());
    EXPECT_EQ(result->request.savePath, UsbUtils::getXmlPath(QStringLiteral("P-100")));
    EXPECT_EQ(result->request.dataXML.toString(), file->toString());

    EXPECT_FALSE(measuring->window()->isVisible());
    EXPECT_FALSE(entry->window()->isVisible());
    EXPECT_FALSE(menu.mainWindow()->isVisible());
    EXPECT_FALSE(UsbManager::sharedUsbManager().hasTestInfo());
    EXPECT_FALSE(UsbManager::sharedUsbManager().hasCurrentCustInfo());

    // Closing the result screen brings back the main menu.
    result->window()->close();
    EXPECT_TRUE(menu.mainWindow()->isVisible());
}

TEST_F(MeasurementFlow, TimeoutWithoutDataShowsE407AfterTheConfiguredWait) {
    writeSetting(QStringLiteral("USBSetting.xml"), QStringLiteral("Timeout"), QStringLiteral("5000"));
    enterPatient(QStringLiteral("P-200"));
    instrument(2);
    const qint64 start = clock.now();
    clock.advanceSeconds(299);
    EXPECT_EQ(measuring->countdownText(), QStringLiteral(" \t \n残り0秒"));
    clock.advance(4999);
    EXPECT_EQ(messages(), 0);
    clock.advance(1);
    EXPECT_EQ(clock.now() - start, 304000);
    EXPECT_EQ(messages(), 1);
    EXPECT_TRUE(measuring->window()->isVisible());
    EXPECT_TRUE(measuring->countdownLabel()->isHidden());
    const auto file = UsbUtils::getCustomerXml(QStringLiteral("P-200"));
    ASSERT_TRUE(file);  // written by patient entry
    EXPECT_TRUE(file->rootElement().elements().isEmpty());
    EXPECT_EQ(UsbManager::sharedUsbManager().currentCustInfo().customerNo(), QStringLiteral("P-200"));

    // OK on the message, then the menu button leads back to the main menu.
    for (TYAlertView *v : measuring->window()->findChildren<TYAlertView *>()) v->okButtonClicked();
    QTest::mouseClick(measuring->backButton(), Qt::LeftButton);
    EXPECT_FALSE(measuring->window()->isVisible());
    EXPECT_FALSE(entry->window()->isVisible());
    EXPECT_TRUE(menu.mainWindow()->isVisible());
    EXPECT_EQ(kit::keyWindow(), menu.mainWindow());
    EXPECT_TRUE(result.isNull());
}

TEST_F(MeasurementFlow, TransferWithoutAPadShowsE407AndStoresNothing) {
    enterPatient(QStringLiteral("P-300"));
    instrument(2);
    clock.advanceSeconds(200);
    Measurement m = measurement();
    m.second.pads.removeAt(int(cvxtest::Pad::NH3));
    sim.sendMeasurement(m);
    ASSERT_TRUE(sim.run());

    EXPECT_EQ(messages(), 1);
    EXPECT_TRUE(measuring->window()->isVisible());
    EXPECT_TRUE(result.isNull());
    const auto file = UsbUtils::getCustomerXml(QStringLiteral("P-300"));
    ASSERT_TRUE(file);  // written by patient entry
    EXPECT_TRUE(file->rootElement().elements().isEmpty());
    EXPECT_TRUE(UsbManager::sharedUsbManager().hasTestInfo());  // kept in the session
}

TEST_F(MeasurementFlow, StoreOnAFullDiskShowsE407AndLeavesThePatientFileWhole) {
    enterPatient(QStringLiteral("P-350"));
    const QString path = UsbUtils::getXmlPath(QStringLiteral("P-350"));
    const std::optional<QByteArray> before = cvx::FileManager::readFile(path);
    ASSERT_TRUE(before);
    instrument(2);
    clock.advanceSeconds(120);
    {
        // The patient file cannot grow: the stored result does not fit.
        const cvxtest::FileSizeLimit full(rlim_t(before->size()));
        if (!full.active()) GTEST_SKIP() << "no file size limit can be set here";
        sim.sendMeasurement(measurement());
        ASSERT_TRUE(sim.run());
    }
    EXPECT_EQ(messages(), 1);
    EXPECT_TRUE(result.isNull());
    EXPECT_EQ(cvx::FileManager::readFile(path), before);
    EXPECT_EQ(cvx::FileManager::contentsOfDirectory(UsbUtils::customerFolder()), QStringList{"P-350.xml"});
}

TEST_F(MeasurementFlow, InstrumentStatesLeadBackToEntryOrMainMenu) {
    // Switched off, started again and standing by: back to patient entry, the patient kept.
    enterPatient(QStringLiteral("P-400"));
    for (int s : {4, 0, 6}) instrument(s);
    EXPECT_FALSE(measuring->window()->isVisible());
    EXPECT_TRUE(entry->window()->isVisible());
    EXPECT_EQ(kit::keyWindow(), entry->window());
    EXPECT_TRUE(entry->btime()->isRunning());
    EXPECT_EQ(entry->userIDTextField()->text(), QStringLiteral("P-400"));

    // OK again opens a new measuring window; trouble then standby returns to entry.
    QTest::mouseClick(entry->okButton(), Qt::LeftButton);
    ASSERT_TRUE(sim.run());
    measuring = qobject_cast<TestViewController *>(entry->testViewController());
    ASSERT_TRUE(measuring);
    for (int s : {3, 1}) instrument(s);
    EXPECT_FALSE(measuring->window()->isVisible());
    EXPECT_TRUE(entry->window()->isVisible());

    // Standby, then the second standby state: back to the main menu, both windows closed.
    QTest::mouseClick(entry->okButton(), Qt::LeftButton);
    ASSERT_TRUE(sim.run());
    measuring = qobject_cast<TestViewController *>(entry->testViewController());
    ASSERT_TRUE(measuring);
    for (int s : {1, 6}) instrument(s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(measuring.isNull() || !measuring->window()->isVisible());
    EXPECT_FALSE(entry->window()->isVisible());
    EXPECT_TRUE(menu.mainWindow()->isVisible());
    EXPECT_EQ(kit::keyWindow(), menu.mainWindow());
}

}  // namespace
