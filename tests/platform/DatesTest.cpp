#include <gtest/gtest.h>
#include <time.h>
#include <unicode/locid.h>

#include <QDateTime>

#include "platform/Dates.h"

namespace {

// Sets TZ for the life of a test and puts the old value back.
class ScopedTz {
public:
    explicit ScopedTz(const char *zone) : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTz() {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool had_;
    QByteArray old_;
};

// Sets ICU's default locale, which stands for the user's calendar choice.
class ScopedIcuLocale {
public:
    explicit ScopedIcuLocale(const char *id) : old_(icu::Locale::getDefault()) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(id), status);
    }
    ~ScopedIcuLocale() {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(old_, status);
    }

private:
    icu::Locale old_;
};

QDateTime utc(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC);
}

}  // namespace

TEST(Calendar, ComponentsInTheLocalZoneWithSundayAsOne) {
    ScopedTz tz("Asia/Tokyo");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    EXPECT_EQ(cal.timeZoneId(), "Asia/Tokyo");
    // 00:05 UTC is 09:05 in Tokyo, a Sunday.
    cvx::DateComponents c = cal.components(utc(2026, 12, 6, 0, 5));
    EXPECT_EQ(c, (cvx::DateComponents{1, 2026, 12, 6, 9, 5, 0, 0, 1}));
    EXPECT_EQ(cal.components(utc(2027, 1, 11, 1, 30)).weekday, 2);
    EXPECT_EQ(cal.components(utc(2027, 1, 16, 1, 30)).weekday, 7);
    EXPECT_EQ(cal.components(QDateTime()), cvx::DateComponents{});
}

TEST(Calendar, LocalZoneFollowsTz) {
    {
        ScopedTz tz("America/New_York");
        const QDateTime noon = cvx::Calendar::gregorian().dateFromComponents(2014, 1, 15, 12, 0);
        EXPECT_EQ(noon, utc(2014, 1, 15, 17));
        // Qt reads the same wall time back.
        EXPECT_EQ(noon.toLocalTime().time(), QTime(12, 0));
    }
    ScopedTz tz("Asia/Tokyo");
    EXPECT_EQ(cvx::Calendar::gregorian().dateFromComponents(2014, 1, 15, 12, 0), utc(2014, 1, 15, 3));
}

TEST(Calendar, ComponentsOutOfRangeCarryOver) {
    ScopedTz tz("Asia/Tokyo");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    struct Case {
        int y, m, d, h, min;
        QDate date;
        QTime time;
    } cases[] = {
        {2014, 13, 1, 0, 0, QDate(2015, 1, 1), QTime(0, 0)},
        {2014, 3, 0, 0, 0, QDate(2014, 2, 28), QTime(0, 0)},
        {2016, 3, 0, 0, 0, QDate(2016, 2, 29), QTime(0, 0)},
        {2014, 2, 30, 0, 0, QDate(2014, 3, 2), QTime(0, 0)},
        {2014, 0, 1, 0, 0, QDate(2013, 12, 1), QTime(0, 0)},
        {1980, 0, 0, 0, 0, QDate(1979, 11, 30), QTime(0, 0)},
        {2014, 1, 31, 24, 60, QDate(2014, 2, 1), QTime(1, 0)},
        {1500, 3, 1, 0, 0, QDate(1500, 3, 1), QTime(0, 0)},  // proleptic, as QDate counts
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::asprintf("%d-%d-%d %d:%d", c.y, c.m, c.d, c.h, c.min).toStdString());
        const QDateTime got = cal.dateFromComponents(c.y, c.m, c.d, c.h, c.min);
        EXPECT_EQ(got.date(), c.date);
        EXPECT_EQ(got.time(), c.time);
    }
    EXPECT_FALSE(cal.dateFromComponents(INT_MAX, INT_MAX, INT_MAX).isValid());
}

