#include <cmath>
#include <optional>

#include "platform/Numbers.h"
#include "platform/UserDefaults.h"
#include "records/CalcSettingDatas.h"
#include "records/Decimal.h"
#include "records/UsbUtils.h"

namespace {

enum class Slope { Rising, Falling, Scaled };

struct Axis {
    double low = 0;   // value at position 0 on a rising axis, maxLen on a falling one
    double high = 0;  // the other end
    Slope slope = Slope::Rising;
    double coefC = 0;  // Scaled only: the span and offset of the positions
    double coefD = 0;
};

Axis fromRanges(const RangeData &src, Slope slope = Slope::Falling) {
    Axis a{cvx::floatValue(src.DataRange().min()), cvx::floatValue(src.DataRange().max()), slope};
    if (slope == Slope::Scaled) {
        a.coefC = cvx::floatValue(src.coefC());
        a.coefD = cvx::floatValue(src.coefD());
    }
    return a;
}

bool axisFor(std::int32_t flg, const CalcSettingDatas &calc, Axis *axis) {
    switch (flg) {
        case 0:
        case 10:
            *axis = {0, 1.04, Slope::Rising};
            return true;
        case 1:
            *axis = {25, 90, Slope::Rising};
            return true;
        case 2:
            *axis = {45, 100, Slope::Falling};
            return true;
        case 3:
            *axis = {0.7, 1.9, Slope::Falling};
            return true;
        case 4:
            *axis = fromRanges(calc.I_LEU().More().SrcData(), Slope::Scaled);
            return true;
        case 5:
            *axis = {50, 90, Slope::Falling};
            return true;
        case 6:
            *axis = fromRanges(calc.I_NH3().SrcData());
            return true;
        case 7:
            *axis = fromRanges(calc.I_LEU().Less().SrcData());
            return true;
        case 8:
            *axis = fromRanges(calc.LEU().SrcData());
            return true;
        case 9:
            *axis = fromRanges(calc.NH3().SrcData());
            return true;
        default:
            return false;
    }
}

// The position before rounding, in exact decimals or, for absurd magnitudes, long double.
template <class Num>
Num unrounded(Slope slope, Num v, Num a, Num c, Num maxLen, Num coefC, Num coefD) {
    switch (slope) {
        case Slope::Rising:
            return (v - a) / (c - a) * maxLen;
        case Slope::Falling:
            return (c - v) / (c - a) * maxLen;
        case Slope::Scaled:
            break;
    }
    return (c - v) / (c - a) * coefC + coefD;
}

// Both steps in the C locale, whatever decimal separator the user's LC_NUMERIC has.
long double sixDecimals(double v) {
    return std::isfinite(v) ? cvx::doubleValue(cvx::format("%f", v)) : v;
}

// The exact position from whole millionths, with one division, when every input is a modest
// number (every reading is); nothing otherwise.
std::optional<double> positionInMillionths(const Axis &ax, double value, std::int64_t maxLen) {
    using cvx::Decimal;
    using i128 = __int128;
    const std::optional<std::int64_t> v = Decimal::sixDecimalMillionths(value);
    const std::optional<std::int64_t> a = Decimal::sixDecimalMillionths(ax.low);
    const std::optional<std::int64_t> c = Decimal::sixDecimalMillionths(ax.high);
    constexpr std::int64_t kMaxLen = std::int64_t(1) << 31;
    if (!v || !a || !c || maxLen <= -kMaxLen || maxLen >= kMaxLen) return std::nullopt;
    i128 den = i128(*c) - *a;
    if (den == 0) throw cvx::DecimalDivideByZero();
    i128 num = 0;
    switch (ax.slope) {
        case Slope::Rising:
            num = (i128(*v) - *a) * maxLen;
            break;
        case Slope::Falling:
            num = (i128(*c) - *v) * maxLen;
            break;
        case Slope::Scaled: {
            const std::optional<std::int64_t> coefC = Decimal::sixDecimalMillionths(ax.coefC);
            const std::optional<std::int64_t> coefD = Decimal::sixDecimalMillionths(ax.coefD);
            if (!coefC || !coefD) return std::nullopt;
            // (c - v) / (c - a) * coefC + coefD, over the millionths of the coefficients
            num = (i128(*c) - *v) * *coefC + i128(*coefD) * den;
            den *= 1000000;
            break;
        }
    }
    return static_cast<double>(Decimal::roundHalfEven(num, den));
}

// Every input enters with six decimals, the quotient stays exact and only the final
// rounding loses anything, so a half-way position is a real tie and goes to even.
double position(const Axis &ax, double value, std::int64_t maxLen) {
    using cvx::Decimal;
    if (const std::optional<double> p = positionInMillionths(ax, value, maxLen)) return *p;
    const Decimal r = unrounded(ax.slope, Decimal::fromSixDecimals(value), Decimal::fromSixDecimals(ax.low),
                                Decimal::fromSixDecimals(ax.high), Decimal(maxLen),
                                Decimal::fromSixDecimals(ax.coefC), Decimal::fromSixDecimals(ax.coefD));
    if (!r.overflowed()) return static_cast<double>(r.roundHalfEven());

    // Beyond 128-bit fractions (or not finite), which no reading produces: such positions
    // are far from any tie and end up clamped.
    const long double a = sixDecimals(ax.low), c = sixDecimals(ax.high);
    if (c == a) throw cvx::DecimalDivideByZero();
    const long double approx = unrounded<long double>(ax.slope, sixDecimals(value), a, c, maxLen,
                                                      sixDecimals(ax.coefC), sixDecimals(ax.coefD));
    return std::isnan(approx) ? 0.0 : static_cast<double>(std::nearbyintl(approx));
}

const QString kAverage = QStringLiteral("平均レベル");

struct Words {
    QString high;
    QString low;
};

Words wordsFor(std::int64_t item) {
    switch (item) {
        case 1:
            return {QStringLiteral("高め"), QStringLiteral("低め")};
        case 2:
            return {QStringLiteral("強め"), QStringLiteral("弱め")};
        default:
            return {QStringLiteral("多め"), QStringLiteral("少なめ")};
    }
}

}  // namespace

