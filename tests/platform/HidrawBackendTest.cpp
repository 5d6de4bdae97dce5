#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>

#include "platform/HidrawBackend.h"

using cvx::HidDevicePtr;
using cvx::HidManager;
using cvx::HidrawManager;
using cvx::HidResult;

namespace {

const cvx::HidDeviceInfo kInstrument{"/dev/hidraw-test", cvx::kInstrumentVendorId, cvx::kInstrumentProductId};

// A manager that found nothing on this machine (no instrument is ever plugged into a test
// host), or that is not open when udev is unavailable.
class Hidraw : public testing::Test {
protected:
    void SetUp() override {
        manager.setDeviceMatchingCallback([this](const HidDevicePtr &device) {
            matched = device;
            device->setInputReportCallback([this](std::span<const quint8> report) {
                reports << QByteArray(reinterpret_cast<const char *>(report.data()),
                                      qsizetype(report.size()));
            });
        });
        manager.setDeviceRemovalCallback([this](const HidDevicePtr &device) { removed = device; });
        if (manager.open() != HidResult::Ok) GTEST_SKIP() << "no udev here";
        manager.setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
    }

    // The socket pair keeps packet boundaries, as hidraw keeps reports: `peer` plays the
    // instrument's side of the node.
    void plugStandIn() {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds), 0);
        peer = fds[1];
        ASSERT_TRUE(manager.adoptDescriptor(kInstrument, fds[0]));
        ASSERT_TRUE(HidManager::processPendingEvents());
        ASSERT_TRUE(matched);
    }
    // Waits for the notifier to pick up what the peer wrote.
    void pump() {
        for (int i = 0; i < 50 && reports.size() < expected; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            HidManager::processPendingEvents();
        }
    }
    QByteArray readPeer() {
        char buffer[256];
        const ssize_t n = ::read(peer, buffer, sizeof buffer);
        return n < 0 ? QByteArray("<none>") : QByteArray(buffer, n);
    }

    ~Hidraw() override {
        if (peer >= 0) ::close(peer);
    }

    HidrawManager manager;
    HidDevicePtr matched;
    HidDevicePtr removed;
    QList<QByteArray> reports;
    int expected = 0;
    int peer = -1;
};

TEST_F(Hidraw, FindsNothingAndStartsAndStopsCleanly) {
    EXPECT_TRUE(manager.isMonitoring());
    EXPECT_TRUE(manager.devices().isEmpty());
    manager.close();
    EXPECT_FALSE(manager.isMonitoring());
    manager.close();
    ASSERT_EQ(manager.open(), HidResult::Ok);
    EXPECT_TRUE(manager.isMonitoring());
    EXPECT_TRUE(HidManager::processPendingEvents());
    EXPECT_FALSE(matched);
}

TEST_F(Hidraw, ReadsReportsWithTheirLengthAndWritesWithReportIdZero) {
    plugStandIn();
    const QList<QByteArray> sent = {QByteArray("\x02"
                                               "CONNECT\x03"),
                                    QByteArray("\x00\x06\x00", 3), QByteArray(64, 'a'), QByteArray(80, 'b')};
    for (const QByteArray &report : sent)
        ASSERT_EQ(::write(peer, report.constData(), report.size()), report.size());
    expected = sent.size();
    pump();
    EXPECT_EQ(reports, (QList<QByteArray>{sent[0], sent[1], sent[2], QByteArray(64, 'b')}));

    EXPECT_EQ(matched->sendOutputReport(QByteArray("\x05")), HidResult::Ok);
    EXPECT_EQ(readPeer(), QByteArray("\x00\x05", 2));
    EXPECT_EQ(matched->sendOutputReport(QByteArray(100, 'z')), HidResult::Ok);
    EXPECT_EQ(readPeer(), QByteArray(1, '\0') + QByteArray(100, 'z'));
}

TEST_F(Hidraw, UnplugTearsTheDeviceDownOnce) {
    plugStandIn();
    ASSERT_EQ(::write(peer, "\x04", 1), 1);
    ::close(peer);
    peer = -1;
    expected = 1;
    for (int i = 0; i < 50 && !removed; ++i) pump();
    EXPECT_EQ(reports, QList<QByteArray>{"\x04"});
    ASSERT_EQ(removed, matched);
    EXPECT_FALSE(matched->isOpen());
    EXPECT_TRUE(manager.devices().isEmpty());
    EXPECT_EQ(matched->sendOutputReport(QByteArray("\x05")), HidResult::DeviceGone);
    removed.reset();
    manager.close();
    manager.close();
    EXPECT_TRUE(HidManager::processPendingEvents());
    EXPECT_FALSE(removed);
}

TEST_F(Hidraw, RefusedDescriptorsAreClosedAndHandlesOutliveTheManager) {
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, fds), 0);
    EXPECT_FALSE(manager.adoptDescriptor({"/dev/hidraw-other", 0x1234, 0x5678}, fds[0]));
    char byte;
    EXPECT_EQ(::read(fds[1], &byte, 1), 0);  // our end was closed
    ::close(fds[1]);

    plugStandIn();
    HidDevicePtr kept = matched;
    manager.close();
    EXPECT_FALSE(kept->isOpen());
    EXPECT_EQ(kept->sendOutputReport(QByteArray("\x05")), HidResult::NotOpen);
    EXPECT_EQ(readPeer(), QByteArray());  // closed by the manager: end of file for the peer
}

}  // namespace
