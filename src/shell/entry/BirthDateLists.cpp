#include "shell/entry/BirthDateLists.h"

#include "platform/Dates.h"
#include "platform/Numbers.h"
#include "records/BBInitDatas.h"
#include "records/BBInitZBases.h"
#include "records/NSStringExt.h"

namespace entry {

namespace {

constexpr int kFirstYear = 1900;

std::function<QDateTime()> &nowProvider() {
    static std::function<QDateTime()> provider;
    return provider;
}

// The list's entry into the label; false for an index outside the list.
bool take(const QStringList &list, int index, QString &label) {
    if (index < 0 || index >= list.size()) return false;
    label = list.at(index);
    return true;
}

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace

int howManyDaysInThisYear(int year, int month) {
    switch (month) {
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        case 2:
            return isLeapYear(year) ? 29 : 28;
        default:
            return 31;
    }
}

void setNowProvider(std::function<QDateTime()> now) {
    nowProvider() = std::move(now);
}

QDateTime now() {
    return nowProvider() ? nowProvider()() : QDateTime::currentDateTime();
}

void BirthDateLists::setLabels(const QString &year, const QString &month, const QString &day,
                               const QString &age) {
    yearLabel_ = year;
    monthLabel_ = month;
    dayLabel_ = day;
    ageLabel_ = age;
}

void BirthDateLists::reloadYearArray() {
    if (!yearArray_.isEmpty()) return;
    const int currentYear = BBInitDatas::getCalendar().components(now()).year;
    for (int year = kFirstYear; year <= currentYear; ++year) yearArray_.append(QString::number(year));
    yearArray_.append(QStringLiteral(""));
}

void BirthDateLists::reloadMonthArray() {
    if (!monthArray_.isEmpty() || yearLabel_.isEmpty()) return;
    monthArray_.append(QStringLiteral(""));
    for (int month = 1; month <= 12; ++month) monthArray_.append(cvx::format("%02d", month));
}

int BirthDateLists::daysOfShownMonth() const {
    if (yearLabel_.isEmpty() || monthLabel_.isEmpty()) return 0;
    return howManyDaysInThisYear(cvx::intValue(yearLabel_), cvx::intValue(monthLabel_));
}

void BirthDateLists::fillDayArray(int days) {
    dayArray_.clear();
    if (days == 0) return;
    dayArray_.append(QStringLiteral(""));
    for (int day = 1; day <= days; ++day) dayArray_.append(cvx::format("%02d", day));
}

void BirthDateLists::reloadDayArray() {
    const int days = daysOfShownMonth();
    if (days == 0)
        dayLabel_ = QStringLiteral("");
    else if (cvx::intValue(dayLabel_) > days)
        dayLabel_ = QStringLiteral("01");
    fillDayArray(days);
}

void BirthDateLists::refreshLists() {
    reloadMonthArray();
    fillDayArray(daysOfShownMonth());
}

void BirthDateLists::calculateAge() {
    const QString year = NSStringExt::trim(yearLabel_), month = NSStringExt::trim(monthLabel_),
                  day = NSStringExt::trim(dayLabel_);
    if (year.isEmpty() || month.isEmpty() || day.isEmpty()) {
        ageLabel_ = QStringLiteral("");
        return;
    }
    const QDateTime birth =
        BBInitZBases::createDateFromDateString(yearLabel_ + u'-' + monthLabel_ + u'-' + dayLabel_);
    ageLabel_ = QString::number(BBInitDatas::getCalendar().yearsBetween(birth, now()));
}

bool BirthDateLists::chooseYear(int index) {
    if (!take(yearArray_, index, yearLabel_)) return false;
    reloadMonthArray();
    reloadDayArray();
    calculateAge();
    return true;
}

bool BirthDateLists::chooseMonth(int index) {
    if (!take(monthArray_, index, monthLabel_)) return false;
    reloadDayArray();
    calculateAge();
    return true;
}

bool BirthDateLists::chooseDay(int index) {
    if (!take(dayArray_, index, dayLabel_)) return false;
    calculateAge();
    return true;
}

QString BirthDateLists::birthday() const {
    if (yearLabel_.isEmpty() || monthLabel_.isEmpty() || dayLabel_.isEmpty()) return QStringLiteral("");
    return NSStringExt::trim(yearLabel_) + u'-' + NSStringExt::trim(monthLabel_) + u'-' +
           NSStringExt::trim(dayLabel_);
}

}  // namespace entry
