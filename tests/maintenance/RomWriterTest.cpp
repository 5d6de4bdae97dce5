#include <gtest/gtest.h>

#include <QFile>
#include <QtEndian>

#include "FirmwareFixture.h"
#include "link/MaintenanceMode.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/RomWriter.h"
#include "platform/HidManager.h"
#include "platform/VirtualHidDevice.h"
#include "records/BBInitDatas.h"
#include "support/FileSizeLimit.h"
#include "support/RomSimulator.h"

namespace {

using firmwaretest::lines;
using firmwaretest::readAll;

QByteArray command(char letter) {
    QByteArray frame("\x02");
    frame.append(letter).append('\x03');
    if (letter != 'S') frame.append(char(quint8(letter) + 3));
    return frame;
}

QByteArray withSum(QByteArray bytes) {
    quint8 sum = 0;
    for (char b : bytes) sum += quint8(b);
    return bytes.append(char(sum));
}

QByteArray params(const QList<quint32> &addresses) {
    QByteArray bytes;
    for (quint32 a : addresses) {
        uchar be[4];
        qToBigEndian(a, be);
        bytes.append(reinterpret_cast<const char *>(be), 4);
    }
    return withSum(bytes);
}

QList<QByteArray> dataFrames(const QList<QByteArray> &fileLines) {
    QList<QByteArray> frames;
    for (const QByteArray &line : fileLines) frames.append(withSum(QByteArray::fromHex(line)));
    return frames;
}

// The carried firmware's version areas: begin and end of each.
const QList<quint32> kVersionAreas{0x10000, 0x1002F, 0x20000, 0x2002F};

// What the carried firmware must put on the link, frame by frame.
QList<QByteArray> expectedFrames(const QList<quint32> &versionAreas = kVersionAreas) {
    const QList<QByteArray> main = firmwaretest::section(lines(readAll(":/USB/Data/MAIN.DAT")),
                                                         "/* ROM-DAT START */", "/* ROM-DAT END */");
    QList<QByteArray> frames{command('S'), command('B'), command('P'), params(versionAreas), command('W')};
    frames += dataFrames(lines(readAll(":/USB/Data/WRTPRG.DAT")));
    frames +=
        {command('S'), command('E'), params({0x10000, 0x1FFFF}), command('T'), params({0x10000, 0x1FFFF})};
    frames += dataFrames(main);
    frames += {command('E'), params({0x20000, 0x2FFFF}), command('T'), params({0x20000, 0x2FFFF})};
    frames += dataFrames(lines(readAll(":/USB/Data/DISP.DAT")));
    frames += command('Q');
    return frames;
}

class RomWriterTest : public firmwaretest::FirmwareTest {
protected:
    RomWriterTest() {
        RomWriter::setTimingsForTesting(20, 400, 400);
        cvx::VirtualHidHub::install();  // before the link's transport is made
        UsbManager::sharedUsbManager().connectHID();
        writer.observeLink();
        writer.initUpdateSystemInfo();
    }
    ~RomWriterTest() override {
        RomWriter::setTimingsForTesting(-1, -1, -1);
        MaintenanceMode::sharedMode().setMode(0);
    }

    bool runUntilEnd(cvxtest::RomSimulator &rom) {
        return rom.runUntil([&] { return rom.sawQuit() || !alerts.isEmpty(); });
    }

    QString errorLog() const { return QString::fromUtf8(readAll(QDir::home().filePath("Error.txt"))); }

