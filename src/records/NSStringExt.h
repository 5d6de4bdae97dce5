#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>

// Text utilities used by nearly every window and store. Stateless; safe from any thread.
// Lengths and positions count UTF-16 code units. A null text in gives a null text out where the
// result is a text taken from it.
class NSStringExt {
public:
    using CharacterSet = std::function<bool(QChar)>;

    // Tab, U+000A to U+000D, U+0085 and every Unicode space or separator (U+00A0, U+3000, U+2028...).
    static bool isWhitespaceOrNewline(QChar c);
    // U+000A to U+000D, U+0085, U+2028, U+2029.
    static bool isNewline(QChar c);

    // Without white space and newlines at both ends.
    static QString trim(const QString &text);
    // Without white space and newlines at the end; the start stays.
    static QString trimRight(const QString &text);
    // Without the trailing run of code units that belong to the set.
    static QString stringByTrimmingRightCharactersInSet(const QString &text, const CharacterSet &set);
    // Without newlines at both ends; blanks and inner newlines stay.
    static QString trimNewline(const QString &text);

    // An acceptable identifier (chart number) of 1 to maxLength characters: ASCII letters and
    // digits, ( ) - _ @ + [ ] and the blank, not starting with a blank.
    static bool validateDBCS(const QString &text, qint64 maxLength);
    // True for a blank or empty text, else as validateDBCS.
    static bool validateDBCS2(const QString &text, qint64 maxLength);

    // False when the part is null or empty; else whether the text holds it, case-sensitively,
    // composed and decomposed forms of a character counting as equal.
    static bool myContainsString(const QString &text, const QString &part);

    // The time part: the second field when the text splits at single blanks into exactly two
    // fields, else "".
    static QString HHmm(const QString &text);
};
