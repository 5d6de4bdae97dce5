#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace cvx {

class DecimalDivideByZero : public std::domain_error {
public:
    DecimalDivideByZero() : std::domain_error("decimal divide by zero") {}
};

// Exact number read from decimal text. Kept as a reduced fraction so that quotients stay
// exact and a half-way result is recognised as a tie, which binary doubles get wrong.
//
// A value or result beyond 128-bit fractions does not throw (every throw lands in the
// exception log): it marks the result as overflowed, and so does every result computed
// from it. Measured values are far from this.
class Decimal {
public:
    Decimal() = default;
    explicit Decimal(std::int64_t whole) : num_(whole) {}

    // "[+-]digits[.digits]"; false when the text is anything else.
    static bool parse(std::string_view text, Decimal *out);
    // The value as written with six decimals ("%f"), read back exactly; overflowed when
    // it is not finite or too large.
    static Decimal fromSixDecimals(double value);
    // The same six-decimal value as a whole number of millionths, for a finite value below
    // 2^32 in magnitude; nothing otherwise.
    static std::optional<std::int64_t> sixDecimalMillionths(double value);

    Decimal operator+(const Decimal &o) const;
    Decimal operator-(const Decimal &o) const;
    Decimal operator*(const Decimal &o) const;
    // Throws DecimalDivideByZero for a zero divisor.
    Decimal operator/(const Decimal &o) const;
    bool operator==(const Decimal &o) const = default;

    bool overflowed() const { return overflow_; }
    bool isZero() const { return !overflow_ && num_ == 0; }
    // Nearest whole number, a tie going to the even one. Meaningless when overflowed.
    __int128 roundHalfEven() const;
    // The same for the quotient num / den, den != 0, |num| and |den| below 2^126.
    static __int128 roundHalfEven(__int128 num, __int128 den);

private:
    static Decimal make(__int128 num, __int128 den, bool overflow);  // reduces; den != 0
    static Decimal overflow() {
        Decimal d;
        d.overflow_ = true;
        return d;
    }

    __int128 num_ = 0;
    __int128 den_ = 1;  // always > 0, gcd(num_, den_) == 1
    bool overflow_ = false;
};

}  // namespace cvx
