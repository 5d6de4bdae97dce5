#include "platform/Dates.h"

#include <unicode/gregocal.h>
#include <unicode/locid.h>

#include <QtGlobal>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/DatesIcu.h"

namespace cvx {

namespace detail {

std::unique_ptr<icu::TimeZone> localTimeZone() {
    // ICU's host detection keeps static buffers and ICU caches its default zone for good, so
    // detect under one lock and only when TZ has changed.
    static std::mutex mutex;
    static QByteArray seenTz;
    static bool seenTzSet = false;
    static std::unique_ptr<icu::TimeZone> zone;

    std::lock_guard lock(mutex);
    const bool tzSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray tz = qgetenv("TZ");
    if (!zone || tzSet != seenTzSet || tz != seenTz) {
        zone.reset(icu::TimeZone::detectHostTimeZone());
        if (!zone) zone.reset(icu::TimeZone::getUnknown().clone());
        seenTz = tz;
        seenTzSet = tzSet;
    }
    return std::unique_ptr<icu::TimeZone>(zone->clone());
}

void makeProleptic(icu::Calendar &calendar) {
    if (auto *gregorian = dynamic_cast<icu::GregorianCalendar *>(&calendar)) {
        UErrorCode status = U_ZERO_ERROR;
        // About 300,000 years back: far enough for any date, near enough for ICU's day counts.
        gregorian->setGregorianChange(-1e16, status);
    }
}

QDateTime fromUDate(UDate millis) {
    if (!std::isfinite(millis) || std::fabs(millis) > 9e15) return {};
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(millis)));
}

}  // namespace detail

struct Calendar::Impl {
    // Mutated by the const queries (set time, read fields); hence one user at a time.
    std::unique_ptr<icu::Calendar> cal;
};

namespace {

std::unique_ptr<icu::Calendar> makeGregorianCalendar() {
    UErrorCode status = U_ZERO_ERROR;
    auto cal = std::make_unique<icu::GregorianCalendar>(detail::localTimeZone().release(),
                                                        icu::Locale("en_US_POSIX"), status);
    if (U_FAILURE(status)) qFatal("ICU cannot make a Gregorian calendar: %s", u_errorName(status));
    detail::makeProleptic(*cal);
    return cal;
}

std::unique_ptr<icu::Calendar> makeCalendarFor(const icu::Locale &locale) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> cal(
        icu::Calendar::createInstance(detail::localTimeZone().release(), locale, status));
    if (U_FAILURE(status) || !cal) return makeGregorianCalendar();
    detail::makeProleptic(*cal);
    return cal;
}

// Making a calendar looks up locale and week data, which costs far more than copying one; bulk
// jobs make one per row. Each thread keeps the last calendar made per locale and hands out
// copies while the locale and TZ stay as they were.
std::unique_ptr<icu::Calendar> cachedCalendar(const char *localeName, bool gregorian) {
    struct Entry {
        std::string locale;
        QByteArray tz;
        bool tzSet = false;
        bool gregorian = false;
        std::unique_ptr<icu::Calendar> prototype;
    };
    thread_local std::vector<Entry> cache;
    const bool tzSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray tz = qgetenv("TZ");
    for (const Entry &e : cache) {
        if (e.gregorian == gregorian && e.locale == localeName && e.tzSet == tzSet && e.tz == tz)
            return std::unique_ptr<icu::Calendar>(e.prototype->clone());
    }
    std::unique_ptr<icu::Calendar> made =
        gregorian ? makeGregorianCalendar() : makeCalendarFor(icu::Locale(localeName));
    if (cache.size() >= 8) cache.erase(cache.begin());
    cache.push_back({localeName, tz, tzSet, gregorian, std::unique_ptr<icu::Calendar>(made->clone())});
    return made;
}

std::unique_ptr<icu::Calendar> gregorianCalendar() {
    return cachedCalendar("", true);
}

std::unique_ptr<icu::Calendar> calendarFor(const icu::Locale &locale) {
    return cachedCalendar(locale.getName(), false);
}

}  // namespace

Calendar::Calendar(std::unique_ptr<Impl> impl) : d_(std::move(impl)) {}

Calendar::Calendar(const Calendar &other)
    : d_(std::make_unique<Impl>(Impl{std::unique_ptr<icu::Calendar>(other.d_->cal->clone())})) {}

