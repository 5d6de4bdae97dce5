#include <gtest/gtest.h>

#include <QDateTime>

#include "platform/Dates.h"
#include "support/ScopedDateSettings.h"

namespace {

QDateTime utc(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC);
}

}  // namespace

TEST(Calendar, ComponentsInTheLocalZoneWithSundayAsOne) {
    cvxtest::ScopedTz tz("Asia/Tokyo");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    // 00:05 UTC is 09:05 in Tokyo, a Sunday.
    EXPECT_EQ(cal.components(utc(2026, 12, 6, 0, 5)), (cvx::DateComponents{1, 2026, 12, 6, 9, 5, 0, 0, 1}));
    EXPECT_EQ(cal.components(utc(2027, 1, 16, 1, 30)).weekday, 7);
    EXPECT_EQ(cal.components(QDateTime()), cvx::DateComponents{});

    cvxtest::ScopedTz newYork("America/New_York");
    const QDateTime noon = cvx::Calendar::gregorian().dateFromComponents(2014, 1, 15, 12, 0);
    EXPECT_EQ(noon, utc(2014, 1, 15, 17));
    EXPECT_EQ(noon.toLocalTime().time(), QTime(12, 0));  // Qt agrees on the zone
}

TEST(Calendar, ComponentsOutOfRangeCarryOver) {
    cvxtest::ScopedTz tz("Asia/Tokyo");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    const struct {
        int y, m, d, h, min;
        QDateTime local;
    } cases[] = {
        {2014, 13, 1, 0, 0, QDateTime(QDate(2015, 1, 1), QTime(0, 0))},
        {2016, 3, 0, 0, 0, QDateTime(QDate(2016, 2, 29), QTime(0, 0))},
        {2014, 2, 30, 0, 0, QDateTime(QDate(2014, 3, 2), QTime(0, 0))},
        {1980, 0, 0, 0, 0, QDateTime(QDate(1979, 11, 30), QTime(0, 0))},
        {2014, 1, 31, 24, 60, QDateTime(QDate(2014, 2, 1), QTime(1, 0))},
        {1500, 3, 1, 0, 0, QDateTime(QDate(1500, 3, 1), QTime(0, 0))},  // proleptic, as QDate counts
    };
    for (const auto &c : cases)
        EXPECT_EQ(cal.dateFromComponents(c.y, c.m, c.d, c.h, c.min), c.local)
            << c.y << "-" << c.m << "-" << c.d;
    EXPECT_FALSE(cal.dateFromComponents(INT_MAX, INT_MAX, INT_MAX).isValid());
}

TEST(Calendar, DaysAndAdditionKeepTheWallClockOverDaylightSaving) {
    cvxtest::ScopedTz tz("America/New_York");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    // 8 to 10 March 2014 spans the spring change: 47 hours, two calendar days.
    const QDateTime before = cal.dateFromComponents(2014, 3, 8, 12, 0);
    const QDateTime after = cal.dateFromComponents(2014, 3, 10, 12, 0);
    EXPECT_EQ(before.secsTo(after), 47 * 3600);
    EXPECT_EQ(cal.daysBetween(before, after), 2);
    EXPECT_EQ(cal.daysBetween(after, before), -2);
    EXPECT_EQ(cal.addDays(before, 2), after);
    EXPECT_EQ(cal.addYears(cal.dateFromComponents(2016, 2, 29), 1), cal.dateFromComponents(2017, 2, 28));
    EXPECT_FALSE(cal.addDays(QDateTime(), 1).isValid());
    EXPECT_EQ(cal.yearsBetween(QDateTime(), before), 0);
}