TEST(Calendar, WholeYearsAcrossBirthdaysAndLeapDays) {
    ScopedTz tz("Asia/Tokyo");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    auto at = [&](int y, int m, int d, int h = 0, int min = 0) {
        return cal.dateFromComponents(y, m, d, h, min);
    };
    struct Case {
        QDateTime birth, now;
        int years;
    } cases[] = {
        {at(2000, 5, 12), at(2014, 5, 11, 23, 59), 13}, {at(2000, 5, 12), at(2014, 5, 12), 14},
        {at(2000, 5, 12), at(2000, 5, 12), 0},          {at(2012, 2, 29), at(2013, 2, 27), 0},
        {at(2012, 2, 29), at(2013, 2, 28), 1},          {at(2012, 2, 29), at(2016, 2, 28), 3},
        {at(2012, 2, 29), at(2016, 2, 29), 4},          {at(1999, 12, 31), at(2000, 1, 1), 0},
        {at(2014, 5, 12), at(2000, 5, 12), -14},        {QDateTime(), at(2000, 5, 12), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.birth.toString(Qt::ISODate) + " -> " + c.now.toString(Qt::ISODate)).toStdString());
        EXPECT_EQ(cal.yearsBetween(c.birth, c.now), c.years);
    }
}

TEST(Calendar, DaysAndAdditionKeepTheWallClockOverDaylightSaving) {
    ScopedTz tz("America/New_York");
    const cvx::Calendar cal = cvx::Calendar::gregorian();
    // 8 to 10 March 2014 spans the spring change: 47 hours, two calendar days.
    const QDateTime before = cal.dateFromComponents(2014, 3, 8, 12, 0);
    const QDateTime after = cal.dateFromComponents(2014, 3, 10, 12, 0);
    EXPECT_EQ(before.secsTo(after), 47 * 3600);
    EXPECT_EQ(cal.daysBetween(before, after), 2);
    EXPECT_EQ(cal.daysBetween(after, before), -2);
    EXPECT_EQ(cal.addDays(before, 2), after);

    EXPECT_EQ(cal.daysBetween(cal.dateFromComponents(2016, 2, 28), cal.dateFromComponents(2016, 3, 1)), 2);
    EXPECT_EQ(cal.addYears(cal.dateFromComponents(2016, 2, 29), 1), cal.dateFromComponents(2017, 2, 28));
    // The log purge's cut-off: two years back, one day on.
    EXPECT_EQ(cal.addDays(cal.addYears(cal.dateFromComponents(2026, 12, 6, 9, 5), -2), 1),
              cal.dateFromComponents(2024, 12, 7, 9, 5));
    EXPECT_FALSE(cal.addDays(QDateTime(), 1).isValid());
}

TEST(Calendar, ApplicationCalendarNeverCountsInEras) {
    ScopedTz tz("Asia/Tokyo");
    const QDateTime may2014 = utc(2014, 5, 12, 3);
    {
        ScopedIcuLocale user("ja_JP@calendar=japanese");
        EXPECT_EQ(cvx::Calendar::user().identifier(), "japanese");
        EXPECT_EQ(cvx::Calendar::user().components(may2014).year, 26);  // Heisei 26
        const cvx::Calendar app = cvx::Calendar::application();
        EXPECT_EQ(app.identifier(), "gregorian");
        EXPECT_EQ(app.components(may2014).year, 2014);
    }
    {
        ScopedIcuLocale user("th_TH@calendar=buddhist");
        const cvx::Calendar app = cvx::Calendar::application();
        EXPECT_EQ(app.identifier(), "buddhist");
        EXPECT_EQ(app.components(may2014).year, 2557);
    }
    ScopedIcuLocale user("ja_JP");
    EXPECT_EQ(cvx::Calendar::application().identifier(), "gregorian");
    EXPECT_EQ(cvx::Calendar::forLocale("ja_JP@calendar=japanese").identifier(), "japanese");
}
