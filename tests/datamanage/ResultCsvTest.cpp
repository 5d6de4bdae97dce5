#include <gtest/gtest.h>

#include <QDir>

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
    writeText(home(".Corvadenix/DataTransfer.xml"), "<DATA><OUTPUT>" + output + "</OUTPUT></DATA>");
    UsbManager::sharedUsbManager().setMode(-1);
}

// The link tests' patient file of a pad generation (I_LEU/I_NH3 or LEU/NH3).
void storePatient(const QString &chart, bool older, const QList<std::pair<QString, QString>> &edits = {}) {
    QString xml =
        QString::fromUtf8(readBytes(QStringLiteral(CVX_SOURCE_DIR "/tests/link/fixtures/PatientFile_%1.xml")
                                        .arg(older ? "older" : "current")));
    xml.replace("@SAVEDATE@", "2026-03-05 09:08:30").replace("name=\"\"", "name=\"山田 花子\"");
    for (const auto &[from, to] : edits) xml.replace(from, to);
    writeText(home(".Corvadenix/Customer/") + chart + ".xml", xml);
}

QString expectedText(bool older, bool csv, bool naBld) {
    const QString nh3 = older ? "少なめ" : "多め";
    QStringList lines{"name,山田 花子,",
                      "date,2026/03/05,time,09:08,",
                      "Hospital,さくら歯科,",
                      "Doctor,山田 太郎,",
                      "MS,平均レベル,\"所見0-1\"",
                      "pH,高め,\"所見1-0\"",
                      "BFC,強め,\"所見2-0\"",
                      naBld ? "BLD,-,\"N/A\"" : "BLD,少なめ,\"所見3-2\"",
                      "LEU,多め,\"所見4-0\"",
                      "ALB,平均レベル,\"所見5-1\"",
                      "NH3," + nh3 + ",\"所見6-" + (older ? "2\"" : "0\""),
                      "総合,,\"総合 <良好> & 安定\""};
    if (csv)
        lines << "むし歯,,\"N/A\""
              << "歯周病,,\"N/A\""
              << "口腔清潔度,,\"N/A\"";
    lines << "RsvData,12345678,V01.00,2026/03/05,0001,25.2 ℃,BFC,89,強め,,PH,57,高め,,MS,35,平均レベル,,"
             "DUMMY,0,---,,BLD,3,少なめ,,[Cal],0,---,,LEU," +
                 QString(older ? "72" : "81") + ",多め,,ALB,53,平均レベル,,NH3," + (older ? "20," : "65,") +
                 nh3 + QString(159, ',');
    return lines.join("\r\n") + "\r\n";
}

TEST(ResultCsvTest, WritesTheCsvAndTheBackupOfEachModeAndPadGeneration) {
    const struct {
        int mode;
        bool deleteBld, older;
    } cases[] = {{3, false, false}, {4, true, false}, {5, false, true}, {4, true, true}, {0, true, false}};
    QDir().mkpath(home("out"));
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "mode " << c.mode << " six-item " << c.deleteBld << " older " << c.older);
        setLink(c.mode, c.deleteBld, home("out"));
        storePatient(kChart, c.older);
        QFile::remove(home("out/") + kName + ".csv");

        EXPECT_EQ(UsbUtils::csvSave(kChart, 0), c.mode != 0);
        EXPECT_TRUE(UsbUtils::csvBackup(kChart, 0));
        EXPECT_EQ(readBytes(home("out/") + kName + ".csv"),
                  c.mode == 0 ? QByteArray()
                              : TextEncoding::toUtf16(expectedText(c.older, true, c.deleteBld),
                                                      TextEncoding::ByteOrder::LittleEndian));
        EXPECT_EQ(readBytes(home("ResultData/") + kName + ".txt"),
                  TextEncoding::toCp932(expectedText(c.older, false, false)).value());
    }
    EXPECT_FALSE(FileManager::fileExists(home("Error.txt")));
}

