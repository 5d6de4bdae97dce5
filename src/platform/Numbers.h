#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

namespace cvx {

// Integer value of a text, the way every stored or typed number is read: leading white space
// skipped, an optional sign, then the ASCII digits up to the first other character. No digits
// give 0 ("08" is 8, "12a" is 12, "" is 0); a value beyond the type's range is clamped to it.
int intValue(QStringView text);
qint64 integerValue(QStringView text);

// Numbers from files that arithmetic (a difference, a scale, a sum) takes up afterwards are
// clamped to +-kReadLimit: far beyond any meaningful value of such a field, so that drawing
// still shows it as out of range, yet safe from overflow.
inline constexpr int kReadLimit = 1'000'000;
// intValue, clamped.
int boundedIntValue(QStringView text);
// The integer part of doubleValue, clamped; no number (NaN) gives 0.
int boundedWholeValue(QStringView text);
// floatValue, clamped; no number (NaN) gives 0.
float boundedFloatValue(QStringView text);

// The longest leading decimal number of a text (leading white space skipped): optional sign,
// digits with an optional "." fraction, an optional exponent; read as C's strtod does in the C
// locale. No number gives 0; a value too large gives an infinity of its sign.
double doubleValue(QStringView text);
float floatValue(QStringView text);

// printf-style formatting in the C locale ("." as decimal point whatever LC_NUMERIC says), e.g.
// format("%.1f", x) or format("%02ld", n). Texts are passed as UTF-8 with %s.
QString format(const char *pattern, ...) __attribute__((format(printf, 1, 2)));

}  // namespace cvx
