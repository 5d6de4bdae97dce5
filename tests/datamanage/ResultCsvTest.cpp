#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "records/UsbUtils.h"

namespace {

using cvx::FileManager;
using cvx::TextEncoding;

const QString kChart = QStringLiteral("A-123");
const QString kName = kChart + QStringLiteral("_20260305090830_12345678");

QString home(const QString &relative) {
    return FileManager::homeDirectory() + QLatin1Char('/') + relative;
}

QByteArray readBytes(const QString &path) {
    return FileManager::readFile(path).value_or(QByteArray());
}

void writeText(const QString &path, const QString &text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(FileManager::writeAtomically(path, text.toUtf8()));
}

void setLink(int mode, bool deleteBld, const QString &output) {
    writeText(home(".Corvadenix/ModeSetting.xml"),
              QStringLiteral("<DATA><MODE>%1</MODE><DeleteBLD>%2</DeleteBLD></DATA>")
                  .arg(mode)
                  .arg(int(deleteBld)));
    writeText(home(".Corvadenix/DataTransfer.xml"),
              QStringLiteral("<DATA><INPUT></INPUT><OUTPUT>%1</OUTPUT></DATA>").arg(output));
    UsbManager::sharedUsbManager().setMode(-1);
}

// The link tests' patient file of a pad generation, stored at 2026-03-05 09:08:30.
QString patientFile(bool older) {
    const QString fixture = QStringLiteral(CVX_SOURCE_DIR "/tests/link/fixtures/PatientFile_%1.xml")
                                .arg(older ? "older" : "current");
    QString xml = QString::fromUtf8(readBytes(fixture));
    xml.replace("@SAVEDATE@", "2026-03-05 09:08:30");
    xml.replace("name=\"\"", "name=\"山田 花子\"");
    return xml;
}

void storePatient(const QString &chart, const QString &xml) {
    writeText(home(".Corvadenix/Customer/") + chart + ".xml", xml);
}

QString expectedText(bool older, bool csv, bool naBld) {
    const QString nh3 = older ? "少なめ" : "多め";
    QStringList lines{
        "name,山田 花子,",
        "date,2026/03/05,time,09:08,",
        "Hospital,さくら歯科,",
        "Doctor,山田 太郎,",
        "MS,平均レベル,\"所見0-1\"",
        "pH,高め,\"所見1-0\"",
        "BFC,強め,\"所見2-0\"",
        naBld ? "BLD,-,\"N/A\"" : "BLD,少なめ,\"所見3-2\"",
        "LEU,多め,\"所見4-0\"",
        "ALB,平均レベル,\"所見5-1\"",
        "NH3," + nh3 + ",\"所見6-" + (older ? "2" : "0") + "\"",
        "総合,,\"総合 <良好> & 安定\"",
    };
    if (csv)
        lines << "むし歯,,\"N/A\""
              << "歯周病,,\"N/A\""
              << "口腔清潔度,,\"N/A\"";
    // The chart positions replace the pads' "0"; the pad values and the time are gone.
    lines << "RsvData,12345678,V01.00,2026/03/05,0001,25.2 ℃,BFC,89,強め,,PH,57,高め,,MS,35,平均レベル,,"
             "DUMMY,0,---,,BLD,3,少なめ,,[Cal],0,---,,LEU," +
                 QString(older ? "72" : "81") + ",多め,,ALB,53,平均レベル,,NH3," + (older ? "20," : "65,") +
                 nh3 + "," + QString(158, ',');
    return lines.join("\r\n") + "\r\n";
}

TEST(ResultCsvTest, WritesTheCsvAndTheBackupOfEachModeAndPadGeneration) {
    const struct {
        int mode;
        bool deleteBld;
        bool older;
    } cases[] = {{3, false, false}, {4, true, false}, {5, false, true}, {4, true, true}, {0, true, false}};
    const QString output = home("out");
    QDir().mkpath(output);
    QDir().mkpath(home("ResultData"));
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << " six-item " << c.deleteBld << " older " << c.older);
        setLink(c.mode, c.deleteBld, output);
        storePatient(kChart, patientFile(c.older));

        EXPECT_EQ(UsbUtils::csvSave(kChart, 0), c.mode != 0);
        EXPECT_TRUE(UsbUtils::csvBackup(kChart, 0));

        const QByteArray csv = readBytes(output + "/" + kName + ".csv");
        if (c.mode == 0) {
            EXPECT_TRUE(csv.isEmpty());
        } else {
            EXPECT_TRUE(csv.startsWith("\xFF\xFE"));
            EXPECT_EQ(csv, TextEncoding::toUtf16(expectedText(c.older, true, c.deleteBld),
                                                 TextEncoding::ByteOrder::LittleEndian));
        }
        EXPECT_EQ(readBytes(home("ResultData/") + kName + ".txt"),
                  TextEncoding::toCp932(expectedText(c.older, false, false)).value());
        QFile::remove(output + "/" + kName + ".csv");
    }
    EXPECT_FALSE(FileManager::fileExists(home("Error.txt")));
}

