#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

namespace cvx {

// The fields of one point in time as a calendar sees it in its time zone.
struct DateComponents {
    int era = 0;
    int year = 0;
    int month = 0;  // 1 to 12 (13 in calendars with a thirteenth month)
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 0;  // 1 Sunday ... 7 Saturday; 0 only for an invalid date

    bool operator==(const DateComponents &) const = default;
};

// A calendar in the local time zone, over ICU. The local zone is taken when the calendar is
// made (TZ honoured). Values out of range are carried over as the calendar does (month 13 is
// January of the next year, day 0 the last day of the month before).
//
// A Calendar is a value: copies are independent. One object must not be used from two threads
// at once; make one per use or per thread, which is cheap.
class Calendar {
public:
    // Gregorian, counted proleptically before 1582 as QDate does.
    static Calendar gregorian();
    // The user's calendar: the one the default ICU locale names (its "calendar" keyword, or the
    // locale's own preference).
    static Calendar user();
    // The calendar a locale id such as "ja_JP@calendar=japanese" or "th_TH" names.
    static Calendar forLocale(const QString &localeId);
    // The calendar the program computes dates in: the user's, except that the Japanese era
    // calendar is replaced by a plain Gregorian one, so years are never counted in eras.
    static Calendar application();

    Calendar(const Calendar &other);
    Calendar &operator=(const Calendar &other);
    Calendar(Calendar &&) noexcept;
    Calendar &operator=(Calendar &&) noexcept;
    ~Calendar();

    // ICU's name of the calendar: "gregorian", "japanese", "buddhist", ...
    QString identifier() const;
    // Id of the time zone the calendar computes in, e.g. "Asia/Tokyo".
    QString timeZoneId() const;

    // All zero for an invalid date.
    DateComponents components(const QDateTime &date) const;
    // Invalid when the values lie beyond what the calendar can represent.
    QDateTime dateFromComponents(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                                 int millisecond = 0) const;

    // Whole years from one date to the other (negative when `to` is earlier); 0 for an invalid
    // date. Someone born on 29 February gets a year older on 28 February of a common year.
    int yearsBetween(const QDateTime &from, const QDateTime &to) const;
    // Whole days, counted on the calendar so that a change of daylight saving time is no day.
    int daysBetween(const QDateTime &from, const QDateTime &to) const;
    // 29 February plus one year is 28 February; the time of day stays.
    QDateTime addYears(const QDateTime &date, int years) const;
    QDateTime addDays(const QDateTime &date, int days) const;

private:
    struct Impl;
    explicit Calendar(std::unique_ptr<Impl> impl);
    int difference(const QDateTime &from, const QDateTime &to, int field) const;
    QDateTime add(const QDateTime &date, int field, int amount) const;

    std::unique_ptr<Impl> d_;
};

}  // namespace cvx
