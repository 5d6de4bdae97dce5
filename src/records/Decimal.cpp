#include "records/Decimal.h"

#include <QByteArray>
#include <cmath>
#include <cstdint>
#include <numeric>

#include "platform/Numbers.h"

namespace cvx {

namespace {

using i128 = __int128;

// Checked steps: each sets *bad on overflow and then returns 0.
i128 add(i128 a, i128 b, bool *bad) {
    i128 r;
    if (__builtin_add_overflow(a, b, &r)) *bad = true;
    return *bad ? 0 : r;
}

i128 mul(i128 a, i128 b, bool *bad) {
    i128 r;
    if (__builtin_mul_overflow(a, b, &r)) *bad = true;
    return *bad ? 0 : r;
}

i128 gcd(i128 a, i128 b) {
    // Callers never pass the most negative value: every stored numerator stays clear of it.
    a = a < 0 ? -a : a;
    b = b < 0 ? -b : b;
    while (b != 0) {
        // Most values fit in 64 bits, where a step costs far less than a 128-bit remainder.
        if ((a >> 64) == 0 && (b >> 64) == 0)
            return static_cast<i128>(std::gcd(static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(b)));
        i128 t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// Keeps numerators one step away from the value whose negation overflows.
constexpr i128 kLimit = ((i128(1) << 126) - 1) * 2 + 1;  // 2^127 - 1

}  // namespace

Decimal Decimal::make(i128 num, i128 den, bool bad) {
    if (bad || num < -kLimit || den < -kLimit) return overflow();
    if (den < 0) {
        num = -num;
        den = -den;
    }
    const i128 g = gcd(num, den);
    Decimal d;
    d.num_ = g > 1 ? num / g : num;
    d.den_ = g > 1 ? den / g : den;
    return d;
}

bool Decimal::parse(std::string_view text, Decimal *out) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    i128 num = 0;
    i128 den = 1;
    bool bad = false;
    bool digits = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return false;
        digits = true;
        num = add(mul(num, 10, &bad), c - '0', &bad);
        if (point) den = mul(den, 10, &bad);
    }
    if (!digits) return false;
    *out = make(negative ? -num : num, den, bad);
    return true;
}

namespace {

// |value| * 10^6 rounded as "%f" rounds it (to nearest, a tie to even), for |value| < 2^53:
// its binary value times 10^6 is exact in 128 bits, and no text is written.
i128 sixDecimalMagnitude(double value) {
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    const int shift = 53 - exponent;  // |value| == mantissa * 2^-shift
    if (shift >= 120) return 0;       // far below the last decimal
    const i128 scaled = static_cast<i128>(std::ldexp(fraction, 53)) * 1000000;  // < 2^73
    i128 whole = scaled >> shift;
    if (shift > 0) {
        const i128 rest = scaled & ((i128(1) << shift) - 1);
        const i128 half = i128(1) << (shift - 1);
        if (rest > half || (rest == half && (whole & 1) != 0)) whole += 1;
    }
    return whole;
}

constexpr double kTwoTo53 = 9007199254740992.0;

}  // namespace

std::optional<std::int64_t> Decimal::sixDecimalMillionths(double value) {
    if (!(std::fabs(value) < 4294967296.0)) return std::nullopt;  // NaN too
    const auto magnitude = static_cast<std::int64_t>(sixDecimalMagnitude(value));
    return value < 0 ? -magnitude : magnitude;
}

Decimal Decimal::fromSixDecimals(double value) {
    if (!std::isfinite(value)) return overflow();
    // Readings are far below 2^53.
    if (std::fabs(value) < kTwoTo53) {
        i128 whole = sixDecimalMagnitude(value);
        Decimal d;
        if ((whole >> 64) != 0) {
            d.den_ = 1000000;
            for (int i = 0; i < 6 && whole % 2 == 0; ++i) whole /= 2, d.den_ /= 2;
            for (int i = 0; i < 6 && whole % 5 == 0; ++i) whole /= 5, d.den_ /= 5;
        } else {
            std::uint64_t small = static_cast<std::uint64_t>(whole);
            std::uint64_t den = 1000000;
            for (int i = 0; i < 6 && small % 2 == 0; ++i) small /= 2, den /= 2;
            for (int i = 0; i < 6 && small % 5 == 0; ++i) small /= 5, den /= 5;
            whole = small;
            d.den_ = den;
        }
        d.num_ = value < 0 ? -whole : whole;
        return d;
    }
    // In the C locale: QApplication takes LC_NUMERIC from the user, whose "%f" may write a
    // decimal comma that parse() refuses.
    const QByteArray text = format("%f", value).toLatin1();
    Decimal d;
    return parse(std::string_view(text.constData(), std::size_t(text.size())), &d) ? d : overflow();
}

Decimal Decimal::operator+(const Decimal &o) const {
    if (overflow_ || o.overflow_) return overflow();
    bool bad = false;
    const i128 g = gcd(den_, o.den_);
    const i128 a = den_ / g;
    const i128 b = o.den_ / g;
    const i128 num = add(mul(num_, b, &bad), mul(o.num_, a, &bad), &bad);
    return make(num, mul(a, o.den_, &bad), bad);
}

Decimal Decimal::operator-(const Decimal &o) const {
    Decimal negated = o;
    negated.num_ = -o.num_;
    return *this + negated;
}

Decimal Decimal::operator*(const Decimal &o) const {
    if (overflow_ || o.overflow_) return overflow();
    // Cross-reduce first so that exact products of modest values never overflow.
    bool bad = false;
    const i128 g1 = gcd(num_, o.den_);
    const i128 g2 = gcd(o.num_, den_);
    const i128 n1 = g1 > 1 ? num_ / g1 : num_;
    const i128 d2 = g1 > 1 ? o.den_ / g1 : o.den_;
    const i128 n2 = g2 > 1 ? o.num_ / g2 : o.num_;
    const i128 d1 = g2 > 1 ? den_ / g2 : den_;
    const i128 num = mul(n1, n2, &bad);
    return make(num, mul(d1, d2, &bad), bad);
}

Decimal Decimal::operator/(const Decimal &o) const {
    if (o.isZero()) throw DecimalDivideByZero();
    if (overflow_ || o.overflow_) return overflow();
    return *this * make(o.den_, o.num_, false);
}

i128 Decimal::roundHalfEven() const {
    return overflow_ ? 0 : roundHalfEven(num_, den_);
}

i128 Decimal::roundHalfEven(i128 num, i128 den) {
    if (den < 0) {
        num = -num;
        den = -den;
    }
    i128 q = num / den;
    i128 r = num % den;
    if (r < 0) {  // floor division
        q -= 1;
        r += den;
    }
    const i128 rest = den - r;  // compares 2r with den without overflow
    if (r > rest || (r == rest && q % 2 != 0)) q += 1;
    return q;
}

}  // namespace cvx
