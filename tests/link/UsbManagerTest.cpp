#include <QDate>
#include <QTime>

#include "link/LinkPeer.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"

using namespace linktest;

namespace {

const QByteArray kHeaderFrame =
    "\x02"
    "002001H|$^&|R||PC|||||||||\r51\x17";

TEST_F(LinkTest, ExchangesTheProgramOpensSendExactBytesOneStepPerAck) {
    UsbManager::setNowProvider([] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7, 3)); });
    const struct {
        qint64 kind;
        QByteArray messageFrame;
    } cases[] = {
        {UsbManager::SetClock,
         "\x02"
         "002002X|CONNECT\rY|CLOCK^2026$03$05$09$07$03\r34\x03"},
        {UsbManager::AskState,
         "\x02"
         "002002X|STATE\r86\x03"},
        {UsbManager::SendChartNo,
         "\x02"
         "002002X|KARTE\rY|ID^A-123\r4D\x03"},
    };
    ASSERT_EQ(kHeaderFrame.size(), 31);
    attach();
    identify();
    session().currentCustInfo().setCustomerNo("A-123");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.kind);
        transport().setClockIsChecked(false);
        ASSERT_TRUE(session().sendMessageToDevice(c.kind));
        EXPECT_EQ(transport().sessionInitiator(), 1u);
        EXPECT_EQ(transport().clockIsChecked(), c.kind == UsbManager::SetClock);
        EXPECT_EQ(sent(), QList<QByteArray>{control(ENQ)});
        feed(control(ACK));
        EXPECT_EQ(sent(), QList<QByteArray>{kHeaderFrame});
        feed(control(ACK));
        EXPECT_EQ(sent(), QList<QByteArray>{c.messageFrame});
        feed(control(ACK));
        EXPECT_EQ(sent(), QList<QByteArray>{control(EOT)});
        // No retries and no timers, but a further ACK gets EOT again.
        feed(control(ACK));
        EXPECT_EQ(sent(), QList<QByteArray>{control(EOT)});
        feed(control(EOT));
        EXPECT_EQ(transport().sessionInitiator(), 0u);
        EXPECT_TRUE(sent().isEmpty());
    }
    const QString log = commLog();
    EXPECT_TRUE(log.contains("----- (TxD)------\r\n<STX>002002X|STATE<CR>86<ETX>")) << qPrintable(log);
    EXPECT_TRUE(log.contains("----- (TxD)------\r\n<ENQ>"));
}

TEST_F(LinkTest, ClockMessageUsesTheApplicationCalendar) {
    EXPECT_EQ(UsbManager::currentDateMessage(QDateTime(QDate(987, 12, 31), QTime(23, 59, 59))),
              "002002X|CONNECT\rY|CLOCK^987$12$31$23$59$59");
    UsbManager::setNowProvider([] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7, 3)); });
    EXPECT_TRUE(session().getCurrentDate().endsWith("CLOCK^2026$03$05$09$07$03"));
}

TEST_F(LinkTest, ChartNumberWithAControlCharacterIsNotSent) {
    attach();
    ASSERT_TRUE(session().sendMessageToDevice(UsbManager::AskState));
    sent();
    feed(control(EOT));
    for (const QString &chartNo : {QString("A\r1"), QString("A\x01"), QString("B") + QChar(0x7F)}) {
        session().currentCustInfo().setCustomerNo(chartNo);
        EXPECT_FALSE(session().sendMessageToDevice(UsbManager::SendChartNo));
        EXPECT_TRUE(sent().isEmpty());
        EXPECT_EQ(session().sendMessage(), "002002X|STATE");
        EXPECT_EQ(transport().sessionInitiator(), 0u);
    }
}

TEST_F(LinkTest, UnknownKindResendsThePreviousMessage) {
    attach();
    identify();
    session().sendMessageToDevice(UsbManager::AskState);
    session().sendMessageToDevice(7);
    EXPECT_EQ(session().sendMessage(), "002002X|STATE");
    feed(control(ACK));
    feed(control(ACK));
    EXPECT_EQ(sent().last(), QByteArray("\x02"
                                        "002002X|STATE\r86\x03"));
}

