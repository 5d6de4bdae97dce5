#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QTimer>

#include "shell/kit/BBTime.h"

namespace {

struct FixedClock {
    explicit FixedClock(QDateTime start) : now(std::move(start)) {
        BBTime::setTimeSource([this] { return now; });
    }
    ~FixedClock() { BBTime::setTimeSource({}); }
    QDateTime now;
};

QDateTime at(int y, int mo, int d, int h, int mi, int s = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

TEST(BBTime, TextOfAMoment) {
    struct Case {
        QDateTime moment;
        const char *text;
    } cases[] = {
        {at(2026, 12, 6, 9, 5), "2026.12.06 Sun 09:05"},
        {at(2027, 1, 11, 10, 30), "2027.01.11 Mon 10:30"},
        {at(2025, 9, 30, 0, 0, 59), "2025.09.30 Tue 00:00"},
        {at(2024, 2, 29, 23, 59), "2024.02.29 Thu 23:59"},
        {at(2025, 10, 1, 12, 9), "2025.10.01 Wed 12:09"},
        {at(2025, 10, 3, 7, 7), "2025.10.03 Fri 07:07"},
        {at(2025, 10, 4, 19, 10), "2025.10.04 Sat 19:10"},
    };
    for (const Case &c : cases) EXPECT_EQ(BBTime::timeText(c.moment), QString::fromLatin1(c.text));
}

TEST(BBTime, RunsFromCreationAndRenewsEverySecond) {
    FixedClock clock(at(2026, 12, 6, 9, 5, 58));
    BBTime time;
    time.resize(340, 50);
    EXPECT_TRUE(time.isRunning());
    EXPECT_EQ(time.timeLabel()->text(), "2026.12.06 Sun 09:05");

    clock.now = at(2026, 12, 6, 9, 6, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return time.timeStr() == "2026.12.06 Sun 09:06"; }, 2500));

    time.zstop();
    EXPECT_FALSE(time.isRunning());
    clock.now = at(2026, 12, 6, 9, 7, 0);
    QTest::qWait(1200);
    EXPECT_EQ(time.timeStr(), "2026.12.06 Sun 09:06");
}

TEST(BBTime, RestartingKeepsOneTimer) {
    BBTime time;
    for (int i = 0; i < 5; ++i) time.zstart();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    int active = 0;
    for (QTimer *timer : time.findChildren<QTimer *>()) active += timer->isActive();
    EXPECT_EQ(active, 1);
    time.zstop();
    EXPECT_FALSE(time.isRunning());
}

}  // namespace
