#include <gtest/gtest.h>

#include <limits>

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

}  // namespace