TEST_F(LinkTest, InstrumentFramesAreAcknowledgedOnlyWhenWholeAndRight) {
    const QByteArray good = frame("1R|1|^^^INF12|x|\r");
    const QByteArray text = "4P|1|\xB1\xE9|\r";  // bytes above 0x7F count by their value
    const struct {
        const char *name;
        QList<QByteArray> reports;
        bool acknowledged;
    } cases[] = {
        {"whole, ETX", {good}, true},
        {"whole, ETB", {frame("2R|x|\r", ETB)}, true},
        {"high bytes", {frame(text)}, true},
        {"zero bytes inside are dropped", {QByteArray(good).insert(5, QByteArray(3, '\0'))}, true},
        {"wrong checksum", {QByteArray(good).replace(good.size() - 3, 1, "0")}, false},
        {"lower-case digits (f5)", {frame("3R|xyz|\r", ETX, true)}, false},
        {"two reports", {good.left(10), good.mid(10)}, true},
        {"three reports", {good.left(6), good.mid(6, 6), good.mid(12)}, false},
        {"only STX and ETX", {QByteArray("\x02\x03")}, false},
        {"one character",
         {QByteArray("\x02"
                     "A\x03")},
         false},
        {"digits only",
         {QByteArray("\x02"
                     "00\x03")},
         true},
    };
    attach();
    identify();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QByteArray &report : c.reports) feed(report);
        EXPECT_EQ(sent(), c.acknowledged ? QList<QByteArray>{control(ACK)} : QList<QByteArray>{});
    }
}

TEST_F(LinkTest, InTheProgramsExchangeOnlyETBEndsAContinuation) {
    attach();
    identify();
    session().sendMessageToDevice(UsbManager::AskState);
    sent();
    const QByteArray etx = frame("1R|state|\r");
    feed(etx.left(8));
    feed(etx.mid(8));
    EXPECT_TRUE(sent().isEmpty());
    const QByteArray etb = frame("1R|state|\r", ETB);
    feed(etb.left(8));
    feed(etb.mid(8));
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
    // A report that begins with ETX completes the frame whatever it ends in.
    feed(etx.left(etx.size() - 1));
    feed(control(ETX));
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
}

TEST_F(LinkTest, OnlyTheFirst64BytesOfAReportCount) {
    attach();
    identify();
    // A frame ending exactly at byte 64, then bytes beyond the report's size.
    const QByteArray whole = frame("9R|" + QByteArray(57, 'A'));
    ASSERT_EQ(whole.size(), 64);
    const QByteArray report = whole + QByteArray(36, 'Z');
    // Straight to the session: the virtual device would cut the report itself.
    session().usbhidDidRecvData(reinterpret_cast<const quint8 *>(report.constData()), report.size());
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
}

TEST_F(LinkTest, VersionGateAndIdentityCapture) {
    const struct {
        QByteArray version;
        QString versionID;
        bool accepted;
    } cases[] = {
        {"V01.10", "01.10", true},  {"V0.081", "0.081", true},  {"V0.080", "0.080", false},
        {"V.0801", ".0801", false}, {"Vabcde", "abcde", false},
    };
    attach();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.version.constData());
        transport().setVersionID(QString());
        feed(frame(identityText(c.version)));
        EXPECT_EQ(transport().versionID(), c.versionID);
        EXPECT_EQ(transport().deviceNo(), "SN0042");
        EXPECT_EQ(session().deviceMainVersion(), QString(c.version));
        EXPECT_EQ(sent(), c.accepted ? QList<QByteArray>{control(ACK)} : QList<QByteArray>{});
    }
}

TEST_F(LinkTest, IdentityIsTakenFromTheFirstGoodFrameOfEachAttachment) {
    attach();
    // Not yet identified: a right frame is not acknowledged, and one without the pieces
    // leaves the capture to the next frame.
    for (const QByteArray &text :
         {QByteArray("1H|a|\r"), QByteArray("1H|\\^&|||SA^SN1|\r"), QByteArray("1H|\\^&|||SA SN1 V01.10|\r"),
          QByteArray("1H|\\^&|||SA^SN1 V1.1|\r")}) {
        feed(frame(text));
        EXPECT_TRUE(transport().versionID().isEmpty()) << text.constData();
        EXPECT_TRUE(sent().isEmpty());
    }
    // A damaged first frame, even one whose damage reads as a closed gate, decides nothing.
    for (const QByteArray &version : {QByteArray("V01.10"), QByteArray("V00.00")}) {
        QByteArray bad = frame(identityText(version));
        bad[bad.size() - 2] = bad[bad.size() - 2] == '0' ? '1' : '0';
        feed(bad);
        EXPECT_TRUE(sent().isEmpty());
        EXPECT_TRUE(transport().versionID().isEmpty());
        EXPECT_TRUE(transport().deviceNo().isEmpty());
    }
    feed(frame(identityText()));
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
    EXPECT_EQ(transport().versionID(), "01.10");
    feed(frame("1H|\\^&|||SB^OTHER V02.20|\r"));
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
    EXPECT_EQ(transport().deviceNo(), "SN0042");

    // The next attachment starts afresh, also after an old instrument closed the gate.
    const struct {
        QByteArray first;
        QString deviceNo, versionID, mainVersion;
        bool accepted;
    } attachments[] = {
        {"1H|\\^&|||SO^OLD V0.080|\r", "OLD", "0.080", "V0.080", false},
        {"1H|\\^&|||SC^THIRD V03.30|\r", "THIRD", "03.30", "V03.30", true},
    };
    for (const auto &a : attachments) {
        SCOPED_TRACE(a.first.constData());
        hub.remove(device);
        ASSERT_TRUE(cvx::HidManager::processPendingEvents());
        device = hub.attach();
        ASSERT_TRUE(cvx::HidManager::processPendingEvents());
        EXPECT_TRUE(transport().versionID().isEmpty());
        EXPECT_TRUE(session().deviceMainVersion().isEmpty());
        feed(frame(a.first));
        EXPECT_EQ(sent(), a.accepted ? QList<QByteArray>{control(ACK)} : QList<QByteArray>{});
        EXPECT_EQ(transport().deviceNo(), a.deviceNo);
        EXPECT_EQ(transport().versionID(), a.versionID);
        EXPECT_EQ(session().deviceMainVersion(), a.mainVersion);
    }
}

