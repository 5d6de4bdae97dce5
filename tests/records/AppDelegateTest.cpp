#include "records/AppDelegate.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/DateFormatter.h"
#include "platform/ExceptionHook.h"

namespace {

QByteArray readErrorLog() {
    QFile file(QDir::homePath() + "/Error.txt");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

__attribute__((noinline)) void appDelegateTestFirstThrow() {
    throw std::runtime_error("first");
}
__attribute__((noinline)) void appDelegateTestSecondThrow() {
    throw std::logic_error("second");
}

struct Block {
    QDateTime time;
    QString stack;
};

// Splits the log into exception blocks; fails the test when anything lies outside a block.
std::vector<Block> parseBlocks(const QString &log) {
    static const QRegularExpression block(
        "\\n\\n\\*{25}exception begin\\n"
        "exception time: (\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}) \\+0000\\n"
        "((?:[^\\n]*\\n)+?)\\n"
        "\\*{25}exception end\\n\\n");
    std::vector<Block> blocks;
    qsizetype pos = 0;
    while (pos < log.size()) {
        const QRegularExpressionMatch m = block.match(log, pos, QRegularExpression::NormalMatch,
                                                      QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch()) {
            ADD_FAILURE() << "no block at offset " << pos << ": " << log.mid(pos, 200).toStdString();
            break;
        }
        blocks.push_back({QDateTime::fromString(m.captured(1), "yyyy-MM-dd HH:mm:ss"), m.captured(2)});
        pos = m.capturedEnd();
    }
    return blocks;
}

class AppDelegateTest : public testing::Test {
protected:
    void TearDown() override { AppDelegate::shared().uninstallExceptionLogger(); }
};

}  // namespace

TEST_F(AppDelegateTest, CaughtExceptionsAreLoggedAsBlocksInTheOrderRaised) {
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    AppDelegate::shared().installExceptionLogger();
    EXPECT_THROW(appDelegateTestFirstThrow(), std::runtime_error);
    EXPECT_THROW(appDelegateTestSecondThrow(), std::logic_error);
    AppDelegate::shared().uninstallExceptionLogger();
    EXPECT_THROW(appDelegateTestFirstThrow(), std::runtime_error);  // no longer logged
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    const std::vector<Block> blocks = parseBlocks(QString::fromUtf8(readErrorLog()));
    ASSERT_EQ(blocks.size(), 2u);
    const char *throwers[] = {"appDelegateTestFirstThrow", "appDelegateTestSecondThrow"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(blocks[i].time.isValid());
        EXPECT_GE(blocks[i].time, before);
        EXPECT_LE(blocks[i].time, after);
        const QStringList frames = blocks[i].stack.split('\n', Qt::SkipEmptyParts);
        ASSERT_GE(frames.size(), 2);
        EXPECT_TRUE(frames[0].startsWith(QStringLiteral("(anonymous namespace)::") + throwers[i]))
            << frames[0].toStdString();
        EXPECT_TRUE(frames[1].contains("CaughtExceptionsAreLoggedAsBlocksInTheOrderRaised"))
            << frames[1].toStdString();
    }
    EXPECT_LE(blocks[0].time, blocks[1].time);
}

TEST_F(AppDelegateTest, UncaughtExceptionIsLoggedOnceBeforeTheProgramEnds) {
    // The death test's child has a home of its own; it writes into this test's instead.
    if (qEnvironmentVariableIsEmpty("CVX_TEST_PARENT_HOME"))
        qputenv("CVX_TEST_PARENT_HOME", QDir::homePath().toUtf8());
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            qputenv("HOME", qgetenv("CVX_TEST_PARENT_HOME"));
            AppDelegate::shared().installExceptionLogger();
            []() noexcept { appDelegateTestFirstThrow(); }();
        },
        "");
    qunsetenv("CVX_TEST_PARENT_HOME");

    const std::vector<Block> blocks = parseBlocks(QString::fromUtf8(readErrorLog()));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_TRUE(blocks[0].stack.startsWith("(anonymous namespace)::appDelegateTestFirstThrow"))
        << blocks[0].stack.toStdString();
}

