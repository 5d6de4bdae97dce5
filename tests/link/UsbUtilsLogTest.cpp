#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "link/LogClock.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"

namespace {

const QString kDashes = QString(22, QChar(0x2014));

QString home() {
    return cvx::FileManager::homeDirectory();
}

QByteArray readLog(const QString &relative) {
    QFile file(home() + "/" + relative);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void touch(const QString &relative) {
    QFile file(home() + "/" + relative);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << relative.toStdString();
}

QStringList logFiles(const QString &folder) {
    return QDir(home() + "/" + folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}

class LogTest : public testing::Test {
protected:
    LogTest() {
        QDir().mkpath(home() + "/CommLog");
        QDir().mkpath(home() + "/TransferLog");
        AppDelegate::shared().setLogDataStr("");
        setNow(QDateTime(QDate(2026, 3, 5), QTime(9, 7, 3, 45)));
    }
    ~LogTest() override {
        cvx::LogClock::setNowProvider({});
        setConnected(false);
    }

    void setNow(const QDateTime &now) {
        cvx::LogClock::setNowProvider([now] { return now; });
    }
    // The session's connection flag, which keeps a connection in one file.
    static void setConnected(bool connected);
};

TEST_F(LogTest, CommunicationEntryIsDashesTimeStampAndTextInCrLfLines) {
    UsbUtils::myWriteLogCallback("----- (RxD)------");
    setNow(QDateTime(QDate(2026, 3, 5), QTime(9, 7, 4, 5)));
    UsbUtils::myWriteLogCallback("<STX>1H|テスト<CR>");

    const QString expected = kDashes + "2026-03-05 09:07:03 045\r\n----- (RxD)------\r\n" + kDashes +
                             "2026-03-05 09:07:04 005\r\n<STX>1H|テスト<CR>\r\n";
    EXPECT_EQ(readLog("CommLog/CommData_20260305.log"), expected.toUtf8());
    EXPECT_EQ(AppDelegate::shared().logDataStr(), "/CommData_20260305.log");
}

TEST_F(LogTest, TransferEntryIsTheTextAndCrLfInTheGivenFolder) {
    UsbUtils::writeLogToPath(home() + "/TransferLog", "取込開始");
    UsbUtils::writeLogToPath(home() + "/TransferLog", "done");
    EXPECT_EQ(readLog("TransferLog/TransferLog_20260305.log"), QString("取込開始\r\ndone\r\n").toUtf8());
    EXPECT_EQ(logFiles("CommLog"), QStringList());
}

TEST_F(LogTest, MissingFolderWritesNothingAndDoesNotFail) {
    QDir(home() + "/CommLog").removeRecursively();
    UsbUtils::myWriteLogCallback("lost");
    EXPECT_FALSE(QFileInfo::exists(home() + "/CommLog"));
}

TEST_F(LogTest, ConnectionStaysInTheFileOfItsFirstEntryPastMidnight) {
    setConnected(true);  // attached; the attach emptied logDataStr
    setNow(QDateTime(QDate(2026, 3, 5), QTime(23, 59, 59, 900)));
    UsbUtils::myWriteLogCallback("before");
    setNow(QDateTime(QDate(2026, 3, 6), QTime(0, 0, 1, 0)));
    UsbUtils::myWriteLogCallback("after");

    const QString expected =
        kDashes + "2026-03-05 23:59:59 900\r\nbefore\r\n" + kDashes + "2026-03-06 00:00:01 000\r\nafter\r\n";
    EXPECT_EQ(readLog("CommLog/CommData_20260305.log"), expected.toUtf8());
    EXPECT_EQ(logFiles("CommLog"), QStringList{"CommData_20260305.log"});

    // Removed: the next entry goes to the file of its own day.
    setConnected(false);
    UsbUtils::myWriteLogCallback("removed");
    EXPECT_EQ(logFiles("CommLog"), (QStringList{"CommData_20260305.log", "CommData_20260306.log"}));
}

TEST_F(LogTest, WithoutAnInstrumentEachDayHasItsOwnFile) {
    setNow(QDateTime(QDate(2026, 3, 5), QTime(23, 59, 59, 999)));
    UsbUtils::myWriteLogCallback("one");
    setNow(QDateTime(QDate(2026, 3, 6), QTime(0, 0, 0, 0)));
    UsbUtils::myWriteLogCallback("two");

    EXPECT_EQ(logFiles("CommLog"), (QStringList{"CommData_20260305.log", "CommData_20260306.log"}));
    EXPECT_EQ(readLog("CommLog/CommData_20260306.log"),
              (kDashes + "2026-03-06 00:00:00 000\r\ntwo\r\n").toUtf8());
}

struct PurgeCase {
    const char *label;
    QDate today;
    bool transferEntry;  // which log the entry goes to; both folders are purged either way
    QStringList commKept;
    QStringList transferKept;
};

TEST_F(LogTest, EveryEntryPurgesLogsOlderThanTwoYearsFromBothFolders) {
    const PurgeCase cases[] = {
        {"comm entry",
         QDate(2026, 12, 6),
         false,
         {"CommData_20241207.log", "CommData_20261206.log", "ZZZ.log", "notes.txt", "old.log"},
         {"TransferLog_20241207.log"}},
        {"transfer entry",
         QDate(2026, 12, 6),
         true,
         {"CommData_20241207.log", "ZZZ.log", "notes.txt", "old.log"},
         {"TransferLog_20241207.log", "TransferLog_20261206.log"}},
        // Two years back from 29 February is 28 February; the day after it is kept.
        {"leap day",
         QDate(2028, 2, 29),
         true,
         {"ZZZ.log", "notes.txt", "old.log"},
         {"TransferLog_20280229.log"}},
    };
    for (const PurgeCase &c : cases) {
        SCOPED_TRACE(c.label);
        QDir(home() + "/CommLog").removeRecursively();
        QDir(home() + "/TransferLog").removeRecursively();
        QDir().mkpath(home() + "/CommLog/old.log");  // a folder, not a log
        QDir().mkpath(home() + "/CommLog/sub");
        QDir().mkpath(home() + "/TransferLog");
        for (const char *name : {"CommData_20241206.log", "CommData_20241207.log", "ABC.log", "ZZZ.log",
                                 "notes.txt", "CommData_20230101.log", "sub/CommData_20200101.log"})
            touch(QString("CommLog/") + name);
        for (const char *name :
             {"TransferLog_20241206.log", "TransferLog_20241207.log", "CommData_20200101.log"})
            touch(QString("TransferLog/") + name);

        setNow(QDateTime(c.today, QTime(10, 0)));
        if (c.transferEntry)
            UsbUtils::writeLogToPath(home() + "/TransferLog", "x");
        else
            UsbUtils::myWriteLogCallback("x");

        QStringList comm = logFiles("CommLog");
        comm.removeOne("sub");
        EXPECT_EQ(comm, c.commKept);
        // Names carry their folder, so a nested log never sorts before the key.
        EXPECT_EQ(logFiles("CommLog/sub"), QStringList{"CommData_20200101.log"});
        EXPECT_EQ(logFiles("TransferLog"), c.transferKept);
    }
}

TEST(LogPurge, MissingFolderIsSkipped) {
    UsbUtils::deleteLogTwoYearsAgo(home() + "/nowhere");
    EXPECT_FALSE(QFileInfo::exists(home() + "/nowhere"));
}

TEST(LogText, ControlBytesAreNamed) {
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {QString("\x02"
                 "A\r1F\x03"),
         "<STX>A<CR>1F<ETX>"},
        {QString("\x02\x03\x04\x05\x06\n\r\x15\x17"), "<STX><ETX><EOT><ENQ><ACK><LF><CR><NAK><ETB>"},
        {"002002X|STATE", "002002X|STATE"},
        {QString("\x01\x07"), QString("\x01\x07")},
        {"", ""},
    };
    for (const auto &c : cases) EXPECT_EQ(UsbUtils::replaceAsciiStr(c.in), c.out) << c.out.toStdString();
}

}  // namespace

void LogTest::setConnected(bool connected) {
    UsbManager::sharedUsbManager().setIsConnect(connected);
}