TEST_F(LinkTest, InstrumentsOwnExchangeAndControlBytes) {
    attach();
    identify();
    transport().setClockIsChecked(true);
    feed(control(ENQ));
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
    feed(control(NAK));
    feed(control(ACK));  // not in an exchange of ours: nothing
    feed(QByteArray(5, '\0'));
    feed("stray text");
    EXPECT_TRUE(sent().isEmpty());
    feed(control(EOT));
    EXPECT_TRUE(sent().isEmpty());

    // ENQ of the instrument ends an exchange of ours.
    session().sendMessageToDevice(UsbManager::AskState);
    sent();
    feed(control(ENQ));
    EXPECT_EQ(transport().sessionInitiator(), 0u);
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});

    const QString log = commLog();
    EXPECT_TRUE(log.contains("<ENQ>\r\n----- (TxD)------\r\n<ACK>"));
    EXPECT_TRUE(log.contains("\r\n<NAK>\r\n"));
    // The zero-only report leaves just its heading.
    EXPECT_EQ(log.count("----- (RxD)------"), 8);
}

TEST_F(LinkTest, EndOfTransferSetsTheClockOncePerConnectionButNotWhileMeasuring) {
    UsbManager::setNowProvider([] { return QDateTime(QDate(2026, 3, 5), QTime(9, 7, 3)); });
    attach();
    identify();
    const struct {
        qint64 state;
        bool clockChecked;
        bool sendsClock;
    } cases[] = {{1, false, true}, {1, true, false}, {2, false, false}, {5, false, false}, {-1, false, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.state);
        transport().setDeviceStatus(c.state);
        transport().setClockIsChecked(c.clockChecked);
        transport().setSessionInitiator(0);
        feed(control(EOT));
        EXPECT_EQ(sent(), c.sendsClock ? QList<QByteArray>{control(ENQ)} : QList<QByteArray>{});
        EXPECT_EQ(transport().clockIsChecked(), c.clockChecked || c.sendsClock);
        if (c.sendsClock) {
            EXPECT_TRUE(session().sendMessage().contains("CLOCK^2026$03$05"));
        }
    }
}

TEST_F(LinkTest, AttachAndRemovalUpdateStateAndNotify) {
    NotificationLog notes;
    // Observers may read the transport while it is being made.
    qint64 statusSeen = 0;
    const auto id = cvx::NotificationCenter::defaultCenter().addObserver(
        usblink::kDeviceStatusChangeNotification,
        [&](const cvx::Notification &) { statusSeen = UsbHID::sharedManager().deviceStatus(); });
    session().connectHID();
    cvx::NotificationCenter::defaultCenter().removeObserver(id);
    EXPECT_EQ(statusSeen, -1);
    EXPECT_EQ(notes.entries, QStringList{"deviceStatusChangeNotification=-1"});
    EXPECT_EQ(transport().deviceStatus(), -1);
    EXPECT_EQ(transport().deviceConnectStatus(), 0);
    EXPECT_FALSE(transport().clockIsChecked());
    notes.entries.clear();

    AppDelegate::shared().setLogDataStr("/CommData_20200101.log");
    device = hub.attach();
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_EQ(notes.entries, QStringList{"deviceConnectNotification"});
    EXPECT_TRUE(session().isConnect());
    EXPECT_EQ(transport().deviceConnectStatus(), 1);
    EXPECT_EQ(AppDelegate::shared().logDataStr(), "");
    EXPECT_EQ(transport().getDeviceRef()->path(), device->path());

    transport().setDeviceStatus(1);
    transport().setDeviceStatus(1);
    transport().setClockIsChecked(true);
    hub.remove(device);
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_EQ(notes.entries, (QStringList{"deviceConnectNotification", "deviceStatusChangeNotification=1",
                                          "deviceStatusChangeNotification=1",
                                          "deviceStatusChangeNotification=-1", "deviceRemoveNotification"}));
    EXPECT_FALSE(session().isConnect());
    EXPECT_EQ(transport().deviceConnectStatus(), 0);
    EXPECT_EQ(transport().deviceStatus(), -1);
    EXPECT_FALSE(transport().clockIsChecked());
    EXPECT_EQ(transport().getDeviceRef(), nullptr);
}

