#include <gtest/gtest.h>

#include "datamanage/PatientFields.h"
#include "platform/Dates.h"
#include "records/BBInitZBases.h"

namespace {

TEST(PatientFieldsTest, BirthDatesInTheLinkAndListForms) {
    struct Case {
        const char *given, *linkForm;
        bool listAccepts;
    };
    const Case cases[] = {
        {"198011", "1980/01/01", false},   {"19800101", "1980/01/01", false},
        {"1980.1.1", "1980/01/01", false}, {"1980-1-1", "1980/01/01", true},
        {"1980/1/1", "1980/01/01", true},  {"1980-01-01", "1980/01/01", true},
        {"20000229", "2000/02/29", false}, {"", "", true},
        {"80/01/01", "", false},           {"2026/02/30", "", false},
        {"19000229", "", false},           {"1980-01/01", "", false},
        {" 1980/01/01", "", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.given);
        EXPECT_EQ(PatientFields::birthday2(c.given), c.linkForm);
        EXPECT_EQ(PatientFields::validateBirthday2(c.given), !QString(c.linkForm).isEmpty() || !*c.given);
        EXPECT_EQ(PatientFields::validateBirthday(c.given), c.listAccepts);
    }
    EXPECT_EQ(PatientFields::formatBirthdayStr("1980/1/1"), "1980-01-01");
    EXPECT_EQ(PatientFields::formatBirthdayStr(""), "");
}

TEST(PatientFieldsTest, AgeCountsCompletedYears) {
    const QDate today = QDate::currentDate();
    const auto born = [&](QDate day) { return day.addYears(-46).toString(Qt::ISODate); };
    EXPECT_EQ(PatientFields::calculateAge(born(today.addDays(1))), "45");
    EXPECT_EQ(PatientFields::calculateAge(born(today)), "46");
    EXPECT_EQ(PatientFields::calculateAge(""), "");

    // The day count agrees with the calendar's own year-by-year count, leap days included.
    const cvx::Calendar gregorian = cvx::Calendar::gregorian();
    for (const char *birthday : {"2000-02-29", "1980-04-01", "1999-12-31", "2024-01-01", "0001-01-01"}) {
        for (const char *day : {"2001-02-27", "2001-02-28", "2001-03-02", "2004-02-27", "2004-02-29",
                                "2026-03-30", "2026-04-03", "2026-12-31", "2025-01-03"}) {
            SCOPED_TRACE(std::string(birthday) + " to " + day);
            const QDateTime now = QDateTime(QDate::fromString(day, Qt::ISODate), QTime(12, 0));
            const QDateTime birth = BBInitZBases::createDateFromDateString(birthday);
            EXPECT_EQ(PatientFields::calculateAge(birthday, now),
                      QString::number(gregorian.yearsBetween(birth, now)));
        }
    }
}

}  // namespace
