// The link against the instrument simulator: whole exchanges both ways.
#include <gtest/gtest.h>

#include <QDate>
#include <QTime>

#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/HidManager.h"
#include "support/InstrumentSimulator.h"

namespace {

using cvxtest::InstrumentSimulator;

class LinkSimulator : public testing::Test {
protected:
    LinkSimulator() {
        UsbManager::setNowProvider([] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7, 3)); });
        UsbManager::sharedUsbManager().connectHID();
        sim.attach();
        EXPECT_TRUE(sim.run());
    }
    ~LinkSimulator() override {
        sim.detach();
        cvx::HidManager::processPendingEvents();
        UsbManager::resetSharedForTesting();
        UsbManager::setNowProvider({});
    }
    static UsbManager &session() { return UsbManager::sharedUsbManager(); }
    static UsbHID &transport() { return UsbHID::sharedManager(); }

    InstrumentSimulator sim;
};

TEST_F(LinkSimulator, ProgramsExchangesReachTheInstrument) {
    ASSERT_EQ(transport().deviceConnectStatus(), 1);
    session().sendMessageToDevice(UsbManager::AskState);
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.stateRequests(), 1);
    // The state reply came in the instrument's own exchange, headed by its identity.
    EXPECT_EQ(sim.unacknowledgedFrames(), 0);
    EXPECT_GE(sim.sentFrames().size(), 2);
    EXPECT_EQ(transport().deviceNo(), "12345678");
    EXPECT_EQ(transport().versionID(), "01.00");
    EXPECT_EQ(session().deviceMainVersion(), "V01.00");

    session().currentCustInfo().setCustomerNo("A-123");
    session().sendMessageToDevice(UsbManager::SendChartNo);
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.chartNo(), "A-123");
    for (const auto &request : sim.requests()) EXPECT_TRUE(request.checksumOk()) << request.text.constData();
}

TEST_F(LinkSimulator, EndOfTheInstrumentsTransferSetsItsClockOnce) {
    transport().setDeviceStatus(1);
    sim.sendConnect();
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.clock(), "2026$03$05$09$07$03");
    EXPECT_TRUE(transport().clockIsChecked());
    sim.clearHistory();
    sim.sendConnect();
    ASSERT_TRUE(sim.run());
    EXPECT_TRUE(sim.requests().isEmpty());
}

TEST_F(LinkSimulator, FaultyFramesGoUnacknowledged) {
    const struct {
        const char *name;
        InstrumentSimulator::Faults faults;
        bool acknowledged;
    } cases[] = {
        {"plain", {}, true},
        {"zero bytes inside", {.zeroBytes = true}, true},
        {"zero padding", {.zeroPadding = true}, true},
        {"two reports per frame", {.reportsPerFrame = 2}, true},
        {"three reports per frame", {.reportsPerFrame = 3}, false},
        {"wrong checksum", {.wrongChecksum = true}, false},
        {"lower-case checksum", {.lowerCaseChecksum = true}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearHistory();
        sim.setFaults(c.faults);
        sim.sendMeasurement(cvxtest::Measurement{});
        ASSERT_TRUE(sim.run());
        ASSERT_FALSE(sim.sentFrames().isEmpty());
        if (c.acknowledged) {
            EXPECT_EQ(sim.unacknowledgedFrames(), 0);
            EXPECT_TRUE(sim.isIdle());
        } else {
            EXPECT_EQ(sim.unacknowledgedFrames(), 1);
            while (!sim.isIdle()) {
                sim.timeout();
                ASSERT_TRUE(sim.run());
            }
        }
    }
}

// A corrupted first frame whose damage reads as an old version must not close the gate, and
// every attachment takes the identity of the instrument now attached.
TEST_F(LinkSimulator, IdentityComesFromAGoodFrameOfTheInstrumentNowAttached) {
    sim.detach();
    ASSERT_TRUE(sim.run());
    sim.setIdentity({"DAMAGED", "V00.00"});
    sim.setFaults({.wrongChecksum = true});
    sim.attach();
    sim.sendState(1, "V1.00");
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.unacknowledgedFrames(), 1);
    while (!sim.isIdle()) {
        sim.timeout();
        ASSERT_TRUE(sim.run());
    }
    EXPECT_TRUE(transport().versionID().isEmpty());

    const InstrumentSimulator::Identity identities[] = {{"11111111", "V01.00"}, {"22222222", "V02.50"}};
    for (const auto &identity : identities) {
        SCOPED_TRACE(identity.serial.toStdString());
        sim.detach();
        ASSERT_TRUE(sim.run());
        sim.clearHistory();
        sim.setFaults({});
        sim.setIdentity(identity);
        sim.attach();
        sim.sendState(1, "V1.00");
        ASSERT_TRUE(sim.run());
        EXPECT_EQ(sim.unacknowledgedFrames(), 0);
        EXPECT_EQ(transport().deviceNo(), identity.serial);
        EXPECT_EQ(session().deviceMainVersion(), identity.mainVersion);
        EXPECT_EQ(transport().deviceStatus(), 1);
    }
}

}  // namespace
