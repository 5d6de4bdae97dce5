#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/Numbers.h"
#include "platform/ScopedCommaLocale.h"

TEST(Numbers, IntegerValue) {
    constexpr qint64 kMin = std::numeric_limits<qint64>::min(), kMax = std::numeric_limits<qint64>::max();
    const struct {
        const char16_t *text;
        qint64 value;
    } cases[] = {
        {u"08", 8},
        {u"12a", 12},
        {u"", 0},
        {u"  -7", -7},
        {u"+5", 5},
        {u"- 5", 0},
        {u"\t\n\u3000 42", 42},
        {u"3.9", 3},
        {u"\uff11\uff12", 0},  // full-width digits
        {u"2147483648", 2147483648},
        {u"-9223372036854775808", kMin},
        {u"9223372036854775808", kMax},
        {u"-99999999999999999999999", kMin},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(cvx::integerValue(text), c.value) << text.toStdString();
        EXPECT_EQ(cvx::intValue(text), std::clamp<qint64>(c.value, INT_MIN, INT_MAX)) << text.toStdString();
        EXPECT_EQ(cvx::boundedIntValue(text), std::clamp<qint64>(c.value, -cvx::kReadLimit, cvx::kReadLimit))
            << text.toStdString();
    }
}

TEST(Numbers, DoubleValue) {
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"3.25abc", 3.25}, {".5", 0.5},  {"5.", 5.0},     {"-.5e3x", -500.0},  {"1e+", 1.0},
        {"  +2.5", 2.5},   {"abc", 0.0}, {".", 0.0},      {"-", 0.0},          {"inf", 0.0},
        {"0x10", 0.0},     {"1,5", 1.0}, {"1e-400", 0.0}, {"1e999", HUGE_VAL}, {"-1e999", -HUGE_VAL},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(cvx::doubleValue(QString::fromLatin1(c.text)), c.value) << c.text;
        EXPECT_EQ(cvx::boundedWholeValue(QString::fromLatin1(c.text)),
                  int(std::clamp<double>(c.value, -cvx::kReadLimit, cvx::kReadLimit)))
            << c.text;
        EXPECT_EQ(cvx::boundedFloatValue(QString::fromLatin1(c.text)),
                  std::clamp<float>(float(c.value), -cvx::kReadLimit, cvx::kReadLimit))
            << c.text;
    }
    EXPECT_EQ(cvx::boundedWholeValue(u"-999999999999"), -cvx::kReadLimit);
    EXPECT_EQ(cvx::floatValue(u"0.1"), 0.1f);
}

TEST(Numbers, FormatIgnoresTheUsersDecimalComma) {
    const cvxtest::ScopedCommaLocale comma;
    EXPECT_EQ(cvx::format("%.1f|%.0f|%02ld", 36.55, 2.5, 7L), "36.5|2|07");
    EXPECT_EQ(cvx::format("%s", "\xe6\xb8\x88"), QString::fromUtf8("\xe6\xb8\x88"));
    EXPECT_EQ(cvx::format("%300d", 1).size(), 300);
    EXPECT_EQ(cvx::doubleValue(u"1.5"), 1.5);
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma could be made";
}
