// The patient-entry window's rules without the window: field limits, birth-date lists, the
// records read from patient files and the root record written on OK.
#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QTime>

#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "records/UsbUtils.h"
#include "shell/entry/BirthDateLists.h"
#include "shell/entry/FieldRules.h"
#include "shell/entry/PatientRecords.h"

namespace {

using entry::BirthDateLists;

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes) {
    ASSERT_TRUE(cvx::FileManager::createDirectory(UsbUtils::customerFolder()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(EntryFieldRules, ChartNumberEditsAreAcceptedOrUndone) {
    const QString thirty(30, u'7');
    const struct {
        const char *edited;
        int cursor;
        const char *last;
        const char *text;
        int caret;
        bool accepted;
    } cases[] = {
        {"AB", 2, "A", "AB", 2, true},
        {"", 0, "A", "", 0, true},         // clearing the field is accepted
        {"AB/", 3, "AB", "AB", 2, false},  // a slash typed at the end
        {"A/B", 2, "AB", "AB", 1, false},  // ... in the middle: the caret goes back
        {"/AB", 1, "AB", "AB", 0, false},  // ... at the start
        {" AB", 1, "AB", "AB", 0, false},  // a leading blank
        {"AB ", 3, "AB", "AB ", 3, true},  // a trailing blank is fine
        {"A:B.C", 5, "A", "A", 1, false},  // a paste that leaves the caret beyond the text
        {"(A)-_@+[B]", 10, "", "(A)-_@+[B]", 10, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.edited);
        const entry::ChartNumberEdit edit = entry::checkChartNumber(c.edited, c.cursor, c.last);
        EXPECT_EQ(edit.text, c.text);
        EXPECT_EQ(edit.cursor, c.caret);
        EXPECT_EQ(edit.accepted, c.accepted);
    }
    EXPECT_TRUE(entry::checkChartNumber(thirty, 30, "").accepted);
    EXPECT_EQ(entry::checkChartNumber(thirty + "7", 31, thirty).text, thirty);
    EXPECT_FALSE(entry::checkChartNumber(QStringLiteral("A１"), 2, "A").accepted);  // full-width digit
}

TEST(EntryFieldRules, CutsKeepWholeCharacters) {
    EXPECT_EQ(entry::limitName(QString(16, u'あ')), QString(15, u'あ'));
    EXPECT_EQ(entry::limitRemark(QString(41, u'x')).size(), 40);
    // A character outside the BMP straddling the limit is dropped whole, not halved.
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString name = QString(14, u'a') + face;
    EXPECT_EQ(entry::limitName(name), QString(14, u'a'));
    EXPECT_EQ(entry::limitName(QString(13, u'a') + face), QString(13, u'a') + face);
}

TEST(EntryBirthDate, DaysOfMonth) {
    const struct {
        int year, month, days;
    } cases[] = {{2000, 2, 29},  {1900, 2, 28},  {2024, 2, 29}, {2023, 2, 28}, {2023, 4, 30},
                 {2023, 11, 30}, {2023, 12, 31}, {2023, 7, 31}, {2023, 8, 31}};
    for (const auto &c : cases)
        EXPECT_EQ(entry::howManyDaysInThisYear(c.year, c.month), c.days) << c.year << "-" << c.month;
}

class EntryBirthDateLists : public testing::Test {
protected:
    EntryBirthDateLists() {
        entry::setNowProvider([] { return QDateTime(QDate(2026, 3, 5), QTime(10, 0)); });
    }
    ~EntryBirthDateLists() override { entry::setNowProvider({}); }
    BirthDateLists lists;
};

TEST_F(EntryBirthDateLists, AgeCountsWholeYears) {
    const struct {
        const char *year, *month, *day, *age;
    } cases[] = {
        {"2000", "03", "05", "26"}, {"2000", "03", "06", "25"},  {"2026", "03", "05", "0"},
        {"2026", "12", "31", "0"},  {"1900", "01", "01", "126"}, {" ", "03", "05", ""},
    };
    for (const auto &c : cases) {
        lists.setLabels(c.year, c.month, c.day, "x");
        lists.calculateAge();
        EXPECT_EQ(lists.ageLabel(), c.age) << c.year << "-" << c.month << "-" << c.day;
    }
}

TEST_F(EntryBirthDateLists, RefreshingAfterAShownRecordLeavesTheLabels) {
    lists.reloadYearArray();
    lists.chooseYear(100);
    lists.chooseMonth(1);  // January: 31 days
    lists.setLabels("2001", "02", "10", "25");
    lists.refreshLists();
    EXPECT_EQ(lists.dayArray().size(), 29);  // "" and 28 days
    EXPECT_EQ(lists.dayLabel(), "10");
    EXPECT_EQ(lists.ageLabel(), "25");
}

class EntryPatientRecords : public testing::Test {
protected:
    ~EntryPatientRecords() override { UsbManager::resetSharedForTesting(); }
    static QString path(const QString &chartNo) {
        return UsbUtils::customerFolder() + "/" + chartNo + ".xml";
    }
};

TEST_F(EntryPatientRecords, RemarkComesFromTheNewestResultOrTheUserDefaults) {
    cvx::UserDefaults::standard().setObject(QStringLiteral("from defaults"), "P1_remark");
    const struct {
        const char *xml;
        const char *remark;
    } cases[] = {
        {"<DATA><comment><Remark>stored</Remark></comment><comment><Remark>old</Remark></comment></DATA>",
         "stored"},
        {"<DATA><comment><Remark></Remark></comment></DATA>", "from defaults"},
        {"<DATA><other/><comment><Remark>not newest</Remark></comment></DATA>", "from defaults"},
        {"<DATA name=\"A B\" birthday=\"1990-01-02\" age=\"36\" sex=\"1\"/>", "from defaults"},
    };
    for (const auto &c : cases) {
        std::optional<cvx::XmlDocument> doc =
            cvx::XmlDocument::fromText(c.xml, cvx::XmlDocument::Option::Tidy);
        ASSERT_TRUE(doc);
        EXPECT_EQ(entry::getRemark(&*doc, "P1"), c.remark) << c.xml;
    }
    EXPECT_EQ(entry::getRemark(nullptr, "P2"), "");
    const OCMCustInfo record = entry::recordFromFile(nullptr, "P1", 0);
    EXPECT_EQ(record.customerNo(), "P1");
    EXPECT_EQ(record.firstname(), "");
    EXPECT_EQ(record.sex(), "");
    EXPECT_EQ(record.remark(), "from defaults");
}

TEST_F(EntryPatientRecords, RootRecordRefusesWhatNamesNoPatientFile) {
    OCMCustInfo info;
    info.setRemark("note");
    for (const char *chartNo :
         {"", "Check_Measure_Result", "CHECK_measure_result", "../outside", "a/b", "."}) {
        info.setCustomerNo(chartNo);
        EXPECT_FALSE(entry::isRegistrableChartNumber(chartNo)) << chartNo;
        EXPECT_FALSE(entry::saveCustInfo(info)) << chartNo;
    }
    EXPECT_TRUE(cvx::FileManager::subpaths(UsbUtils::customerFolder()).isEmpty());
    EXPECT_FALSE(
        cvx::FileManager::fileExists(cvx::FileManager::homeDirectory() + "/.Corvadenix/outside.xml"));

    // An unreadable file stays as it is; the remark is still kept.
    writeFile(path("BAD"), "DATA name=x");  // no element, even when repaired
    info.setCustomerNo("BAD");
    EXPECT_FALSE(entry::saveCustInfo(info));
    EXPECT_EQ(readAll(path("BAD")), "DATA name=x");
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("BAD_remark"), "note");
    bool writeFailed = true;
    writeFile(path("BAD"), "<DATA name=\"\xff\"/>");  // read only with U+FFFD: as unreadable
    EXPECT_FALSE(entry::saveCustInfo(info, &writeFailed) || writeFailed);
    // So is a file of another kind in the patient file's place.
    writeFile(path("BAD"), "<html><body><p>hello</p></body></html>");
    writeFailed = true;
    EXPECT_FALSE(entry::saveCustInfo(info, &writeFailed) || writeFailed);
    EXPECT_EQ(readAll(path("BAD")), "<html><body><p>hello</p></body></html>");

    // A character XML 1.0 cannot hold, pasted or imported, is left out of what is written, as
    // the file then shows; the patient is registered all the same.
    info.setCustomerNo("P9");
    info.setFirstname(QStringLiteral("花\u0001子"));
    info.setLastname(QStringLiteral("山\u001f田"));
    info.setAge(QString(QChar(0xFFFF)) + "44");
    ASSERT_TRUE(entry::saveCustInfo(info));
    EXPECT_FALSE(readAll(path("P9")).contains("&#"));
    const cvx::XmlElement root = cvx::XmlDocument::fromFile(path("P9"))->rootElement();
    EXPECT_EQ(root.attribute("name"), "花子 山田");
    EXPECT_EQ(root.attribute("age"), "44");
}

}  // namespace
