#pragma once

// ICU glue shared by the date sources of this folder; not for use outside it.

#include <unicode/calendar.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <QDateTime>
#include <QString>
#include <memory>

namespace cvx::detail {

// A new copy of the host's time zone. TZ is read again whenever it has changed, so the zone
// always agrees with the one QDateTime uses for local time.
std::unique_ptr<icu::TimeZone> localTimeZone();

// Moves the Julian/Gregorian switch far into the past, as QDate counts, so that days before
// 1582 get the same components from ICU and Qt.
void makeProleptic(icu::Calendar &calendar);

inline icu::UnicodeString toIcu(const QString &text) {
    return icu::UnicodeString(reinterpret_cast<const char16_t *>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

inline QString fromIcu(const icu::UnicodeString &text) {
    return QString(reinterpret_cast<const QChar *>(text.getBuffer()), text.length());
}

inline UDate toUDate(const QDateTime &date) {
    return static_cast<UDate>(date.toMSecsSinceEpoch());
}

// The Qt value of an ICU point in time, in local time.
QDateTime fromUDate(UDate millis);

}  // namespace cvx::detail