    RomWriter writer;
};

TEST_F(RomWriterTest, WritesTheCarriedFirmwareFrameByFrame) {
    const QByteArray carriedAreas =
        "\"VersionAreaCount\",\"2\"\r\n\"VersionArea1\",\"&H00010000,&H0001002F\"\r\n"
        "\"VersionArea2\",\"&H00020000,&H0002002F\"\r\n";
    const QByteArray fileInf = get("USB/FileInf.txt");
    ASSERT_TRUE(fileInf.contains(carriedAreas));
    for (const auto &[areas, padded] : {std::pair{2, true}, std::pair{2, false}, std::pair{1, true},
                                        std::pair{1, false}, std::pair{3, true}, std::pair{3, false}}) {
        SCOPED_TRACE(QStringLiteral("%1 version areas, %2")
                         .arg(areas)
                         .arg(padded ? "zero-padded reports" : "reports of the reply's length")
                         .toStdString());
        QByteArray description = "\"VersionAreaCount\"," + QByteArray::number(areas) + "\r\n";
        QList<quint32> versionAreas;
        for (quint32 n = 1; n <= quint32(areas); ++n) {
            description += "\"VersionArea" + QByteArray::number(n) + "\",\"&H000" + QByteArray::number(n) +
                           "0000,&H000" + QByteArray::number(n) + "002F\"\r\n";
            versionAreas << (n << 16) << ((n << 16) | 0x2F);
        }
        put("USB/FileInf.txt", QByteArray(fileInf).replace(carriedAreas, description));
        alerts.clear();
        cvxtest::RomSimulator rom;
        cvxtest::RomSimulator::Faults faults;
        faults.versionAreas = areas;
        faults.padReports = padded;
        faults.busyEraseReplies = 1;
        rom.setFaults(faults);
        BBInitDatas::setAutoVersionUp(true);
        UsbHID::sharedManager().setVersionID("1.0");
        writer.initUpdateSystemInfo();
        rom.attach();
        ASSERT_TRUE(runUntilEnd(rom));

        EXPECT_EQ(alerts, QStringList());
        EXPECT_EQ(rom.frames(), expectedFrames(versionAreas));
        EXPECT_EQ(rom.reportedSums(), QStringList({"0000FB8D", "00020621", "0001F089"}));
        EXPECT_EQ(writer.confirmConnectLabel(), "終了");
        EXPECT_EQ(writer.sClientName(), "CVX-BOOT");
        EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());
        EXPECT_EQ(UsbHID::sharedManager().versionID(), "");
        EXPECT_FALSE(BBInitDatas::getAutoVersionUp());

        const QByteArray log = readAll(QDir::home().filePath("RomConvert.log"));
        EXPECT_TRUE(
            log.startsWith("/----- (TxD) <Port 1>------\r\n<STX>S<ETX>\r\n"
                           "/----- (RxD) <Port 1>------\r\n<ACK>\r\n"
                           "/----- (TxD) <Port 1>------\r\n<STX>B<ETX>\r\n"))
            << log.left(200).constData();
        EXPECT_TRUE(log.endsWith("/----- (TxD) <Port 1>------\r\n<STX>Q<ETX>\r\n"));

        rom.detach();
        cvx::HidManager::processPendingEvents();
        EXPECT_EQ(alerts, QStringList()) << "no message for a removal after the end";
    }
}

TEST_F(RomWriterTest, FaultsEndTheWriteWithTheirMessage) {
    using Faults = cvxtest::RomSimulator::Faults;
    struct Case {
        const char *name;
        std::function<void(Faults &)> fault;
        std::uint8_t mode;
        QString alert;
        QString errorLine;  // expected in Error.txt, empty for none
    };
    const QList<Case> cases{
        {"program sum one off", [](Faults &f) { f.programSumDelta = 1; }, 0, "E402",
         "-[OutputPWController reciveData:]  チェックサム 異常!!   [SEND](0000FB8D) != [RECV](0000FB8E)"},
        {"ROM sum one off", [](Faults &f) { f.romSumDelta = 1; }, 0, "E402",
         "-[OutputPWController reciveData:] チェックサム 異常!!   [SEND](00020621) != [RECV](00020622)"},
        {"third NAK of a frame", [](Faults &f) { f.nakFrame = 3, f.naks = 3; }, 0, "E402", ""},
        {"wrong boot loader", [](Faults &f) { f.bootName = "OTHER"; }, 0, "E402", ""},
        {"no answer any more", [](Faults &f) { f.silentFromFrame = 30; }, 0, "E402", ""},
        {"removed while writing", [](Faults &f) { f.removeAtFrame = 40; }, 0, "T504", ""},
        {"removed while writing, maintenance mode 1", [](Faults &f) { f.removeAtFrame = 40; }, 1, "T504", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(QDir::home().filePath("Error.txt"));
        alerts.clear();
        cvxtest::RomSimulator rom;
        Faults faults;
        c.fault(faults);
        rom.setFaults(faults);
        writer.initUpdateSystemInfo();
        rom.attach();
        cvx::HidManager::processPendingEvents();
        // As after the instrument's restart in the maintenance screen.
        MaintenanceMode::sharedMode().setMode(c.mode);
        ASSERT_TRUE(runUntilEnd(rom));
        cvx::HidManager::processPendingEvents();

        EXPECT_EQ(alerts, QStringList{c.alert});
        EXPECT_FALSE(rom.sawQuit());
        EXPECT_EQ(writer.burnStatus(), RomWriter::WasReset);
        EXPECT_FALSE(writer.isBurnROM());
        EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom()) << "the link parses the instrument again";
        if (c.errorLine.isEmpty()) {
            EXPECT_EQ(errorLog(), "");
        } else {
            EXPECT_TRUE(errorLog().contains("*************************exception begin\nexception time: "));
            EXPECT_TRUE(
                errorLog().contains("\n" + c.errorLine + "\n*************************exception end\n\n"))
                << errorLog().toStdString();
        }
        // Nothing more goes out after the reset, whatever still arrives.
        const qsizetype sent = rom.reports().size();
        rom.runUntil([] { return false; }, 100);
        EXPECT_EQ(rom.reports().size(), sent);
    }
}