Calendar &Calendar::operator=(const Calendar &other) {
    if (this != &other) d_->cal.reset(other.d_->cal->clone());
    return *this;
}

Calendar::Calendar(Calendar &&) noexcept = default;
Calendar &Calendar::operator=(Calendar &&) noexcept = default;
Calendar::~Calendar() = default;

Calendar Calendar::gregorian() {
    return Calendar(std::make_unique<Impl>(Impl{gregorianCalendar()}));
}

Calendar Calendar::user() {
    return Calendar(std::make_unique<Impl>(Impl{calendarFor(icu::Locale::getDefault())}));
}

Calendar Calendar::forLocale(const QString &localeId) {
    const icu::Locale locale(localeId.toUtf8().constData());
    if (locale.isBogus()) return gregorian();
    return Calendar(std::make_unique<Impl>(Impl{calendarFor(locale)}));
}

Calendar Calendar::application() {
    Calendar cal = user();
    if (cal.identifier() == QLatin1String("japanese")) return gregorian();
    return cal;
}

QString Calendar::identifier() const {
    return QString::fromLatin1(d_->cal->getType());
}

QString Calendar::timeZoneId() const {
    icu::UnicodeString id;
    return detail::fromIcu(d_->cal->getTimeZone().getID(id));
}

DateComponents Calendar::components(const QDateTime &date) const {
    if (!date.isValid()) return {};
    icu::Calendar &cal = *d_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(detail::toUDate(date), status);
    DateComponents c;
    c.era = cal.get(UCAL_ERA, status);
    c.year = cal.get(UCAL_YEAR, status);
    c.month = cal.get(UCAL_MONTH, status) + 1;
    c.day = cal.get(UCAL_DATE, status);
    c.hour = cal.get(UCAL_HOUR_OF_DAY, status);
    c.minute = cal.get(UCAL_MINUTE, status);
    c.second = cal.get(UCAL_SECOND, status);
    c.millisecond = cal.get(UCAL_MILLISECOND, status);
    c.weekday = cal.get(UCAL_DAY_OF_WEEK, status);
    if (U_FAILURE(status)) return {};
    return c;
}

QDateTime Calendar::dateFromComponents(int year, int month, int day, int hour, int minute, int second,
                                       int millisecond) const {
    icu::Calendar &cal = *d_->cal;
    cal.clear();
    cal.set(UCAL_YEAR, year);
    // ICU counts months from 0 (month 0 becomes -1: December of the year before).
    cal.set(UCAL_MONTH, month > INT_MIN ? month - 1 : month);
    cal.set(UCAL_DATE, day);
    cal.set(UCAL_HOUR_OF_DAY, hour);
    cal.set(UCAL_MINUTE, minute);
    cal.set(UCAL_SECOND, second);
    cal.set(UCAL_MILLISECOND, millisecond);
    UErrorCode status = U_ZERO_ERROR;
    const UDate millis = cal.getTime(status);
    if (U_FAILURE(status)) return {};
    return detail::fromUDate(millis);
}

int Calendar::difference(const QDateTime &from, const QDateTime &to, int field) const {
    if (!from.isValid() || !to.isValid()) return 0;
    icu::Calendar &cal = *d_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(detail::toUDate(from), status);
    const int32_t n =
        cal.fieldDifference(detail::toUDate(to), static_cast<UCalendarDateFields>(field), status);
    return U_FAILURE(status) ? 0 : n;
}

QDateTime Calendar::add(const QDateTime &date, int field, int amount) const {
    if (!date.isValid()) return {};
    icu::Calendar &cal = *d_->cal;
    UErrorCode status = U_ZERO_ERROR;
    cal.setTime(detail::toUDate(date), status);
    cal.add(static_cast<UCalendarDateFields>(field), amount, status);
    const UDate millis = cal.getTime(status);
    if (U_FAILURE(status)) return {};
    return detail::fromUDate(millis);
}

int Calendar::yearsBetween(const QDateTime &from, const QDateTime &to) const {
    return difference(from, to, UCAL_YEAR);
}

int Calendar::daysBetween(const QDateTime &from, const QDateTime &to) const {
    return difference(from, to, UCAL_DATE);
}

QDateTime Calendar::addYears(const QDateTime &date, int years) const {
    return add(date, UCAL_YEAR, years);
}

QDateTime Calendar::addDays(const QDateTime &date, int days) const {
    return add(date, UCAL_DATE, days);
}

}  // namespace cvx
