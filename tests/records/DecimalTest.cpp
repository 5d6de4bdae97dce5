#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "platform/Numbers.h"
#include "records/Decimal.h"

namespace {

using cvx::Decimal;

Decimal dec(const char *text) {
    Decimal d;
    EXPECT_TRUE(Decimal::parse(text, &d)) << text;
    return d;
}

TEST(DecimalTest, RoundsHalfToEvenOnBothSides) {
    const struct {
        const char *text;
        long long whole;
    } cases[] = {{"0.5", 0},   {"1.5", 2},   {"2.5", 2},   {"2.500001", 3}, {"-0.5", 0},
                 {"-1.5", -2}, {"-2.5", -2}, {"-2.4", -2}, {"-2.6", -3},    {"7", 7}};
    for (const auto &c : cases)
        EXPECT_EQ(static_cast<long long>(dec(c.text).roundHalfEven()), c.whole) << c.text;
}

TEST(DecimalTest, QuotientsStayExact) {
    // 1/3 * 3 is exactly 1, so adding 0.5 is a tie that goes to 2.
    EXPECT_EQ(static_cast<long long>((Decimal(1) / Decimal(3) * Decimal(3) + dec("0.5")).roundHalfEven()), 2);
    EXPECT_EQ(dec("0.1") + dec("0.2"), dec("0.3"));
    EXPECT_THROW(Decimal(1) / (dec("1.040000") - dec("1.04")), cvx::DecimalDivideByZero);
}

TEST(DecimalTest, RejectsOtherTextAndMarksOverflow) {
    Decimal d;
    for (const char *text : {"", "-", ".", "1e3", "nan", "1.2.3", " 1", "0x10"})
        EXPECT_FALSE(Decimal::parse(text, &d)) << text;
    EXPECT_TRUE(Decimal::fromSixDecimals(1e300).overflowed());
    EXPECT_TRUE(Decimal::fromSixDecimals(std::numeric_limits<double>::infinity()).overflowed());
    const Decimal big = Decimal::fromSixDecimals(1e25);
    EXPECT_FALSE(big.overflowed());
    EXPECT_TRUE((big * big).overflowed());
    EXPECT_TRUE((big * big - big + Decimal(1)).overflowed());
}

TEST(DecimalTest, SixDecimalsMatchThePrintedText) {
    // Ties at the sixth decimal (1/128, 3/128), values that print with a carry, signs, and
    // magnitudes from below the last decimal up to where mantissas stop holding fractions.
    std::vector<double> values{
        0,  -0.0, 1.0 / 128, 3.0 / 128, -3.0 / 128, 0.0000005,          0.9999995,          1.04,  -3.4,
        25, 0.7,  1e-7,      5e-324,    1.5e-7,     9007199254740991.0, 4503599627370495.5, -1e17, 3e22};
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::ldexp(1.0, static_cast<int>(random() % 80) - 30);
        values.push_back((static_cast<double>(random() % 2000001) / 1000000 - 1) * magnitude);
    }
    for (const double v : values) {
        Decimal printed;
        ASSERT_TRUE(Decimal::parse(cvx::format("%f", v).toStdString(), &printed)) << v;
        EXPECT_EQ(Decimal::fromSixDecimals(v), printed) << cvx::format("%.17g", v).toStdString();
        const std::optional<std::int64_t> millionths = Decimal::sixDecimalMillionths(v);
        ASSERT_EQ(millionths.has_value(), std::fabs(v) < 4294967296.0) << v;
        if (millionths) {
            EXPECT_EQ(Decimal(*millionths) / Decimal(1000000), printed) << v;
        }
    }
}

}  // namespace
