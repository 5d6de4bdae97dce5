#include <gtest/gtest.h>

#include "records/BBInitDatas.h"
#include "records/BBInitZBases.h"
#include "support/ScopedDateSettings.h"

namespace {

QDateTime tokyo(int y, int m, int d, int h = 0, int min = 0) {
    return QDateTime(QDate(y, m, d), QTime(h, min), Qt::UTC).addSecs(-9 * 3600);
}

}  // namespace

TEST(BBInitZBases, IsOKfromDate) {
    const struct {
        const char *text;
        bool ok;
    } cases[] = {
        {"2014-02-29", true},
        {"2015-02-29", true},
        {"2014-02-30", false},
        {"2014-04-31", false},
        {"2014-01-31", true},
        {"2014-01-00", false},
        {"0-01-01", false},
        {"1-01-01", true},
        {"2014-13-01", false},
        {"2014-00-01", false},
        {"2014-12-31 23:59", true},
        {"2014-12-31 24:00", false},
        {"2014-01-01 10:60", false},
        {"2014-1-5 9:05", true},
        {"2014-05-12 09:30:45", true},
        {"abc-de-fg", false},
        // Texts callers never build: refused, not read past their parts.
        {"", false},
        {"2014-05", false},
        {"2014-05-12 09", false},
        {"2014-05-12 ", false},
    };
    for (const auto &c : cases) EXPECT_EQ(BBInitZBases::isOKfromDate(c.text), c.ok) << '"' << c.text << '"';
}

TEST(BBInitZBases, ReadsAndRewritesDateTexts) {
    cvxtest::ScopedTz tz("Asia/Tokyo");
    const struct {
        const char *text;
        QDateTime date;
    } cases[] = {
        {"1980-2-5", tokyo(1980, 2, 5)},
        {"2014-05-12 09:30:45", tokyo(2014, 5, 12, 9, 30)},
        {"2014-02-30", tokyo(2014, 3, 2)},
        {"2014-05-12 09", tokyo(2014, 5, 12)},
        {"2014-5-012 008:08", tokyo(2014, 5, 12, 8, 8)},
    };
    for (const auto &c : cases) EXPECT_EQ(BBInitZBases::createDateFromDateString(c.text), c.date) << c.text;
    // Without "-" year, month and day are all 0: 30 November of 2 BC.
    EXPECT_EQ(BBInitZBases::createDateFromDateString("20140512").toLocalTime().date(), QDate(-2, 11, 30));

    EXPECT_EQ(BBInitZBases::setTStrFromTstr("2014-5-2 9:05", "", "yyyy/MM/dd HH:mm"), "2014/05/02 09:05");
    const QString in = "yyyy-MM-dd HH:mm", out = "yyyy/MM/dd HH:mm";
    EXPECT_EQ(BBInitZBases::setTStrFromTstrHHmm("2014-05-12 09:30", in, out), "2014/05/12 09:30");
    for (const char *bad : {"2014-02-30 09:30", "2014-05-12", "2014-05-12 09:30x"})
        EXPECT_TRUE(BBInitZBases::setTStrFromTstrHHmm(bad, in, out).isNull()) << bad;
}

TEST(BBInitZBases, AgesAcrossBirthdaysAndLeapDays) {
    cvxtest::ScopedTz tz("Asia/Tokyo");
    cvxtest::ScopedIcuLocale user("ja_JP@calendar=japanese");
    const cvx::Calendar calendar = BBInitDatas::getCalendar();
    EXPECT_EQ(calendar.identifier(), "gregorian");
    const struct {
        const char *birthday;
        QDateTime now;
        int age;
    } cases[] = {
        {"1980-05-12", tokyo(2014, 5, 11, 23, 59), 33}, {"1980-05-12", tokyo(2014, 5, 12), 34},
        {"2012-02-29", tokyo(2013, 2, 27, 12), 0},      {"2012-02-29", tokyo(2013, 2, 28), 1},
        {"2012-02-29", tokyo(2016, 2, 28, 23, 59), 3},  {"2012-02-29", tokyo(2016, 2, 29), 4},
    };
    for (const auto &c : cases)
        EXPECT_EQ(calendar.yearsBetween(BBInitZBases::createDateFromDateString(c.birthday), c.now), c.age)
            << c.birthday << " at " << c.now.toString(Qt::ISODate).toStdString();

    cvxtest::ScopedIcuLocale thai("th_TH@calendar=buddhist");
    EXPECT_EQ(BBInitDatas::getCalendar().identifier(), "buddhist");
}
