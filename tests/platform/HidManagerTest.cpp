#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <thread>

#include "platform/HidManager.h"
#include "platform/VirtualHidDevice.h"

using cvx::HidDevicePtr;
using cvx::HidManager;
using cvx::HidResult;
using cvx::VirtualHidHub;

namespace {

QByteArray bytes(std::span<const quint8> report) {
    return QByteArray(reinterpret_cast<const char *>(report.data()), qsizetype(report.size()));
}

// A manager for the instrument whose callbacks write one line each into `events`.
struct Recorder {
    std::unique_ptr<HidManager> manager = HidManager::create();
    QStringList events;
    QList<QByteArray> reports;
    HidDevicePtr matched;
    HidDevicePtr removed;
    bool offMainThread = false;

    Recorder() {
        manager->setDeviceMatchingCallback([this](const HidDevicePtr &device) {
            events << "match " + device->path();
            matched = device;
            device->setInputReportCallback([this](std::span<const quint8> report) {
                offMainThread |= QThread::currentThread() != qApp->thread();
                events << QStringLiteral("report %1").arg(report.size());
                reports << bytes(report);
            });
        });
        manager->setDeviceRemovalCallback([this](const HidDevicePtr &device) {
            events << "remove " + device->path();
            removed = device;
        });
        manager->setOpenFailureCallback([this](const cvx::HidDeviceInfo &device, HidResult result) {
            events << QStringLiteral("failed %1 %2").arg(device.path, cvx::hidResultName(result));
        });
    }
    void open() {
        ASSERT_EQ(manager->open(), HidResult::Ok);
        manager->setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
    }
};

class VirtualHid : public testing::Test {
protected:
    VirtualHid() : hub(VirtualHidHub::install()) { hub.setManagerOpenResult(HidResult::Ok); }
    ~VirtualHid() override {
        hub.removeAll();
        HidManager::processPendingEvents();
    }
    VirtualHidHub &hub;
};

TEST_F(VirtualHid, AttachFeedSendRemoveEndToEnd) {
    Recorder r;
    r.open();
    auto device = hub.attach();
    // Listed at once; the callback comes through the event loop.
    ASSERT_EQ(r.manager->devices().size(), 1);
    EXPECT_TRUE(r.events.isEmpty());
    ASSERT_TRUE(HidManager::processPendingEvents());
    ASSERT_EQ(r.events, QStringList{"match " + device->path()});
    ASSERT_EQ(r.matched, r.manager->devices().first());
    EXPECT_EQ(r.matched->vendorId(), 0x3A9D);
    EXPECT_EQ(r.matched->productId(), 0x001A);

    const QByteArray long70 = QByteArray(70, 'x');
    const struct {
        QByteArray fed;
        QByteArray expected;
    } inputs[] = {
        {QByteArray("\x02"
                    "ABC\x03",
                    5),
         QByteArray("\x02"
                    "ABC\x03",
                    5)},
        {QByteArray("\x00\x06\x00\x00", 4), QByteArray("\x00\x06\x00\x00", 4)},  // zeros kept, real length
        {QByteArray(64, '\x7f'), QByteArray(64, '\x7f')},
        {long70, long70.left(64)},  // cut to the 64-byte buffer
    };
    for (const auto &in : inputs) device->feedInputReport(in.fed);
    ASSERT_TRUE(HidManager::processPendingEvents());
    ASSERT_EQ(r.reports.size(), 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(r.reports[i], inputs[i].expected) << i;
    EXPECT_FALSE(r.offMainThread);

    const QList<QByteArray> outputs = {QByteArray("\x05"), QByteArray("\x02\x00\x17", 3), QByteArray(),
                                       QByteArray(100, 'k')};
    for (const QByteArray &out : outputs) EXPECT_EQ(r.matched->sendOutputReport(out), HidResult::Ok);
    EXPECT_EQ(device->takeOutputReports(), outputs);

    // A report fed just before the unplug still arrives, ahead of the removal.
    r.events.clear();
    device->feedInputReport("\x04");
    hub.remove(device);
    EXPECT_FALSE(device->isAttached());
    EXPECT_TRUE(r.manager->devices().isEmpty());
    EXPECT_EQ(r.matched->sendOutputReport(QByteArray("\x05")), HidResult::DeviceGone);
    device->feedInputReport("\x04");
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.events, (QStringList{"report 1", "remove " + device->path()}));
    EXPECT_EQ(r.removed, r.matched);
    EXPECT_FALSE(r.matched->isOpen());
    EXPECT_TRUE(device->outputReports().isEmpty());
    r.matched->close();
    r.matched->close();
    EXPECT_EQ(r.matched->sendOutputReport(QByteArray("\x05")), HidResult::NotOpen);
}

TEST_F(VirtualHid, MatchesOnlyTheInstrumentIncludingDevicesPresentAtOpen) {
    auto before = hub.attach();
    auto other = hub.attach(0x3A9D, 0x001B);
    Recorder r;
    r.open();
    EXPECT_EQ(r.manager->devices().size(), 1);
    auto after = hub.attach();
    hub.attach(0x1234, 0x001A);
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.events, (QStringList{"match " + before->path(), "match " + after->path()}));