TEST_F(LinkTest, MaintenanceModeIgnoresNewInstrumentsButNotRemovals) {
    NotificationLog notes;
    attach();
    const cvx::HidDevicePtr first = transport().getDeviceRef();
    MaintenanceMode::sharedMode().setMode(1);
    auto second = hub.attach();
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_EQ(transport().getDeviceRef(), first);
    second->feedInputReport(control(ENQ));
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_TRUE(second->outputReports().isEmpty());

    hub.remove(second);
    ASSERT_TRUE(cvx::HidManager::processPendingEvents());
    EXPECT_EQ(transport().getDeviceRef(), nullptr);
    EXPECT_EQ(notes.entries.count("deviceConnectNotification"), 1);
    EXPECT_EQ(notes.entries.last(), "deviceRemoveNotification");
}

TEST_F(LinkTest, WhileFirmwareIsWrittenReportsPassThroughUntouchedAndUnlogged) {
    NotificationLog notes;
    attach();
    session().setIsBurnRom(true);
    const QByteArray reports[] = {QByteArray("A\0\0B\x06", 5), control(ENQ), QByteArray(64, '\0'),
                                  frame(identityText())};
    for (const QByteArray &r : reports) feed(r);
    EXPECT_EQ(notes.rawReports, QList<QByteArray>(std::begin(reports), std::end(reports)));
    EXPECT_TRUE(sent().isEmpty());
    EXPECT_TRUE(transport().versionID().isEmpty());
    EXPECT_EQ(commLog(), "");

    // The writer sends through the transport.
    const QByteArray written("W\0\x01", 3);
    transport().senddata(written);
    EXPECT_EQ(sent(), QList<QByteArray>{written});
    session().setIsBurnRom(false);
    feed(control(ENQ));
    EXPECT_EQ(sent(), QList<QByteArray>{control(ACK)});
}

TEST_F(LinkTest, DisplayVersionStartsTheComparisonUnlessTheUpdateViewShows) {
    NotificationLog notes;
    bool showing = false;
    UsbManager::setIsUpdateViewShowing([&] { return showing; });
    const struct {
        QString version;
        bool showing;
        bool posts;
    } cases[] = {{"1.02", false, true},
                 {"unknown", false, true},
                 {"", false, false},
                 {QString(), false, false},
                 {"1.02", true, false}};
    for (const auto &c : cases) {
        notes.entries.clear();
        showing = c.showing;
        session().setDeviceDispVersion(c.version);
        EXPECT_EQ(session().deviceDispVersion(), c.version);
        EXPECT_EQ(notes.entries, c.posts ? QStringList{"UpdateSystem"} : QStringList{})
            << qPrintable(c.version);
    }
}

TEST_F(LinkTest, CarriedFirmwareVersionsComeFromTheInstalledReader) {
    UsbUtils::parseFileVersion();
    EXPECT_TRUE(session().pcMainVersion().isNull());
    EXPECT_TRUE(session().pcDispVersion().isNull());
    UsbManager::setFirmwareVersionReader([] { return std::optional<UsbManager::FirmwareVersions>(); });
    UsbUtils::parseFileVersion();
    EXPECT_TRUE(session().pcMainVersion().isNull());
    UsbManager::setFirmwareVersionReader([] { return UsbManager::FirmwareVersions{"M1.00", "D2.00"}; });
    UsbUtils::parseFileVersion();
    EXPECT_EQ(session().pcMainVersion(), "M1.00");
    EXPECT_EQ(session().pcDispVersion(), "D2.00");
}

TEST(LinkChecksum, HexDigits) {
    const struct {
        qint64 number;
        qint16 size;
        QString hex;
    } cases[] = {{0, 1, "0"}, {10, 1, "A"}, {15, 1, "F"}, {255, 1, "F"}, {10, 2, "0A"}, {0x1234, 0, "1234"}};
    for (const auto &c : cases) EXPECT_EQ(UsbUtils::sNumToHex(c.number, c.size), c.hex) << c.number;
}

}  // namespace