TEST(ResultCsvTest, QuotesFieldsThatWouldSpillAndSubstitutesWhatShiftJisLacks) {
    setLink(3, false, home("out"));
    QDir().mkpath(home("out"));
    QString xml = patientFile(false);
    xml.replace("山田 花子", "Smith, Jo");
    xml.replace("所見0-1", "he said &quot;hi&quot;");
    xml.replace("さくら歯科", "歯科😀");
    storePatient(kChart, xml);

    ASSERT_TRUE(UsbUtils::csvSave(kChart, 0));
    ASSERT_TRUE(UsbUtils::csvBackup(kChart, 0));

    const QString csv = TextEncoding::fromUtf16(readBytes(home("out/") + kName + ".csv")).value();
    EXPECT_TRUE(csv.startsWith("name,\"Smith, Jo\",\r\ndate,2026/03/05,time,09:08,\r\nHospital,歯科😀,\r\n"));
    EXPECT_TRUE(csv.contains("\r\nMS,平均レベル,\"he said \"\"hi\"\"\"\r\n"));
    const QString backup = TextEncoding::fromCp932(readBytes(home("ResultData/") + kName + ".txt")).value();
    EXPECT_TRUE(backup.contains("\r\nHospital,歯科?,\r\n"));
    EXPECT_TRUE(readBytes(home("Error.txt")).contains("1 character(s) without a Shift-JIS code"));
}

TEST(ResultCsvTest, WritesNothingAndSaysSoForRefusedOrBrokenInput) {
    storePatient(kChart, patientFile(false));
    const QString good = home("out");
    QDir().mkpath(good);
    const struct {
        const char *what;
        QString chart;
        qint64 row;
        QString output;
    } cases[] = {
        {"chart number leading out of the folder", "../A-123", 0, good},
        {"no patient file", "B-9", 0, good},
        {"row beyond the results", kChart, 1, good},
        {"no output folder set", kChart, 0, ""},
        {"relative output folder", kChart, 0, "out"},
        {"missing output folder", kChart, 0, home("gone")},
        {"output folder not writable", kChart, 0, "/proc"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        setLink(5, false, c.output);
        EXPECT_FALSE(UsbUtils::csvSave(c.chart, c.row));
        EXPECT_TRUE(FileManager::contentsOfDirectory(good).isEmpty());
    }
    EXPECT_FALSE(UsbUtils::csvBackup("../A-123", 0));
    EXPECT_FALSE(UsbUtils::csvBackup(kChart, 1));
    EXPECT_FALSE(FileManager::fileExists(home("ResultData")));

    // The instrument's characters become part of the file name.
    QString xml = patientFile(false);
    xml.replace("<RsvData>12345678:", "<RsvData>../../x/:");
    storePatient("C-1", xml);
    EXPECT_FALSE(UsbUtils::csvBackup("C-1", 0));
    EXPECT_TRUE(FileManager::contentsOfDirectory(home("ResultData")).isEmpty());

    // A backup that cannot be written is reported.
    QDir().mkpath(home("ResultData/") + kName + ".txt");
    EXPECT_FALSE(UsbUtils::csvBackup(kChart, 0));
    EXPECT_TRUE(readBytes(home("Error.txt")).contains("could not be written"));
}

TEST(ResultCsvTest, BacksUpEveryUsableResultPastABrokenOne) {
    QString xml = patientFile(false);
    const qsizetype start = xml.indexOf("    <comment");
    const qsizetype end = xml.indexOf("</DATA>");
    const QString result = xml.mid(start, end - start);
    QString broken = result;
    broken.replace("2026-03-05 09:08:30", "2026-03-04");
    QString older = result;
    older.replace("2026-03-05 09:08:30", "2026-02-01 10:00:00");
    xml.insert(end, broken + older);
    storePatient(kChart, xml);

    EXPECT_FALSE(UsbUtils::csvBackup(kChart, -1));
    QStringList names = FileManager::contentsOfDirectory(home("ResultData"));
    names.sort();
    EXPECT_EQ(names, QStringList({kChart + "_20260201100000_12345678.txt", kName + ".txt"}));

    storePatient("E-0", "<DATA name=\"x\"></DATA>");
    EXPECT_TRUE(UsbUtils::csvBackup("E-0", -1));
}

TEST(ResultCsvTest, DeletesOnlyThePatientsOwnBackups) {
    const QStringList kept{"123_20240101093000_ABCD1234.txt", "12_3_20240101093000_ABCD1234.txt",
                           "12_20240101093000_ABCD1234.csv", "12_notes.txt"};
    const QStringList deleted{"12_20240101093000_ABCD1234.txt", "12_20250101093000_X_Y-1234.txt"};
    for (const QString &name : kept + deleted) writeText(home("ResultData/") + name, "x");

    EXPECT_TRUE(UsbUtils::delTxtBackup("12"));
    QStringList left = FileManager::contentsOfDirectory(home("ResultData"));
    left.sort();
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(left, expected);
    EXPECT_FALSE(UsbUtils::delTxtBackup("../12"));
}

}  // namespace
