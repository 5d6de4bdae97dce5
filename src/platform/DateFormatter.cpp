#include "platform/DateFormatter.h"

#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include "platform/DatesIcu.h"

namespace cvx {

namespace {

QString whiteSpaceOf(const QString &text) {
    QString spaces;
    for (QChar c : text)
        if (c.isSpace()) spaces += c;
    return spaces;
}

}  // namespace

struct DateFormatter::Impl {
    std::unique_ptr<icu::SimpleDateFormat> format;
};

DateFormatter::DateFormatter() : d_(std::make_unique<Impl>()) {
    const icu::Locale neutral("en_US_POSIX");
    UErrorCode status = U_ZERO_ERROR;
    d_->format = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(), neutral, status);
    auto *calendar = new icu::GregorianCalendar(detail::localTimeZone().release(), neutral, status);
    if (U_FAILURE(status)) qFatal("ICU cannot make a date formatter: %s", u_errorName(status));
    detail::makeProleptic(*calendar);
    d_->format->adoptCalendar(calendar);
    // Also makes the calendar strict, so that a parsed 30 February is refused.
    d_->format->setLenient(false);
}

DateFormatter::DateFormatter(const QString &pattern) : DateFormatter() {
    setDateFormat(pattern);
}

DateFormatter::DateFormatter(DateFormatter &&) noexcept = default;
DateFormatter &DateFormatter::operator=(DateFormatter &&) noexcept = default;
DateFormatter::~DateFormatter() = default;

void DateFormatter::setDateFormat(const QString &pattern) {
    pattern_ = pattern;
    d_->format->applyPattern(detail::toIcu(pattern));
    // Every user sets its pattern before use, so this keeps a long-lived formatter on the
    // zone in force now.
    d_->format->adoptTimeZone(detail::localTimeZone().release());
}

QString DateFormatter::stringFromDate(const QDateTime &date) const {
    if (!date.isValid()) return {};
    if (pattern_.isEmpty()) return QStringLiteral("");
    icu::UnicodeString out;
    d_->format->format(detail::toUDate(date), out);
    return detail::fromIcu(out);
}

QDateTime DateFormatter::dateFromString(const QString &text) const {
    if (pattern_.isEmpty() || text.isEmpty()) return {};
    const icu::UnicodeString input = detail::toIcu(text);
    icu::ParsePosition position(0);
    const UDate millis = d_->format->parse(input, position);
    if (position.getErrorIndex() != -1 || position.getIndex() != input.length()) return {};
    // ICU skips white space before numbers even when strict; the text must have exactly the
    // pattern's white space (no field of the patterns in use holds any).
    if (whiteSpaceOf(text) != whiteSpaceOf(pattern_)) return {};
    return detail::fromUDate(millis);
}

}  // namespace cvx
