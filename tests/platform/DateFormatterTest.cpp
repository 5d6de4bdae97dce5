#include <gtest/gtest.h>

#include <QDateTime>

#include "platform/DateFormatter.h"
#include "support/ScopedDateSettings.h"

namespace {

// 2014-05-12 09:30:45.123 in Tokyo.
const QDateTime kSample(QDate(2014, 5, 12), QTime(0, 30, 45, 123), Qt::UTC);

}  // namespace

TEST(DateFormatter, WritesThePatternsInUseInTheNeutralLocale) {
    cvxtest::ScopedTz tz("Asia/Tokyo");
    cvxtest::ScopedIcuLocale user("ar_EG@calendar=islamic;numbers=arab");
    const struct {
        const char *pattern, *text;
    } cases[] = {
        {"yyyy-MM-dd HH:mm:ss SSS", "2014-05-12 09:30:45 123"},
        {"yyyyMMdd", "20140512"},
        {"yyyyMMddHHmm", "201405120930"},
        {"yyyy/MM/dd HH:mm", "2014/05/12 09:30"},
        {"yyyy MM/dd", "2014 05/12"},
        {"EEE", "Mon"},
    };
    cvx::DateFormatter formatter;
    for (const auto &c : cases) {
        formatter.setDateFormat(QString::fromLatin1(c.pattern));
        EXPECT_EQ(formatter.stringFromDate(kSample), QString::fromLatin1(c.text)) << c.pattern;
    }
    EXPECT_TRUE(formatter.stringFromDate(QDateTime()).isNull());
    EXPECT_EQ(cvx::DateFormatter().stringFromDate(kSample), "");
}

TEST(DateFormatter, ReadsStrictly) {
    cvxtest::ScopedTz tz("Asia/Tokyo");
    const struct {
        const char *pattern, *text;
        bool ok;
    } cases[] = {
        {"yyyy-MM-dd", "2016-02-29", true},
        {"yyyy-MM-dd", "2014-02-29", false},
        {"yyyy-MM-dd", "2014-02-30", false},
        {"yyyy-MM-dd", "2014-13-01", false},
        {"yyyy-MM-dd", "2014-05-12x", false},
        {"yyyy-MM-dd", " 2014-05-12", false},
        {"yyyy-MM-dd", "2014/05/12", false},
        {"yyyy-MM-dd", "", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12 24:00", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12  09:30", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12\t09:30", false},
        {"yyyyMMddHHmm", "201405120930", true},
    };
    cvx::DateFormatter formatter;
    for (const auto &c : cases) {
        formatter.setDateFormat(QString::fromLatin1(c.pattern));
        EXPECT_EQ(formatter.dateFromString(QString::fromLatin1(c.text)).isValid(), c.ok)
            << c.pattern << " " << c.text;
    }
    formatter.setDateFormat("yyyy-MM-dd HH:mm:ss SSS");
    EXPECT_EQ(formatter.dateFromString("2014-05-12 09:30:45 123"), kSample);
    EXPECT_FALSE(cvx::DateFormatter().dateFromString("2014-05-12").isValid());
}