TEST_F(RomWriterTest, FullDiskLeavesNoHalfLogEntry) {
    cvxtest::RomSimulator rom;
    {
        const cvxtest::FileSizeLimit full(1000);
        rom.attach();
        runUntilEnd(rom);
    }
    const QString log = QString::fromUtf8(readAll(QDir::home().filePath("RomConvert.log")));
    for (const QString &entry : log.split("/----- (").mid(1))
        EXPECT_TRUE(entry.count("\r\n") == 2 && entry.endsWith("\r\n")) << entry.toStdString();
}

// A damaged firmware file ends in its message before anything reaches the instrument: it is
// neither erased nor written.
TEST_F(RomWriterTest, ADamagedFileLeavesTheInstrumentUntouched) {
    const struct {
        const char *file;
        qsizetype line;
        const char *code;
    } cases[] = {{"USB/Data/DISP.DAT", 20, "T503"}, {"USB/Data/WRTPRG.DAT", 3, "T502"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        const QByteArray pristine = get(c.file);
        editLine(c.file, c.line, flipDigit(20));
        alerts.clear();
        cvxtest::RomSimulator rom;
        writer.initUpdateSystemInfo();
        rom.attach();
        ASSERT_TRUE(runUntilEnd(rom));
        rom.runUntil([] { return false; }, 100);
        EXPECT_EQ(alerts, QStringList{c.code});
        EXPECT_TRUE(rom.frames().isEmpty()) << "no frame at all, so neither erased nor written";
        EXPECT_EQ(writer.burnStatus(), RomWriter::WasReset);
        EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());
        put(c.file, pristine);
    }
}

// The maintenance screen's engine and the automatic update's, both armed when the instrument
// is attached: one writes it, the other is refused, whichever hears of the instrument first.
TEST_F(RomWriterTest, OnlyOneEngineWritesAtATime) {
    for (bool screenFirst : {false, true}) {
        SCOPED_TRACE(screenFirst ? "screen first" : "automatic update first");
        alerts.clear();
        RomWriter screenWriter;
        screenWriter.setScreen({{}, {}, {}, [] { return true; }, {}});
        screenWriter.observeLink();
        if (screenFirst) writer.observeLink();  // now heard after the screen's
        writer.initUpdateSystemInfo();
        screenWriter.arm();
        MaintenanceMode::sharedMode().setMode(0);  // the ROM code was accepted
        cvxtest::RomSimulator rom;
        cvxtest::RomSimulator::Faults faults;
        faults.restartMs = 50;  // unplugged and back while the write program starts
        rom.setFaults(faults);
        rom.attach();
        ASSERT_TRUE(rom.runUntil([&] { return rom.sawQuit() || alerts.size() > 1; }));
        EXPECT_EQ(alerts, QStringList{"rom_busy"});
        EXPECT_EQ(rom.frames(), expectedFrames());
        RomWriter &refused = screenFirst ? writer : screenWriter;
        EXPECT_EQ(refused.burnStatus(), RomWriter::WasReset);
        EXPECT_EQ((screenFirst ? screenWriter : writer).confirmConnectLabel(), "終了");
        EXPECT_EQ(RomWriter::writingEngine(), nullptr);
        EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());
        rom.detach();
        cvx::HidManager::processPendingEvents();
    }
}

