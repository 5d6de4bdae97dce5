#include <gtest/gtest.h>

#include "SheetFixture.h"
#include "platform/TextEncoding.h"
#include "sheet/SheetCsv.h"

namespace {

using namespace sheettest;
using cvx::TextEncoding;

const QString kChart = QStringLiteral("A-123");
const QString kName = kChart + QStringLiteral("_20260305090830_12345678");

QByteArray expectedCsv(bool older, bool naBld) {
    const QString nh3 = older ? "少なめ" : "多め";
    const QStringList lines{
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
        "NH3," + nh3 + ",\"所見6-" + (older ? "2\"" : "0\""),
        "総合,,\"総合 <良好> & 安定\"",
        "むし歯,,\"N/A\"",
        "歯周病,,\"N/A\"",
        "口腔清潔度,,\"N/A\"",
        "RsvData,12345678,V01.00,2026/03/05,0001,25.2 ℃,BFC,89,強め,,PH,57,高め,,MS,35,平均レベル,,"
        "DUMMY,0,---,,BLD,3,少なめ,,[Cal],0,---,," +
            QString(older ? "LEU,72" : "I_LEU,81") + ",多め,,ALB,53,平均レベル,," +
            (older ? "NH3,20," : "I_NH3,65,") + nh3 + QString(159, ','),
    };
    return TextEncoding::toUtf16(lines.join("\r\n") + "\r\n", TextEncoding::ByteOrder::LittleEndian);
}

TEST(SheetCsvTest, WritesTheShownResultWithItsPadNamesInEachLinkMode) {
    const struct {
        int mode;
        bool deleteBld, older;
    } cases[] = {{3, false, false}, {4, true, false}, {5, false, true}};
    QDir().mkpath(home("out"));
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " six-item " << c.deleteBld);
        setLink(c.mode, c.deleteBld);
        storePatient(kChart, c.older);
        writeText(home("out/") + kName + ".csv", "written earlier by the data link");
        EXPECT_EQ(SheetCsv::saveCsv(kChart, 0), SheetCsv::Outcome::Saved);
        const QByteArray bytes = readBytes(home("out/") + kName + ".csv");
        EXPECT_TRUE(bytes.startsWith("\xFF\xFE"));
        EXPECT_EQ(bytes, expectedCsv(c.older, c.deleteBld));
        EXPECT_TRUE(cvx::FileManager::fileExists(home("ResultData/") + kName + ".txt"));
    }
}

TEST(SheetCsvTest, OutsideLinkModesDoesNothingAndFailuresKeepTheBackup) {
    storePatient(kChart, false);
    setLink(0, false);
    EXPECT_EQ(SheetCsv::saveCsv(kChart, 0), SheetCsv::Outcome::NotLinkMode);
    EXPECT_FALSE(cvx::FileManager::fileExists(home("ResultData")));

    setLink(3, false, home("missing"));  // no output folder
    EXPECT_EQ(SheetCsv::saveCsv(kChart, 0), SheetCsv::Outcome::Failed);
    EXPECT_TRUE(cvx::FileManager::fileExists(home("ResultData/") + kName + ".txt"));

    QDir().mkpath(home("out"));
    setLink(3, false);
    const struct {
        QString chart;
        std::int64_t row;
        QList<std::pair<QString, QString>> edits;
    } failures[] = {
        {"B-9", 0, {}},  // no patient file
        {kChart, 1, {}},
        {kChart, 0, {{"<DataValue6>68.8|53</DataValue6>", "<DataValue6>68.8</DataValue6>"}}},
    };
    for (const auto &f : failures) {
        SCOPED_TRACE(f.chart.toStdString() + " row " + std::to_string(f.row));
        storePatient(kChart, false, f.edits);
        EXPECT_EQ(SheetCsv::saveCsv(f.chart, f.row), SheetCsv::Outcome::Failed);
    }
    // 41 fields after the head: the last pad group is incomplete.
    QString xml = patientXml(false);
    const qsizetype cut = xml.indexOf("30.0,,,") + 4;
    xml.remove(cut, xml.indexOf("</RsvData>") - cut);
    writeText(home(".Corvadenix/Customer/A-123.xml"), xml);
    EXPECT_EQ(SheetCsv::saveCsv(kChart, 0), SheetCsv::Outcome::Failed);
    EXPECT_TRUE(QDir(home("out")).isEmpty());
}

}  // namespace
