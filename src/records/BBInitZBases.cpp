#include "records/BBInitZBases.h"

#include <QStringList>

#include "platform/DateFormatter.h"
#include "platform/Dates.h"
#include "platform/Numbers.h"

QDateTime BBInitZBases::createDateFromDateString(const QString &text) {
    const QStringList fields = text.split(QLatin1Char(' '));
    const QStringList date = fields[0].split(QLatin1Char('-'));
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    if (date.size() >= 3) {
        year = cvx::intValue(date[0]);
        month = cvx::intValue(date[1]);
        day = cvx::intValue(date[2]);
    }
    if (fields.size() >= 2) {
        const QStringList time = fields[1].split(QLatin1Char(':'));
        if (time.size() >= 2) {
            hour = cvx::intValue(time[0]);
            minute = cvx::intValue(time[1]);
        }
    }
    return cvx::Calendar::gregorian().dateFromComponents(year, month, day, hour, minute);
}

bool BBInitZBases::isOKfromDate(const QString &text) {
    const QStringList fields = text.split(QLatin1Char(' '));
    // A date without all three parts or a time without its minute is no date, rather than a
    // read past the parts there are.
    const QStringList date = fields[0].split(QLatin1Char('-'));
    if (date.size() < 3) return false;
    const int year = cvx::intValue(date[0]);
    const int month = cvx::intValue(date[1]);
    const int day = cvx::intValue(date[2]);
    if (year < 1 || month < 1 || month > 12) return false;
    int lastDay = 31;
    if (month == 4 || month == 6 || month == 9 || month == 11)
        lastDay = 30;
    else if (month == 2)
        lastDay = 29;  // stored texts have always accepted 29 February in every year
    if (day < 1 || day > lastDay) return false;

    if (fields.size() >= 2) {
        const QStringList time = fields[1].split(QLatin1Char(':'));
        if (time.size() < 2) return false;
        const int hour = cvx::intValue(time[0]);
        const int minute = cvx::intValue(time[1]);
        if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return false;
    }
    return true;
}

QString BBInitZBases::setTStrFromTstr(const QString &text, const QString &formatTime,
                                      const QString &forFormat) {
    Q_UNUSED(formatTime);
    return cvx::DateFormatter(forFormat).stringFromDate(createDateFromDateString(text));
}

QString BBInitZBases::setTStrFromTstrHHmm(const QString &text, const QString &formatTime,
                                          const QString &forFormat) {
    const QDateTime date = cvx::DateFormatter(formatTime).dateFromString(text);
    if (!date.isValid()) return {};
    return cvx::DateFormatter(forFormat).stringFromDate(date);
}
