#pragma once

#include <QDateTime>
#include <QString>

// Checks, reads and rewrites the date texts stored in patient files: year-month-day joined by
// "-", optionally one blank and hour:minute ("2014-05-12 09:30"). Dates are built in the
// Gregorian calendar and the local time zone; texts are written in the neutral locale. Each
// call makes its own calendar and formatters, so any thread may call.
class BBInitZBases {
public:
    // The point in time of the text's components, read as integers; a date part with fewer than
    // three "-" parts gives year, month and day 0, a missing hour:minute 00:00; seconds are
    // ignored. Out-of-range values carry over (30 February 2014 is 2 March).
    static QDateTime createDateFromDateString(const QString &text);
    // A real day of a year from 1 on (29 February in every year), and when a time follows, an
    // hour 0 to 23 and a minute 0 to 59.
    static bool isOKfromDate(const QString &text);
    // The text read by createDateFromDateString, written with forFormat; formatTime is unused.
    static QString setTStrFromTstr(const QString &text, const QString &formatTime, const QString &forFormat);
    // The text read strictly with the pattern formatTime, written with forFormat; null when the
    // text does not match formatTime.
    static QString setTStrFromTstrHHmm(const QString &text, const QString &formatTime,
                                       const QString &forFormat);
};