TEST(ResultCsvTest, QuotesFieldsThatWouldSpillAndSubstitutesWhatShiftJisLacks) {
    setLink(3, false, home("out"));
    QDir().mkpath(home("out"));
    storePatient(
        kChart, false,
        {{"山田 花子", "Smith, Jo"}, {"所見0-1", "he said &quot;hi&quot;"}, {"さくら歯科", "歯科😀"}});

    ASSERT_TRUE(UsbUtils::csvSave(kChart, 0));
    ASSERT_TRUE(UsbUtils::csvBackup(kChart, 0));
    const QString csv = TextEncoding::fromUtf16(readBytes(home("out/") + kName + ".csv")).value();
    EXPECT_TRUE(csv.startsWith("name,\"Smith, Jo\",\r\ndate,2026/03/05,time,09:08,\r\nHospital,歯科😀,\r\n"));
    EXPECT_TRUE(csv.contains("\r\nMS,平均レベル,\"he said \"\"hi\"\"\"\r\n"));
    const QString backup = TextEncoding::fromCp932(readBytes(home("ResultData/") + kName + ".txt")).value();
    EXPECT_TRUE(backup.contains("\r\nHospital,歯科?,\r\n"));
    EXPECT_TRUE(readBytes(home("Error.txt")).contains("1 character(s) without a Shift-JIS code"));
}

TEST(ResultCsvTest, WritesNothingAndSaysSoForRefusedInputAndUnwritableFolders) {
    storePatient(kChart, false);
    storePatient("C-1", false,
                 {{"<RsvData>12345678:", "<RsvData>../../x/:"}});  // the name takes 8 characters
    QDir().mkpath(home("out"));
    const struct {
        QString chart;
        qint64 row;
        QString output;
    } cases[] = {{"../A-123", 0, home("out")}, {"B-9", 0, home("out")}, {kChart, 1, home("out")},
                 {"C-1", 0, home("out")},      {kChart, 0, ""},         {kChart, 0, "out"},
                 {kChart, 0, home("gone")},    {kChart, 0, "/proc"}};
    for (const auto &c : cases) {
        SCOPED_TRACE((c.chart + " " + c.output).toStdString());
        setLink(5, false, c.output);
        EXPECT_FALSE(UsbUtils::csvSave(c.chart, c.row));
    }
    EXPECT_FALSE(UsbUtils::csvBackup("../A-123", 0));
    EXPECT_FALSE(UsbUtils::csvBackup(kChart, 1));
    EXPECT_FALSE(UsbUtils::csvBackup("C-1", 0));
    EXPECT_TRUE(FileManager::contentsOfDirectory(home("out")).isEmpty());
    EXPECT_TRUE(FileManager::contentsOfDirectory(home("ResultData")).isEmpty());

    QDir().mkpath(home("ResultData/") + kName + ".txt");  // a folder where the file goes
    EXPECT_FALSE(UsbUtils::csvBackup(kChart, 0));
    EXPECT_TRUE(readBytes(home("Error.txt")).contains("could not be written"));
}

TEST(ResultCsvTest, BacksUpEveryUsableResultPastABrokenOneAndDeletesOnlyThePatientsOwn) {
    storePatient(kChart, false);
    QString xml = QString::fromUtf8(readBytes(home(".Corvadenix/Customer/A-123.xml")));
    const qsizetype start = xml.indexOf("    <comment"), end = xml.indexOf("</DATA>");
    const QString result = xml.mid(start, end - start);
    xml.insert(end, QString(result).replace("09:08:30<", "<") +
                        QString(result).replace("2026-03-05 ", "2026-02-01 "));
    writeText(home(".Corvadenix/Customer/A-123.xml"), xml);

    EXPECT_FALSE(UsbUtils::csvBackup(kChart, -1));
    const QStringList others{"A-1234_20240101093000_ABCD1234.txt", "A-123_4_20240101093000_ABCD1234.txt",
                             "A-123_20240101093000_ABCD1234.csv", "A-123_notes.txt"};
    for (const QString &name : others) writeText(home("ResultData/") + name, "x");
    QStringList names = FileManager::contentsOfDirectory(home("ResultData"));
    names.sort();
    EXPECT_EQ(names, (QStringList{"A-1234_20240101093000_ABCD1234.txt", "A-123_20240101093000_ABCD1234.csv",
                                  "A-123_20260201090830_12345678.txt", "A-123_20260305090830_12345678.txt",
                                  "A-123_4_20240101093000_ABCD1234.txt", "A-123_notes.txt"}));

    EXPECT_TRUE(UsbUtils::delTxtBackup(kChart));
    names = FileManager::contentsOfDirectory(home("ResultData"));
    names.sort();
    QStringList kept = others;
    kept.sort();
    EXPECT_EQ(names, kept);
}

}  // namespace