double UsbUtils::getAxiYValue(double value, std::int32_t flg) {
    return getChartAxiYValue(value, flg, static_cast<std::uint32_t>(flg) < 11 ? 100 : 0);
}

double UsbUtils::getChartAxiYValue(double value, std::int32_t flg, std::int64_t maxLen) {
    const CalcSettingDatas &calc = CalcSettingDatas::getInst();
    Axis axis;
    if (!axisFor(flg, calc, &axis)) return 0;

    double v = value;
    if (flg == 0) {
        if (!(value > 1)) return value > -3.4 ? 1 : 0;
        v = std::log10(value);
    } else if (flg == 10) {
        v = value > 1 ? std::log10(value) : 0;
    }

    const double p = std::round(position(axis, v, maxLen));
    if (p <= 0) return 0;
    if (p > static_cast<double>(maxLen)) return static_cast<double>(maxLen);
    return p;
}

QString UsbUtils::getResultValue(double value, std::int64_t index) {
    const CalcSettingDatas &calc = CalcSettingDatas::getInst();
    double upper = 0;
    double lower = 0;
    const auto band = [&](const CalcValue &range) {
        upper = cvx::doubleValue(range.ChgData().AvgRange().max());
        lower = cvx::doubleValue(range.ChgData().AvgRange().min());
    };
    switch (index) {
        case 0:
        case 2:
            upper = 47, lower = 27;
            break;
        case 1:
            upper = 52, lower = 34;
            break;
        case 3:
            upper = 29, lower = 13;
            break;
        case 4:
            band(calc.I_LEU().More());
            break;
        case 5:
            upper = 53, lower = 35;
            break;
        case 6:
            band(calc.I_NH3());
            break;
        case 7:
            band(calc.I_LEU().Less());
            break;
        case 8:
            band(calc.LEU());
            break;
        case 9:
            band(calc.NH3());
            break;
        default:
            return QStringLiteral("");
    }
    const Words words = wordsFor(index);
    if (value > upper) return words.high;
    if (value > lower) return kAverage;
    return words.low;
}

QString UsbUtils::getContent(const QString &word, std::int32_t index) {
    if (index < 0 || index > 6) return QStringLiteral("");
    const int level = word == wordsFor(index).high ? 0 : word == kAverage ? 1 : 2;
    // Several windows rewrite this key; a short or malformed value gives no comment.
    const QVariantList items = cvx::UserDefaults::standard().arrayForKey(QStringLiteral("zcontent"));
    if (index >= items.size()) return QStringLiteral("");
    const QVariantList texts = items.at(index).toList();
    if (level >= texts.size()) return QStringLiteral("");
    return texts.at(level).toString();
}