TEST_F(AppDelegateTest, ErrorLogAppendsTextAsGiven) {
    AppDelegate &app = AppDelegate::shared();
    const QString home = QDir::homePath();

    app.errorLog(QStringLiteral("\nDirectory /a copy to /b faild!\n"));
    EXPECT_EQ(readErrorLog(), QByteArray("\nDirectory /a copy to /b faild!\n"));

    // An exception without a stack gives a bare line; the next entry continues on it.
    app.printStackTrace(cvx::ExceptionReport{});
    app.errorLog(QStringLiteral("チェックサム異常"));
    EXPECT_EQ(readErrorLog(), QByteArray("\nDirectory /a copy to /b faild!\nNo stack trace available.") +
                                  QStringLiteral("チェックサム異常").toUtf8());

    // The home folder is looked up at every call.
    QTemporaryDir otherHome;
    qputenv("HOME", otherHome.path().toUtf8());
    app.errorLog(QStringLiteral("other"));
    EXPECT_EQ(readErrorLog(), QByteArray("other"));
    qputenv("HOME", (otherHome.path() + "/missing").toUtf8());
    app.errorLog(QStringLiteral("nowhere"));  // an unreachable log is skipped quietly
    qputenv("HOME", home.toUtf8());
    EXPECT_TRUE(readErrorLog().startsWith("\nDirectory"));
}

TEST_F(AppDelegateTest, AppendsFromSeveralThreadsStayWhole) {
    constexpr int kThreads = 8;
    constexpr int kEntries = 40;
    // Long entries, so that an unserialised append would be split across several writes.
    auto entry = [](int t, int i) {
        return QStringLiteral("<%1:%2>\n%3\n</%1:%2>\n").arg(t).arg(i).arg(QString(30000, QChar('a' + t)));
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &entry] {
            for (int i = 0; i < kEntries; ++i) AppDelegate::shared().errorLog(entry(t, i));
        });
    }
    for (auto &thread : threads) thread.join();

    const QString log = QString::fromUtf8(readErrorLog());
    static const QRegularExpression whole("<(\\d+):(\\d+)>\\n([a-z]+)\\n</\\1:\\2>\\n");
    QSet<QString> seen;
    qsizetype pos = 0;
    while (pos < log.size()) {
        const QRegularExpressionMatch m = whole.match(log, pos, QRegularExpression::NormalMatch,
                                                      QRegularExpression::AnchorAtOffsetMatchOption);
        ASSERT_TRUE(m.hasMatch()) << "broken entry at offset " << pos;
        ASSERT_EQ(m.captured(0), entry(m.captured(1).toInt(), m.captured(2).toInt()));
        seen.insert(m.captured(1) + ':' + m.captured(2));
        pos = m.capturedEnd();
    }
    EXPECT_EQ(seen.size(), kThreads * kEntries);
}

TEST_F(AppDelegateTest, DateFormatterIsKeptPerThread) {
    AppDelegate &app = AppDelegate::shared();
    cvx::DateFormatter &mine = app.appDateFormatter();
    EXPECT_EQ(&mine, &app.appDateFormatter());
    mine.setDateFormat(QStringLiteral("yyyyMMddHHmm"));

    const QDateTime date(QDate(2014, 5, 12), QTime(8, 9, 10, 11));
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            cvx::DateFormatter &own = app.appDateFormatter();
            if (&own == &mine || !own.dateFormat().isEmpty()) ++wrong;
            const QString pattern =
                t % 2 ? QStringLiteral("yyyy-MM-dd HH:mm:ss SSS") : QStringLiteral("yyyy/MM/dd");
            const QString expected =
                t % 2 ? QStringLiteral("2014-05-12 08:09:10 011") : QStringLiteral("2014/05/12");
            for (int i = 0; i < 500; ++i) {
                app.appDateFormatter().setDateFormat(pattern);
                if (app.appDateFormatter().stringFromDate(date) != expected) ++wrong;
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(app.appDateFormatter().stringFromDate(date), QStringLiteral("201405120809"));
}

TEST_F(AppDelegateTest, HeldObjectsReadAsNullOnceDestroyed) {
    AppDelegate &app = AppDelegate::shared();
    auto *controller = new QObject;
    app.setOutputVc(controller);
    app.setMsgTextField(controller);
    EXPECT_EQ(app.outputVc(), controller);
    delete controller;
    EXPECT_EQ(app.outputVc(), nullptr);
    EXPECT_EQ(app.msgTextField(), nullptr);
}
