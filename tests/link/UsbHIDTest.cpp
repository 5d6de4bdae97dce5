#include "link/LinkPeer.h"

using namespace linktest;

namespace {

TEST_F(LinkTest, SenddataSendsTheTextWithoutItsNulAndNothingWithoutADevice) {
    transport().senddata("ABC");
    attach();
    EXPECT_TRUE(sent().isEmpty());
    transport().senddata("ABC");
    transport().senddata("");
    EXPECT_EQ(sent(), (QList<QByteArray>{"ABC", ""}));
}

TEST_F(LinkTest, ConnectHIDTakesAnAlreadyAttachedInstrumentSilently) {
    NotificationLog notes;
    device = hub.attach();
    session().connectHID();
    EXPECT_EQ(transport().getDeviceRef()->path(), device->path());
    EXPECT_EQ(notes.entries, QStringList{"deviceStatusChangeNotification=-1"});
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_EQ(notes.entries.last(), "deviceConnectNotification");
}

TEST_F(LinkTest, ManagerThatCannotOpenShowsTheAlertAndFindsNothing) {
    QStringList alerts;
    UsbHID::setOpenFailureAlert([&](const QString &m, const QString &i) { alerts << m << i; });
    hub.setManagerOpenResult(cvx::HidResult::AccessDenied);
    session().connectHID();
    EXPECT_EQ(alerts, (QStringList{"error", "打开设备失败!"}));
    hub.attach();
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_EQ(transport().getDeviceRef(), nullptr);
    EXPECT_EQ(transport().deviceConnectStatus(), 0);
    UsbHID::setOpenFailureAlert({});
}

}  // namespace
