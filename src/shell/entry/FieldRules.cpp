#include "shell/entry/FieldRules.h"

#include "records/NSStringExt.h"

namespace entry {

QString cutToLength(const QString &text, int limit) {
    if (text.size() <= limit) return text;
    int length = limit;
    if (length > 0 && text.at(length - 1).isHighSurrogate() && text.at(length).isLowSurrogate()) --length;
    return text.left(length);
}

ChartNumberEdit checkChartNumber(const QString &edited, int cursor, const QString &lastAccepted) {
    if (!edited.isEmpty() && !NSStringExt::validateDBCS(edited, kChartNumberLimit)) {
        int restored = static_cast<int>(lastAccepted.size());
        int caret = cursor <= 1 ? 0 : (cursor <= restored ? cursor - 1 : restored);
        return {lastAccepted, caret, false};
    }
    QString accepted = cutToLength(edited, kChartNumberLimit);
    return {accepted, qMin(cursor, static_cast<int>(accepted.size())), true};
}

QString limitName(const QString &text) {
    return cutToLength(text, kNameLimit);
}

QString limitRemark(const QString &text) {
    return cutToLength(text, kRemarkLimit);
}

}  // namespace entry
