#include <gtest/gtest.h>

#include "datamanage/PatientFields.h"

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
}

}  // namespace