// Erasing a flash block takes longer than any other answer.
TEST_F(RomWriterTest, EraseIsWaitedForLongerThanOtherReplies) {
    RomWriter::setTimingsForTesting(20, 200, 400, 1500);
    cvxtest::RomSimulator rom;
    cvxtest::RomSimulator::Faults faults;
    faults.eraseMs = 600;
    rom.setFaults(faults);
    rom.attach();
    ASSERT_TRUE(runUntilEnd(rom));
    EXPECT_EQ(alerts, QStringList());
    EXPECT_EQ(rom.frames(), expectedFrames());
}

TEST_F(RomWriterTest, TwoNaksOfAFrameAreRetried) {
    cvxtest::RomSimulator rom;
    cvxtest::RomSimulator::Faults faults;
    faults.nakFrame = 5;
    faults.naks = 2;
    rom.setFaults(faults);
    rom.attach();
    ASSERT_TRUE(runUntilEnd(rom));
    EXPECT_EQ(alerts, QStringList());
    EXPECT_EQ(rom.frames().size(), expectedFrames().size() + 2);
    EXPECT_EQ(rom.frames().mid(5, 3), QList<QByteArray>(3, expectedFrames()[5])) << "sent again as it was";
}

// The instrument restarts into the write program; it may come back before or after the
// engine's pause, and is addressed again either way, by the automatic update's engine and by
// the maintenance screen's.
TEST_F(RomWriterTest, InstrumentRestartingIntoTheWriteProgram) {
    for (bool onScreen : {false, true}) {
        for (const auto &[pauseMs, backAfterMs] : {std::pair{200, 20}, std::pair{20, 150}}) {
            SCOPED_TRACE(QStringLiteral("%1, pause %2 ms, back after %3 ms")
                             .arg(onScreen ? "screen" : "automatic update")
                             .arg(pauseMs)
                             .arg(backAfterMs)
                             .toStdString());
            RomWriter::setTimingsForTesting(pauseMs, 1000, 1000);
            alerts.clear();
            RomWriter screenWriter;
            cvxtest::RomSimulator rom;
            cvxtest::RomSimulator::Faults faults;
            faults.restartMs = backAfterMs;
            rom.setFaults(faults);
            if (onScreen) {
                writer.burnRomOkButtonClicked();
                screenWriter.setScreen({{}, {}, {}, [] { return true; }, {}});
                screenWriter.observeLink();
                screenWriter.arm();
                MaintenanceMode::sharedMode().setMode(0);  // the ROM code was accepted
            } else {
                writer.initUpdateSystemInfo();
            }
            rom.attach();
            ASSERT_TRUE(runUntilEnd(rom));
            EXPECT_EQ(alerts, QStringList());
            EXPECT_EQ(rom.frames(), expectedFrames());
            if (onScreen) {
                EXPECT_EQ(MaintenanceMode::sharedMode().getMode(), 1) << "set once the instrument is back";
                EXPECT_EQ(screenWriter.confirmConnectLabel(), "終了");
            }
        }
    }
}

TEST_F(RomWriterTest, ScreenFollowsTheWrite) {
    RomWriter screenWriter;
    QStringList labels;
    int okShown = 0;
    int clockStops = 0;
    screenWriter.setScreen({[&](const QString &text) { labels << text; },
                            [&] { ++okShown; },
                            {},
                            [] { return true; },
                            [&] { ++clockStops; }});
    screenWriter.observeLink();
    writer.burnRomOkButtonClicked();  // the windowless one stays out of this write
    screenWriter.arm();
    MaintenanceMode::sharedMode().setMode(0);  // the ROM code was accepted
    cvxtest::RomSimulator rom;
    rom.attach();
    ASSERT_TRUE(runUntilEnd(rom));

    EXPECT_EQ(alerts, QStringList());
    EXPECT_EQ(labels.first(), "転送中");
    EXPECT_TRUE(labels.contains("転送中 [1/2] (0/33)"));
    EXPECT_TRUE(labels.contains("転送中 [2/2] (33/33)"));
    EXPECT_EQ(labels.last(), "終了");
    EXPECT_EQ(okShown, 1);
    EXPECT_GE(clockStops, 1);
    EXPECT_EQ(MaintenanceMode::sharedMode().getMode(), 1) << "set once the write program runs";
    EXPECT_TRUE(screenWriter.isBurnROM());

    // A removal after the end shows nothing.
    rom.detach();
    cvx::HidManager::processPendingEvents();
    EXPECT_EQ(alerts, QStringList());
}

}  // namespace
