#include <gtest/gtest.h>

#include <QDate>

#include "datamanage/PatientListImport.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "records/SettingsFixture.h"

namespace {

using cvx::FileManager;

QString fixture(const QString &name) {
    return QStringLiteral(CVX_SOURCE_DIR "/tests/datamanage/fixtures/lists/") + name;
}

QString ageOf(const QString &birthday) {
    if (birthday.isEmpty()) return QString();
    const QDate birth = QDate::fromString(birthday, Qt::ISODate), today = QDate::currentDate();
    return QString::number(today.year() - birth.year() -
                           (today < birth.addYears(today.year() - birth.year())));
}

QString rootTag(const QString &name, const QString &birthday, const QString &sex) {
    return QStringLiteral("<DATA name=\"%1\" birthday=\"%2\" age=\"%3\" sex=\"%4\"")
        .arg(name, birthday, ageOf(birthday), sex);
}

QString stored(const QString &chartNo) {
    return QString::fromUtf8(settingsfixture::contents("Customer/" + chartNo + ".xml"));
}

QString remark(const QString &chartNo) {
    return settingsfixture::shape(cvx::UserDefaults::standard().objectForKey(chartNo + "_remark"));
}

QString writeList(const QByteArray &bytes) {
    const QString path = FileManager::homeDirectory() + QStringLiteral("/list.csv");
    EXPECT_TRUE(FileManager::writeAtomically(path, bytes));
    return path;
}

QStringList customerFiles() {
    return FileManager::contentsOfDirectory(settingsfixture::dataPath(QStringLiteral("Customer")));
}

struct Patient {
    const char *chartNo, *name, *birthday, *sex, *remark;
};

TEST(PatientListImportTest, ShiftJisAndUtf16ListsGiveTheirPatients) {
    // A patient already measured: the list replaces its details and keeps its result.
    settingsfixture::installText(
        "Customer/1001.xml",
        "<DATA name=\"old\" birthday=\"\" age=\"\" sex=\"2\"><comment date=\"2024-01-01\" time=\"10:00\">"
        "<Hospital>h</Hospital></comment></DATA>");
    const struct {
        const char *file;
        std::vector<Patient> patients;
        QByteArray bytes = {};  // written as the file when given
    } cases[] = {
        {"patients-sjis.csv",
         {{"1001", "山田 太郎", "1980-01-01", "0", "初診"},
          {"2", "髙橋 花子", "1975-12-31", "1", ""},
          {"A-3(x)", " 三郎 佐藤", "", "2", "remark"}}},
        {"patients-utf16.csv",
         {{"77", "鈴木 一郎", "2000-02-29", "2", "メモ"}, {"78", "ＡＢＣ", "1999-12-01", "0", ""}}},
        {"patients-sjis-valid-utf8.csv", {{"9", "莉子", "", "2", ""}, {"10", "﨑山", "", "2", ""}}},
        {"patients-utf8-mark.csv", {{"11", "渡辺", "", "2", ""}}},
        {"patients-utf8-no-mark.csv", {{"12", "伊藤 結衣", "1980-01-01", "1", ""}}},  // Shift-JIS too
        {"half-width Shift-JIS, valid UTF-8",
         {{"13", "ﾃｲ ﾐｵ", "1980-01-02", "0", ""},
          {"14", "ﾆｼ ﾃｲ", "", "1", ""},
          {"15", "ﾃｲ Sato", "", "2", "ﾂｰ"}},
         *cvx::TextEncoding::toCp932(
             QStringLiteral("13,ﾃｲ,ﾐｵ,1980/01/02,M,\r\n14,ﾆｼ ﾃｲ,,,F,\r\n15,ﾃｲ,Sato,,,ﾂｰ"))},
        {"UTF-8 names, valid Shift-JIS",
         {{"16", "Đức Vũ", "", "2", ""}, {"17", "茉莉 Sato", "", "2", ""}},
         QStringLiteral("16,Đức,Vũ,,,\r\n17,茉莉,Sato,,,").toUtf8()},
        {"UTF-8 names in other writing systems, valid Shift-JIS",
         {{"18", "赵 丽", "", "2", ""},
          {"19", "황 태윤", "", "2", ""},
          {"20", "Лебедев Иван", "1980-01-02", "0", ""},
          {"21", "Μαρκάκη Μαρία", "", "2", ""},
          {"22", "小野寺 颯太", "", "2", ""},
          {"23", "Ким Олег", "", "2", ""}},
         QStringLiteral(
             "18,赵,丽,,,\r\n19,황,태윤,,,\r\n20,Лебедев,Иван,1980/01/02,M,\r\n21,Μαρκάκη,Μαρία,,,\r\n"
             "22,小野寺,颯太,,,\r\n23,Ким,Олег,,,")
             .toUtf8()},
        {"UTF-8 capitals and a name glued to Japanese, lines that read as Shift-JIS too",
         {{"25", "NGUYỄN VĂN AN", "", "2", ""}, {"26", "VŨ ANH", "", "2", "Líviaさん"}},
         QStringLiteral("25,NGUYỄN,VĂN AN,,,\r\n26,VŨ,ANH,,,Líviaさん").toUtf8()},
        {"UTF-8 ordinals beside an accented name, valid Shift-JIS",
         {{"28", "Rodríguez Ana", "", "2", "1ª visita · nº 36"}, {"29", "Silva Inês", "", "2", "RX 2º"}},
         QStringLiteral("28,Rodríguez,Ana,,,1ª visita · nº 36\r\n29,Silva,Inês,,,RX 2º").toUtf8()},
        {"Shift-JIS 﨑本, valid UTF-8 too",
         {{"27", "﨑本 Sato Ken", "", "2", ""}},
         "27,\xED\x95\x96\x7B Sato,Ken,,,"},
        {"UTF-16LE without mark",
         {{"24", "田中 一郎", "", "2", ""}},
         cvx::TextEncoding::toUtf16(QStringLiteral("24,田中,一郎,,,"),
                                    cvx::TextEncoding::ByteOrder::LittleEndian, false)},
    };
    for (const auto &c : cases) {
        const PatientListImport::Outcome outcome =
            PatientListImport::importList(c.bytes.isEmpty() ? fixture(c.file) : writeList(c.bytes));
        EXPECT_EQ(outcome.signResult, 200) << c.file;
        EXPECT_TRUE(outcome.alertStr.isNull());
        QStringList expectedSaved;
        for (const Patient &p : c.patients) {
            expectedSaved << p.chartNo;
            const QString file = stored(p.chartNo);
            EXPECT_TRUE(file.contains(rootTag(p.name, p.birthday, p.sex))) << p.chartNo << "\n"
                                                                           << file.toStdString();
            EXPECT_EQ(remark(p.chartNo), QString::fromUtf8(p.remark)) << p.chartNo;
        }
        EXPECT_EQ(outcome.saved, expectedSaved);
    }
    EXPECT_TRUE(stored("1001").contains("<Hospital>h</Hospital>"));
    EXPECT_EQ(customerFiles().size(), 26);
}

TEST(PatientListImportTest, AnyRefusedLineSavesNothing) {
    // Lines in Shift-JIS and in UTF-8: no encoding reads the file, and the alert says so; also
    // where the bytes of the odd line read in the file's encoding too.
    for (const QByteArray &bytes :
         {"1,\x8D\xB2\x93\xA1,,,,\r\n" + QStringLiteral("2,花子,,,,").toUtf8(),
          *cvx::TextEncoding::toCp932(QStringLiteral("1,佐藤,花子,,,\r\n")) +
              QStringLiteral("2,伊藤,結衣,,,").toUtf8(),
          QStringLiteral("1,伊藤,結衣,,,\r\n").toUtf8() +
              *cvx::TextEncoding::toCp932(QStringLiteral("2,ﾃｲ,ﾐｵ,,,")),
          cvx::TextEncoding::toUtf16(QStringLiteral("一丁"), cvx::TextEncoding::ByteOrder::LittleEndian,
                                     false)}) {
        const PatientListImport::Outcome mixed = PatientListImport::importList(writeList(bytes));
        EXPECT_EQ(mixed.alertStr, PatientListImport::kNoEncodingText) << bytes.toHex().constData();
        EXPECT_TRUE(mixed.badLines.isEmpty() && mixed.saved.isEmpty());
        EXPECT_EQ(customerFiles(), QStringList());
    }
    // A list that reads both ways, and that nothing in it tells apart, is said to be so; its path
    // goes into the error log printably.
    const QString both = FileManager::homeDirectory() + QStringLiteral("/both\x1B.csv");
    ASSERT_TRUE(FileManager::writeAtomically(both, QStringLiteral("1,Sato,Ken,,,TNF α").toUtf8()));
    EXPECT_EQ(PatientListImport::importList(both).alertStr, PatientListImport::kCannotTellText);
    EXPECT_TRUE(FileManager::readFile(FileManager::homeDirectory() + "/Error.txt")
                    .value_or("")
                    .contains("both\\x1B.csv: Shift-JIS or UTF-8, which the text cannot tell"));
    const struct {
        const char *text;
        QList<int> badLines;
        int mode = 0;
    } cases[] = {
        {"1,a,b,1980/1/1,M,x\r\n2,a,b,1980/1/1,M\r\n", {2}},        // five fields
        {"カルテ番号,名,姓,生年月日,性別,備考\r\n1,a,b,,M,", {1}},  // a header line
        {"1,a,b,,M,\r\n\r\n2,a,b,,F,", {2}},                        // a blank line between
        {"1,a,b,,m,\r\n2,a,b,,F, ", {1}},                           // lower-case sex
        {"1,aaaaaaaaaaaaaaaa,b,,M,", {1}},                          // 16-character name
        {"1,a,b,1980.1.1,M,\n2,a,b,1980/2/30,,", {1, 2}},           // dot separators, no such day
        {"1,a,b,,M,\r\n2,a,b,,F,\n3,a,b,,X,\r4,a,b,,M,", {3}},      // mixed line ends
        {"Check_Measure_Result,a,b,,M,", {1}},
        {"../x,a,b,,M,\r1234567890123456789012345678901,a,b,,,", {1, 2}},
        {"1,a,b,,M,,", {1}},  // a comma in the remark makes seven fields
        {"", {1}},
        {"1,a,b,,M,", {}, 5},  // a data-link mode reads no list
    };
    for (const auto &c : cases) {
        UsbManager::resetSharedForTesting();
        settingsfixture::installText("ModeSetting.xml",
                                     QStringLiteral("<DATA><MODE>%1</MODE></DATA>").arg(c.mode));
        const PatientListImport::Outcome outcome =
            PatientListImport::importList(writeList(*cvx::TextEncoding::toCp932(QString::fromUtf8(c.text))));
        EXPECT_EQ(outcome.signResult, 404) << c.text;
        EXPECT_EQ(outcome.alertStr, QStringLiteral("インポート対象ファイルがありません。"));
        EXPECT_EQ(outcome.badLines, c.badLines) << c.text;
        EXPECT_TRUE(outcome.saved.isEmpty());
        EXPECT_EQ(customerFiles(), QStringList()) << c.text;
        EXPECT_EQ(remark("1"), "<none>");
    }
    EXPECT_EQ(PatientListImport::importList(FileManager::homeDirectory() + "/missing.csv").signResult, 404);
}

TEST(PatientListImportTest, UnwritablePatientFailsTheImportAndKeepsItsFile) {
    const QByteArray broken = "DATA name=x birthday= age= sex=0";  // no element, even when repaired
    settingsfixture::writeData("Customer/5.xml", broken);
    const PatientListImport::Outcome outcome =
        PatientListImport::importList(writeList("4,a,b,,M,\r\n5,c,d,,F,\r\n6,e,,,,"));
    EXPECT_EQ(outcome.signResult, 404);
    EXPECT_FALSE(outcome.alertStr.isEmpty());
    EXPECT_EQ(outcome.saved, QStringList({"4", "6"}));
    EXPECT_EQ(outcome.failed, QStringList({"5"}));
    EXPECT_EQ(settingsfixture::contents("Customer/5.xml"), broken);
    EXPECT_TRUE(stored("6").contains(rootTag("e", "", "2")));
}

TEST(PatientListImportTest, CancelStopsBeforeTheNextPatient) {
    int polls = 0;
    const PatientListImport::Outcome outcome = PatientListImport::importList(
        writeList("4,a,b,,M,\n5,c,d,,F,\n6,e,,,,"), [&] { return ++polls > 1; });
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.saved, QStringList({"4"}));
    EXPECT_EQ(customerFiles(), QStringList({"4.xml"}));
}

}  // namespace