    // Re-matching drops what no longer matches and takes up what now does.
    r.events.clear();
    r.manager->setDeviceMatching(0x3A9D, 0x001B);
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.events,
              (QStringList{"remove " + before->path(), "remove " + after->path(), "match " + other->path()}));

    // Plugged and pulled before the loop ran: both are told, in order.
    r.events.clear();
    auto brief = hub.attach(0x3A9D, 0x001B);
    hub.remove(brief);
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.events, (QStringList{"match " + brief->path(), "remove " + brief->path()}));
    EXPECT_FALSE(r.matched->isOpen());
}

TEST_F(VirtualHid, OpenFailuresAreReportedNotMatched) {
    hub.setManagerOpenResult(HidResult::Failed);
    Recorder failing;
    EXPECT_EQ(failing.manager->open(), HidResult::Failed);
    EXPECT_FALSE(failing.manager->isOpen());
    hub.setManagerOpenResult(HidResult::Ok);

    auto denied = hub.attach();
    denied->setOpenResult(HidResult::AccessDenied);
    Recorder r;
    r.open();
    EXPECT_TRUE(r.manager->devices().isEmpty());
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.events, QStringList{"failed " + denied->path() + " access denied"});
}

TEST_F(VirtualHid, NothingArrivesAfterClose) {
    Recorder r;
    r.open();
    auto device = hub.attach();
    ASSERT_TRUE(HidManager::processPendingEvents());
    device->feedInputReport("\x06");
    r.manager->close();
    hub.remove(device);
    auto another = hub.attach();
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.events, QStringList{"match " + device->path()});
    EXPECT_TRUE(r.manager->devices().isEmpty());
    EXPECT_EQ(r.matched->sendOutputReport(QByteArray("\x05")), HidResult::NotOpen);
    r.manager->close();

    // Closing one device drops its pending reports; its removal is still told.
    Recorder s;
    s.open();
    ASSERT_TRUE(HidManager::processPendingEvents());
    ASSERT_TRUE(s.matched);
    another->feedInputReport("\x06");
    s.matched->close();
    hub.remove(another);
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(s.events, (QStringList{"match " + another->path(), "remove " + another->path()}));
}

TEST_F(VirtualHid, CallbacksMayDestroyTheManager) {
    auto r = std::make_unique<Recorder>();
    r->open();
    QStringList events;
    r->manager->setDeviceRemovalCallback([&](const HidDevicePtr &device) {
        events << "remove " + device->path();
        r.reset();
    });
    auto first = hub.attach();
    auto second = hub.attach();
    ASSERT_TRUE(HidManager::processPendingEvents());
    hub.removeAll();
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(events, QStringList{"remove " + first->path()});
}

TEST_F(VirtualHid, SendFaultsAreReturnedAndNothingIsTaken) {
    Recorder r;
    r.open();
    auto device = hub.attach();
    ASSERT_TRUE(HidManager::processPendingEvents());
    for (HidResult fault : {HidResult::ShortWrite, HidResult::Failed, HidResult::AccessDenied}) {
        device->setOutputResult(fault);
        EXPECT_EQ(r.matched->sendOutputReport(QByteArray("\x05")), fault);
    }
    EXPECT_TRUE(device->outputReports().isEmpty());
    EXPECT_TRUE(r.matched->isOpen());
}

TEST_F(VirtualHid, SimulatorAnswersFromTheOutputHandler) {
    Recorder r;
    r.open();
    auto device = hub.attach();
    ASSERT_TRUE(HidManager::processPendingEvents());
    // Echo every report back with its first byte raised, and the host answers every
    // report until the byte reaches 5: the exchange runs to its end inside one call.
    device->setOutputHandler([device](const QByteArray &report) {
        QByteArray answer = report;
        answer[0] = char(answer[0] + 1);
        device->feedInputReport(answer);
    });
    r.matched->setInputReportCallback([&](std::span<const quint8> report) {
        r.reports << bytes(report);
        if (report[0] < 5) r.matched->sendOutputReport(bytes(report));
    });
    r.matched->sendOutputReport(QByteArray("\x01"));
    ASSERT_TRUE(HidManager::processPendingEvents());
    EXPECT_EQ(r.reports, (QList<QByteArray>{"\x02", "\x03", "\x04", "\x05"}));
    EXPECT_EQ(device->outputReports(), (QList<QByteArray>{"\x01", "\x02", "\x03", "\x04"}));
}

TEST_F(VirtualHid, ReportsFedFromAnotherThreadArriveOnTheMainThread) {
    Recorder r;
    r.open();
    auto device = hub.attach();
    ASSERT_TRUE(HidManager::processPendingEvents());
    std::thread feeder([device] {
        for (char i = 1; i <= 20; ++i) device->feedInputReport(QByteArray(1, i));
    });
    feeder.join();
    ASSERT_TRUE(HidManager::processPendingEvents());
    ASSERT_EQ(r.reports.size(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(r.reports[i], QByteArray(1, char(i + 1)));
    EXPECT_FALSE(r.offMainThread);
}

TEST_F(VirtualHid, CreatePicksTheVirtualBackendOnlyWhileInstalled) {
    VirtualHidHub::uninstall();
    auto real = HidManager::create();
    VirtualHidHub::install();
    auto virtualOne = HidManager::create();
    hub.attach();
    ASSERT_EQ(virtualOne->open(), HidResult::Ok);
    virtualOne->setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
    EXPECT_EQ(virtualOne->devices().size(), 1);
    if (real->open() == HidResult::Ok) {
        real->setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
        for (const HidDevicePtr &device : real->devices()) EXPECT_FALSE(device->path().startsWith("virtual"));
    }
}

}  // namespace
