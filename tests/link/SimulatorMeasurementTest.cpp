// Whole measurements from the simulated instrument into the session's records.
#include <gtest/gtest.h>

#include <QFile>

#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "support/SimulatedLink.h"

using namespace cvxtest;

namespace {

class SimulatorMeasurement : public testing::Test {
protected:
    SimulatorMeasurement() {
        saved_ = cvx::NotificationCenter::defaultCenter().addObserver(
            usblink::kTestDataSaved, [this](const cvx::Notification &) { ++savedCount; });
    }
    ~SimulatorMeasurement() override { cvx::NotificationCenter::defaultCenter().removeObserver(saved_); }
    static UsbManager &session() { return UsbManager::sharedUsbManager(); }

    // Every frame of the instrument was acknowledged, and every frame of the program had
    // a right checksum.
    void expectCleanExchanges() {
        EXPECT_FALSE(sim.sentFrames().isEmpty());
        EXPECT_EQ(sim.unacknowledgedFrames(), 0);
        EXPECT_TRUE(sim.isIdle());
        for (const Frame &request : sim.requests()) EXPECT_TRUE(request.checksumOk()) << request.text.data();
    }

    SimulatedLink link;
    InstrumentSimulator &sim = link.sim;
    int savedCount = 0;

private:
    cvx::NotificationCenter::ObserverId saved_ = 0;
};

TEST_F(SimulatorMeasurement, TwoPassesOfEitherGenerationReachTheSession) {
    const struct {
        Measurement::Generation generation;
        const char *leu;
        bool old;
    } cases[] = {
        {Measurement::Generation::Current, "I_LEU", false},
        {Measurement::Generation::Older, "LEU", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.leu);
        sim.clearHistory();
        savedCount = 0;
        Measurement m(c.generation);
        m.chartNo = "A-123";
        m.setReflectance(Pad::LEU, "333");
        m.pad(1, Pad::MS).dark = "7";
        m.second.white = {"4001", "4002", "4003"};
        sim.sendMeasurement(m);
        ASSERT_TRUE(sim.run());

        expectCleanExchanges();
        EXPECT_EQ(sim.sentFrames().size(), 28);
        EXPECT_EQ(UsbHID::sharedManager().deviceStatus(), 2);
        EXPECT_EQ(savedCount, 1);
        ASSERT_TRUE(session().hasTestInfo());
        const TYTestInfo &info = session().testInfo();
        EXPECT_EQ(info.userID(), "A-123");
        for (const TYEachTest *pass : {&info.firstTest(), &info.secondTest()}) {
            EXPECT_EQ(pass->leuTestData().tyName(), c.leu);
            EXPECT_EQ(pass->leuTestData().isOldData(), c.old);
            EXPECT_EQ(pass->leuTestData().tyRefTempBefor(), "333");
            EXPECT_EQ(pass->calTestData().tyName(), "[Cal]");
            EXPECT_EQ(pass->bfcTestData().tyReference760(), "5012");
        }
        EXPECT_EQ(info.firstTest().tyCount(), "0");
        EXPECT_EQ(info.secondTest().tyCount(), "1");
        EXPECT_EQ(info.firstTest().tyTemp(), "251");
        EXPECT_EQ(info.secondTest().tyTemp(), "254");
        EXPECT_EQ(info.secondTest().tyData(), "2026-03-05");
        EXPECT_EQ(info.secondTest().tyTime(), "09:08");
        EXPECT_EQ(info.secondTest().msTestData().tyDark(), "7");
        EXPECT_EQ(info.firstTest().msTestData().tyDark(), "12");
        EXPECT_EQ(info.secondTest().tyWhite760(), "4003");
        EXPECT_EQ(info.firstTest().tyWhite760(), "5120");
        session().setTestInfo(nullptr);  // as the measuring window does after storing it
    }
}

TEST_F(SimulatorMeasurement, MeasurementCarriesTheChartNumberTheProgramAnnounced) {
    session().currentCustInfo().setCustomerNo("P-77");
    session().sendMessageToDevice(UsbManager::SendChartNo);
    sim.sendMeasurement(Measurement{});
    ASSERT_TRUE(sim.run());
    expectCleanExchanges();
    EXPECT_EQ(session().testInfo().userID(), "P-77");
}

TEST_F(SimulatorMeasurement, CheckMeasurementFillsTheCheckList) {
    Measurement m;
    m.state = 5;  // no window waits; the link stores the check result when the transfer ends
    sim.sendCheckMeasurement(m);
    ASSERT_TRUE(sim.run());
    expectCleanExchanges();
    // Stored and cleared at the end of the transfer.
    EXPECT_FALSE(session().isCheck());
    EXPECT_TRUE(session().testInfo().secondTest().checkArray().isEmpty());
    EXPECT_EQ(session().testInfo().secondTest().tyType(), "1");
    EXPECT_EQ(savedCount, 0);

    // One check line: 11 fields and 25 per pad record.
    QFile file(cvx::FileManager::homeDirectory() + "/.Corvadenix/Customer/Check_Measure_Result.xml");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray xml = file.readAll();
    const qsizetype begin = xml.indexOf("<RsvData>");
    ASSERT_GE(begin, 0) << xml.constData();
    const QByteArray line = xml.mid(begin, xml.indexOf("</RsvData>") - begin);
    EXPECT_EQ(line.count(',') + 1, 11 + 25 * kPadCount);
    EXPECT_TRUE(line.startsWith("<RsvData>12345678:V01.00,2026-03-05,09:08,0001,25.4 ")) << line.constData();
}

}  // namespace
