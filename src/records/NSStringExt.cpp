#include "records/NSStringExt.h"

#include <QStringList>

namespace {

QString trimmedBy(const QString &text, const NSStringExt::CharacterSet &set, bool left) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (end > 0 && set(text[end - 1])) --end;
    if (left)
        while (begin < end && set(text[begin])) ++begin;
    // mid keeps a null text null and an emptied one "".
    return text.mid(begin, end - begin);
}

bool isIdentifierCharacter(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')) return true;
    // Of white space only the blank: tab, CR and LF would end up in file names and in the
    // CR-separated frames sent to the instrument.
    return QStringView(u"()-_@+[] ").contains(c);
}

}  // namespace

bool NSStringExt::isWhitespaceOrNewline(QChar c) {
    return c.isSpace();
}

bool NSStringExt::isNewline(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QString NSStringExt::trim(const QString &text) {
    return trimmedBy(text, isWhitespaceOrNewline, true);
}

QString NSStringExt::trimRight(const QString &text) {
    return stringByTrimmingRightCharactersInSet(text, isWhitespaceOrNewline);
}

QString NSStringExt::stringByTrimmingRightCharactersInSet(const QString &text, const CharacterSet &set) {
    return trimmedBy(text, set, false);
}

QString NSStringExt::trimNewline(const QString &text) {
    return trimmedBy(text, isNewline, true);
}

bool NSStringExt::validateDBCS(const QString &text, qint64 maxLength) {
    if (text.isEmpty() || text.size() > maxLength) return false;
    if (text.front() == QLatin1Char(' ')) return false;
    // ASCII only, so the UTF-8 length never exceeds the UTF-16 one.
    for (QChar c : text)
        if (!isIdentifierCharacter(c)) return false;
    return true;
}

bool NSStringExt::validateDBCS2(const QString &text, qint64 maxLength) {
    return trim(text).isEmpty() || validateDBCS(text, maxLength);
}

bool NSStringExt::myContainsString(const QString &text, const QString &part) {
    if (part.isEmpty()) return false;
    return text.normalized(QString::NormalizationForm_C)
        .contains(part.normalized(QString::NormalizationForm_C));
}

QString NSStringExt::HHmm(const QString &text) {
    const QStringList fields = text.split(QLatin1Char(' '));
    return fields.size() == 2 ? fields[1] : QStringLiteral("");
}
