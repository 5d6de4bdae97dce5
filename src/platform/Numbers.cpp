#include "platform/Numbers.h"

#include <locale.h>
#include <stdlib.h>

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace cvx {

namespace {

locale_t cLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return locale;
}

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

qsizetype skipSpace(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace()) ++i;
    return i;
}

// Reads sign and digits, saturating at the bounds given.
qint64 clampedInteger(QStringView text, qint64 min, qint64 max) {
    qsizetype i = skipSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulate towards the sign so that the most negative value is reachable.
    qint64 value = 0;
    for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
        const int digit = text[i].unicode() - '0';
        if (negative) {
            if (value < (min + digit) / 10) return min;
            value = value * 10 - digit;
        } else {
            if (value > (max - digit) / 10) return max;
            value = value * 10 + digit;
        }
    }
    return value;
}

// The ASCII text of the leading decimal number, or empty when there is none.
QByteArray leadingNumber(QStringView text) {
    const qsizetype start = skipSpace(text);
    qsizetype i = start;
    auto digitsFrom = [&](qsizetype k) {
        while (k < text.size() && isAsciiDigit(text[k])) ++k;
        return k;
    };
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) ++i;
    const qsizetype intEnd = digitsFrom(i);
    qsizetype end = intEnd;
    bool anyDigit = intEnd > i;
    if (end < text.size() && text[end] == QLatin1Char('.')) {
        const qsizetype fracEnd = digitsFrom(end + 1);
        if (fracEnd > end + 1 || anyDigit) {
            anyDigit = anyDigit || fracEnd > end + 1;
            end = fracEnd;
        }
    }
    if (!anyDigit) return {};
    if (end < text.size() && (text[end] == QLatin1Char('e') || text[end] == QLatin1Char('E'))) {
        qsizetype k = end + 1;
        if (k < text.size() && (text[k] == QLatin1Char('+') || text[k] == QLatin1Char('-'))) ++k;
        const qsizetype expEnd = digitsFrom(k);
        if (expEnd > k) end = expEnd;
    }
    return text.sliced(start, end - start).toLatin1();
}

}  // namespace

int intValue(QStringView text) {
    return static_cast<int>(
        clampedInteger(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

qint64 integerValue(QStringView text) {
    return clampedInteger(text, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
}

int boundedIntValue(QStringView text) {
    return static_cast<int>(clampedInteger(text, -kReadLimit, kReadLimit));
}

int boundedWholeValue(QStringView text) {
    const double value = doubleValue(text);
    return std::isnan(value) ? 0 : static_cast<int>(std::clamp<double>(value, -kReadLimit, kReadLimit));
}

float boundedFloatValue(QStringView text) {
    const float value = floatValue(text);
    return std::isnan(value) ? 0.0f : std::clamp<float>(value, -kReadLimit, kReadLimit);
}

double doubleValue(QStringView text) {
    const QByteArray number = leadingNumber(text);
    return number.isEmpty() ? 0.0 : strtod_l(number.constData(), nullptr, cLocale());
}

float floatValue(QStringView text) {
    const QByteArray number = leadingNumber(text);
    return number.isEmpty() ? 0.0f : strtof_l(number.constData(), nullptr, cLocale());
}

QString format(const char *pattern, ...) {
    const locale_t previous = uselocale(cLocale());
    va_list args;
    va_start(args, pattern);
    va_list again;
    va_copy(again, args);
    char buffer[256];
    const int size = std::vsnprintf(buffer, sizeof buffer, pattern, args);
    QString result;
    if (size >= 0 && size < int(sizeof buffer)) {
        result = QString::fromUtf8(buffer, size);
    } else if (size >= 0) {
        QByteArray big(size + 1, Qt::Uninitialized);
        std::vsnprintf(big.data(), big.size(), pattern, again);
        result = QString::fromUtf8(big.constData(), size);
    }
    va_end(again);
    va_end(args);
    uselocale(previous);
    return result;
}

}  // namespace cvx
