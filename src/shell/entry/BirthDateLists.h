#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

// The birth-date part of the patient-entry window without its widgets: the three choice lists
// (texts), the labels that show the chosen year, month and day, and the age computed from them.
namespace entry {

// Days of a month in the Gregorian calendar: 29 in February of a leap year (divisible by 4 and
// not by 100, or by 400), 28 in other Februaries, 30 in April, June, September and November,
// 31 in every other month (an impossible month too, so that no stored day is lost).
int howManyDaysInThisYear(int year, int month);

// "Now" for the lists and the age; tests fix it. An empty source restores the system clock.
void setNowProvider(std::function<QDateTime()> now);
QDateTime now();

class BirthDateLists {
public:
    // Behind the three lists; each starts empty.
    const QStringList &yearArray() const { return yearArray_; }
    const QStringList &monthArray() const { return monthArray_; }
    const QStringList &dayArray() const { return dayArray_; }

    QString yearLabel() const { return yearLabel_; }
    QString monthLabel() const { return monthLabel_; }
    QString dayLabel() const { return dayLabel_; }
    QString ageLabel() const { return ageLabel_; }

    // The labels as a shown record fills them; the lists stay as they are.
    void setLabels(const QString &year, const QString &month, const QString &day, const QString &age);
    void clearLabels() { setLabels(QString(""), QString(""), QString(""), QString("")); }

    // Only while the year list is empty: 1900 up to the current year of the application
    // calendar ("%d", ascending), then one empty entry at the end.
    void reloadYearArray();
    // Only while the month list is empty and a year is shown: the empty entry, "01" to "12".
    void reloadMonthArray();
    // With a year and a month shown: the empty entry, then "01" up to the days of that month,
    // and a day beyond them becomes "01". Otherwise the day label and the day list are emptied.
    void reloadDayArray();
    // Brings the month and day lists in line with labels that a shown record filled in,
    // without touching the labels: the month list as reloadMonthArray, the day list that of
    // the shown year and month (empty without them).
    void refreshLists();
    // From the three labels (trimmed, all non-empty): whole years from the birth date to now
    // in the application calendar; otherwise empty.
    void calculateAge();

    // A choice in one of the lists; an index outside the list is ignored (false).
    bool chooseYear(int index);
    bool chooseMonth(int index);
    bool chooseDay(int index);

    // The birthday text the patient record takes: the trimmed labels joined by "-" when all
    // three labels are non-empty, else "".
    QString birthday() const;

private:
    // Days of the month the labels show; 0 without a year or a month.
    int daysOfShownMonth() const;
    void fillDayArray(int days);

    QStringList yearArray_, monthArray_, dayArray_;
    QString yearLabel_ = QStringLiteral(""), monthLabel_ = QStringLiteral(""), dayLabel_ = QStringLiteral(""),
            ageLabel_ = QStringLiteral("");
};

}  // namespace entry
