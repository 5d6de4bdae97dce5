#include <gtest/gtest.h>
#include <time.h>
#include <unicode/locid.h>

#include <QDateTime>
#include <thread>

#include "platform/DateFormatter.h"

namespace {

class TokyoTime : public testing::Test {
protected:
    void SetUp() override {
        hadTz_ = qEnvironmentVariableIsSet("TZ");
        oldTz_ = qgetenv("TZ");
        qputenv("TZ", "Asia/Tokyo");
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            qputenv("TZ", oldTz_);
        else
            qunsetenv("TZ");
        tzset();
    }

    // 2014-05-12 09:30:45.123 in Tokyo.
    static QDateTime sample() { return QDateTime(QDate(2014, 5, 12), QTime(0, 30, 45, 123), Qt::UTC); }

private:
    bool hadTz_ = false;
    QByteArray oldTz_;
};

}  // namespace

TEST_F(TokyoTime, FormatsThePatternsInUse) {
    const struct {
        const char *pattern, *text;
    } cases[] = {
        {"yyyy-MM-dd HH:mm:ss SSS", "2014-05-12 09:30:45 123"},
        {"yyyyMMdd", "20140512"},
        {"yyyyMMddHHmm", "201405120930"},
        {"yyyy-MM-dd HH:mm:ss", "2014-05-12 09:30:45"},
        {"yyyy-MM-dd HH:mm", "2014-05-12 09:30"},
        {"yyyy/MM/dd HH:mm", "2014/05/12 09:30"},
        {"yyyy MM/dd", "2014 05/12"},
        {"EEE", "Mon"},
    };
    cvx::DateFormatter formatter;
    for (const auto &c : cases) {
        formatter.setDateFormat(QString::fromLatin1(c.pattern));
        EXPECT_EQ(formatter.stringFromDate(sample()), QString::fromLatin1(c.text)) << c.pattern;
    }
    EXPECT_TRUE(formatter.stringFromDate(QDateTime()).isNull());
    EXPECT_EQ(cvx::DateFormatter().stringFromDate(sample()), "");
}

TEST_F(TokyoTime, NeutralWhateverTheUserLocale) {
    const icu::Locale old = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("ar_EG@calendar=islamic;numbers=arab"), status);
    const QString text = cvx::DateFormatter("yyyy-MM-dd HH:mm").stringFromDate(sample());
    icu::Locale::setDefault(old, status);
    EXPECT_EQ(text, "2014-05-12 09:30");
}

TEST_F(TokyoTime, ParsesStrictly) {
    const struct {
        const char *pattern, *text;
        bool ok;
    } cases[] = {
        {"yyyy-MM-dd", "2014-02-28", true},
        {"yyyy-MM-dd", "2016-02-29", true},
        {"yyyy-MM-dd", "2014-02-29", false},
        {"yyyy-MM-dd", "2014-02-30", false},
        {"yyyy-MM-dd", "2014-13-01", false},
        {"yyyy-MM-dd", "2014-05-12x", false},
        {"yyyy-MM-dd", "2014-05-12 ", false},
        {"yyyy-MM-dd", " 2014-05-12", false},
        {"yyyy-MM-dd", "2014/05/12", false},
        {"yyyy-MM-dd", "", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12 23:59", true},
        {"yyyy-MM-dd HH:mm", "2014-05-12 24:00", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12 10:60", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12 09:30:45", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12  09:30", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12\t09:30", false},
        {"yyyy-MM-dd HH:mm", "2014-05-12 09: 30", false},
        {"yyyyMMdd", "20140512", true},
        {"yyyyMMddHHmm", "201405120930", true},
    };
    cvx::DateFormatter formatter;
    for (const auto &c : cases) {
        formatter.setDateFormat(QString::fromLatin1(c.pattern));
        EXPECT_EQ(formatter.dateFromString(QString::fromLatin1(c.text)).isValid(), c.ok)
            << c.pattern << " / \"" << c.text << "\"";
    }
}

TEST_F(TokyoTime, ReadsLocalTimeAndWritesItBack) {
    cvx::DateFormatter formatter("yyyy-MM-dd HH:mm:ss SSS");
    const QDateTime read = formatter.dateFromString("2014-05-12 09:30:45 123");
    EXPECT_EQ(read, sample());
    EXPECT_EQ(formatter.stringFromDate(read), "2014-05-12 09:30:45 123");
    EXPECT_FALSE(cvx::DateFormatter().dateFromString("2014-05-12").isValid());
}

TEST(DateFormatter, OnePerThread) {
    cvx::DateFormatter *mine = &cvx::DateFormatter::forThisThread();
    EXPECT_EQ(mine, &cvx::DateFormatter::forThisThread());
    mine->setDateFormat("yyyyMMdd");
    cvx::DateFormatter *other = nullptr;
    QString otherPattern;
    std::thread([&] {
        other = &cvx::DateFormatter::forThisThread();
        otherPattern = other->dateFormat();
    }).join();
    EXPECT_NE(mine, other);
    EXPECT_EQ(otherPattern, "");
    EXPECT_EQ(cvx::DateFormatter::forThisThread().dateFormat(), "yyyyMMdd");
}
