#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>

#include "datamanage/DataExport.h"
#include "datamanage/DataImport.h"
#include "fixtures/dataio/DataFolderKit.h"
#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "support/FileSizeLimit.h"
#include "support/TestHome.h"

namespace {

using dataio::data;
using dataio::read;

cvx::UserDefaults &defaults() {
    return cvx::UserDefaults::standard();
}

QStringList flags(const QString &key) {
    return defaults().stringArrayForKey(key);
}

// Export then import: the patient files arrive as they were, merged with the local ones; the
// lists are merged and the ticks of the exporting computer carried over.
TEST(DataImportTest, ExportThenImportIntoAnotherHomeMergesAsTheOtherComputerHadIt) {
    dataio::installDefaults();
    const QString mine = dataio::patientFile("A B", {dataio::currentResult("2024-03-05", "10:00", 1),
                                                     dataio::currentResult("2024-01-02", "09:00", 2)});
    dataio::write(data("Customer/P001.xml"), mine);
    dataio::write(data("Customer/P002.xml"), dataio::patientFile("C D", {}));
    dataio::write(data("USBSetting.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA/>\n");
    dataio::write(data("DataTransfer.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <INPUT>/srv/in</INPUT>\n"
                  "    <OUTPUT>/srv/out</OUTPUT>\n</DATA>\n");
    dataio::write(data("ModeSetting.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <MODE>4</MODE>\n    "
                  "<Extra>x</Extra>\n</DATA>\n");
    ASSERT_TRUE(
        BBInitDatas::setHospital({"さくら歯科クリニック", "遠くの歯科", "ひまわり歯科医院"}, "hospital"));
    defaults().setObject(QStringList{"0", "0", "1"}, "hos1");
    defaults().setObject(QStringList{"0", "0", "0"}, "hos2");  // no dentist ticked
    ASSERT_TRUE(BBInitDatas::setTotal({"総合A", "総合B"}, "total"));
    defaults().setObject(QStringList{"0", "1"}, "ztotAry");
    const QStringList ms0 = BBInitDatas::getTableDetail().value("ms0");
    QVariantList sign = defaults().arrayForKey("zsignData");
    QVariantList msLevels = sign[0].toList();
    msLevels[0] = QStringList{"0", "0", "1"};
    sign[0] = msLevels;
    defaults().setObject(sign, "zsignData");

    QTemporaryDir target;
    const DataExport::Outcome exported = DataExport::exportDataFolder(target.path());
    ASSERT_EQ(exported.isSucc, 200);
    EXPECT_EQ(exported.folder, target.path() + "/" + DataExport::exportFolderName());
    EXPECT_EQ(read(exported.folder + "/Customer/P001.xml"), mine);
    EXPECT_TRUE(
        read(exported.folder + "/HisSetting.xml").contains("<hospital3 select=\"1\">ひまわり歯科医院"));
    EXPECT_FALSE(read(data("HisSetting.xml")).contains("select"));

    // A second computer with its own patient P001 (one result at the same time, one other).
    cvxtest::TestHome other;
    dataio::installDefaults();
    const QString theirsSame = dataio::currentResult("2024-03-05", "10:00", 7);
    dataio::write(data("Customer/P001.xml"),
                  dataio::patientFile("A B", {theirsSame, dataio::currentResult("2023-12-24", "08:00", 3)}));
    defaults().setObject(QStringList{"0", "1", "0"}, "hos2");

    const DataImport::Outcome outcome = DataImport::importDataFolder(exported.folder);
    EXPECT_EQ(outcome.signResult, 200);
    EXPECT_EQ(outcome.alertStr, "インポートは成功しました。");
    EXPECT_EQ(outcome.fileList, (QStringList{"Customer", "     P001.xml", "     P002.xml"}))
        << outcome.fileList.join('|').toStdString();

    EXPECT_EQ(read(data("Customer/P001.xml")),
              dataio::patientFile("A B", {theirsSame, dataio::currentResult("2024-01-02", "09:00", 2),
                                          dataio::currentResult("2023-12-24", "08:00", 3)}));
    EXPECT_EQ(read(data("Customer/P002.xml")), dataio::patientFile("C D", {}));

    EXPECT_EQ(
        BBInitDatas::getHospital().value("hospital"),
        (QStringList{"さくら歯科クリニック", "みなと台デンタルオフィス", "ひまわり歯科医院", "遠くの歯科"}));
    EXPECT_EQ(flags("hos1"), (QStringList{"0", "0", "1", "0"}));
    EXPECT_EQ(defaults().stringForKey("zhospital"), "ひまわり歯科医院");
    EXPECT_EQ(flags("hos2"), (QStringList{"0", "1", "0"}));  // nothing ticked there: local tick stays
    EXPECT_EQ(BBInitDatas::getTotal().value("total").mid(BBInitDatas::getTotal().value("total").size() - 2),
              (QStringList{"総合A", "総合B"}));
    EXPECT_EQ(defaults().stringForKey("ztotal"), "総合B");
    EXPECT_EQ(defaults().arrayForKey("zsignData")[0].toList()[0].toStringList(),
              (QStringList{"0", "0", "1"}));
    EXPECT_EQ(defaults().arrayForKey("zcontent")[0].toList()[0].toString(), ms0.at(2));

    EXPECT_EQ(read(data("USBSetting.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <Timeout>10000</Timeout>\n</DATA>\n");
    EXPECT_TRUE(read(data("DataTransfer.xml")).contains("<INPUT>/srv/in</INPUT>"));
    EXPECT_EQ(read(data("ModeSetting.xml")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <MODE>4</MODE>\n    "
              "<DeleteBLD>0</DeleteBLD>\n</DATA>\n");
}

TEST(DataImportTest, ExportIntoTheDataFolderFailsAndAPartialExportNamesWhatItLeftOut) {
    dataio::installDefaults();
    dataio::write(data("Customer/P1.xml"), dataio::patientFile("A", {}));
    EXPECT_EQ(DataExport::exportDataFolder(data("Customer")).isSucc, 403);

    QTemporaryDir target;
    const QString earlier = target.path() + "/" + DataExport::exportFolderName();
    dataio::write(earlier + "/keep.txt", "earlier");
    // In the six-item mode a patient file that cannot be read is left out and named; the rest
    // is exported.
    dataio::write(data("ModeSetting.xml"), "<DATA><MODE>0</MODE><DeleteBLD>1</DeleteBLD></DATA>");
    dataio::write(data("Customer/P2.xml"), "DATA comment");  // no element, even when repaired
    const DataExport::Outcome partial = DataExport::exportDataFolder(target.path());
    EXPECT_EQ(partial.isSucc, 403);
    EXPECT_EQ(partial.skipped, QStringList{"P2.xml"});
    EXPECT_TRUE(QFile::exists(earlier + "/Customer/P1.xml"));
    EXPECT_FALSE(QFile::exists(earlier + "/Customer/P2.xml"));
    EXPECT_TRUE(read(QDir::homePath() + "/TransferLog/TransferLog_" +
                     QDate::currentDate().toString("yyyyMMdd") + ".log")
                    .contains("P2.xml"));
    QFile::remove(data("Customer/P2.xml"));

    // The same day again replaces the earlier export whole.
    EXPECT_EQ(DataExport::exportDataFolder(target.path()).isSucc, 200);
    EXPECT_FALSE(QFile::exists(earlier + "/keep.txt"));
    EXPECT_TRUE(QFile::exists(earlier + "/Customer/P1.xml"));
    EXPECT_EQ(QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              1);
}

// Names that must never lead the import outside the data folder's Customer folder.
TEST(DataImportTest, HostileNamesInTheImportedFolderWriteNothingOutside) {
    dataio::installDefaults();
    QTemporaryDir chosen;
    QTemporaryDir outside;
    const QString victim = outside.path() + "/victim.xml";
    dataio::write(victim, dataio::patientFile("V", {}));
    const QString c = chosen.path() + "/Customer";
    const QString good = dataio::patientFile("G", {dataio::currentResult("2024-01-01", "01:00", 1)});
    dataio::write(c + "/P1.xml", good);
    dataio::write(c + "/.hidden.xml", good);
    dataio::write(c + "/sub/P2.xml", good);
    dataio::write(c + "/..xml", good);
    ASSERT_TRUE(QFile::link(victim, c + "/P3.xml"));
    ASSERT_TRUE(QFile::link(outside.path(), c + "/P4.xml"));
    ASSERT_TRUE(QFile::link(outside.path(), c + "/escape"));
    // A local patient file that is a link out of the data folder is neither written through nor replaced.
    ASSERT_TRUE(QDir().mkpath(data("Customer")));
    ASSERT_TRUE(QFile::link(victim, data("Customer/P1.xml")));
    dataio::write(chosen.path() + "/HisSetting.xml", read(data("HisSetting.xml")));
    const auto before = dataio::snapshot(outside.path());

    const DataImport::Outcome outcome = DataImport::importDataFolder(chosen.path());
    EXPECT_EQ(outcome.signResult, 404);  // files left out are reported
    EXPECT_EQ(dataio::snapshot(outside.path()), before);
    EXPECT_EQ(read(data("Customer/P1.xml")), read(victim));
    EXPECT_EQ(dataio::snapshot(data("Customer")).keys(), QStringList{"P1.xml"});
    // Hidden files are passed over without a word.
    EXPECT_EQ(outcome.skipped.size(), 4) << outcome.skipped.join('\n').toStdString();

    // The data folder itself is no folder to import.
    EXPECT_EQ(DataImport::importDataFolder(SettingsFiles::dataFolder()).signResult, 404);
}

// The import merges what it can: a cancel keeps what was merged, a folder holding only
// Customer merges its patients and still fails, and a patient file that cannot be merged is
// left out, named in the transfer log, and fails the import.
TEST(DataImportTest, WhatWasMergedStaysMergedAndEverySkippedFileFailsTheImport) {
    dataio::installDefaults();
    dataio::write(data("Customer/P1.xml"),
                  dataio::patientFile("L", {dataio::currentResult("2020-01-01", "01:00", 1)}));
    QTemporaryDir chosen;
    for (const QString name : {"P1", "P2", "P3"})
        dataio::write(chosen.path() + "/Customer/" + name + ".xml",
                      dataio::patientFile(name, {dataio::currentResult("2024-01-01", "01:00", 2)}));
    dataio::write(chosen.path() + "/HisSetting.xml",
                  "<r><g name=\"hospital\"><hospital1 select=\"1\">新</hospital1></g></r>");
    const QVariant hos1 = defaults().objectForKey("hos1");

    std::atomic<bool> cancel{false};
    QStringList taken;
    DataImport::setAfterFileHookForTesting([&](const QString &name) {
        taken.append(name);
        cancel = taken.size() == 2;
    });
    DataImport::Outcome outcome = DataImport::importDataFolder(chosen.path(), &cancel);
    DataImport::setAfterFileHookForTesting({});
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.signResult, 404);
    EXPECT_EQ(dataio::snapshot(data("Customer")).size(), taken.contains("P1.xml") ? 2 : 3);
    QFile::remove(chosen.path() + "/HisSetting.xml");
    EXPECT_EQ(defaults().objectForKey("hos1"), hos1);  // settings come after the patients

    outcome = DataImport::importDataFolder(chosen.path());
    EXPECT_EQ(outcome.signResult, 404);
    EXPECT_EQ(outcome.alertStr, "インポート対象ファイルがありません。");
    EXPECT_EQ(dataio::snapshot(data("Customer")).size(), 3);
    EXPECT_EQ(read(data("Customer/P1.xml")),
              dataio::patientFile("P1", {dataio::currentResult("2024-01-01", "01:00", 2),
                                         dataio::currentResult("2020-01-01", "01:00", 1)}));

    // An unreadable imported file and an unreadable local one: the rest is merged.
    dataio::write(chosen.path() + "/USBSetting.xml", read(data("USBSetting.xml")));
    dataio::write(chosen.path() + "/Customer/P4.xml", "DATA comment");  // no element, even when repaired
    dataio::write(data("Customer/P3.xml"), "DATA comment");
    dataio::write(chosen.path() + "/Customer/P5.xml", dataio::patientFile("P5", {}));
    outcome = DataImport::importDataFolder(chosen.path());
    EXPECT_EQ(outcome.signResult, 404);
    EXPECT_EQ(outcome.skipped.size(), 2) << outcome.skipped.join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(data("Customer/P5.xml")));
    EXPECT_TRUE(read(QDir::homePath() + "/TransferLog/TransferLog_" +
                     QDate::currentDate().toString("yyyyMMdd") + ".log")
                    .contains("Import: 2 patient file(s) skipped"));
}

TEST(DataImportTest, CheckFileIsCopiedOrMergedNewestFirstWithoutRepeats) {
    dataio::installDefaults();
    const auto check = [](const QStringList &results) {
        QString s =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"\" birthday=\"\" age=\"\" sex=\"0\">\n";
        for (const QString &r : results) {
            const QStringList dt = r.split(' ');
            s += QStringLiteral(
                     "    <comment date=\"%1\" time=\"%2\">\n        <RsvData>%3</RsvData>\n    </comment>\n")
                     .arg(dt[0], dt[1], r);
        }
        return s + "</DATA>\n";
    };
    QTemporaryDir chosen;
    dataio::write(chosen.path() + "/Customer/Check_Measure_Result.xml",
                  check({"2024-02-01 10:00", "2023-01-01 10:00"}));
    dataio::write(chosen.path() + "/USBSetting.xml", read(data("USBSetting.xml")));
    ASSERT_EQ(DataImport::importDataFolder(chosen.path()).signResult, 200);
    EXPECT_EQ(read(data("Customer/Check_Measure_Result.xml")),
              check({"2024-02-01 10:00", "2023-01-01 10:00"}));

    dataio::write(data("Customer/Check_Measure_Result.xml"), check({"2023-06-01 10:00", "2023-01-01 10:00"}));
    ASSERT_EQ(DataImport::importDataFolder(chosen.path()).signResult, 200);
    EXPECT_EQ(read(data("Customer/Check_Measure_Result.xml")),
              check({"2024-02-01 10:00", "2023-06-01 10:00", "2023-01-01 10:00"}));
}

}  // namespace

TEST(DataImportTest, ImportOnAFullDiskFailsAndLeavesEveryPatientFileWhole) {
    dataio::installDefaults();
    const QString mine = dataio::patientFile("L", {dataio::currentResult("2020-01-01", "01:00", 1)});
    dataio::write(data("Customer/P1.xml"), mine);
    QTemporaryDir chosen;
    for (const QString name : {"P1", "P2"})
        dataio::write(chosen.path() + "/Customer/" + name + ".xml",
                      dataio::patientFile(name, {dataio::currentResult("2024-01-01", "01:00", 2),
                                                 dataio::currentResult("2023-01-01", "01:00", 3)}));
    DataImport::Outcome outcome;
    {
        // No file may grow past the local patient file: the merge and the new copy both fail.
        const cvxtest::FileSizeLimit full(rlim_t(read(data("Customer/P1.xml")).toUtf8().size()));
        if (!full.active()) GTEST_SKIP() << "no file size limit can be set here";
        outcome = DataImport::importDataFolder(chosen.path());
    }
    EXPECT_EQ(outcome.signResult, 404);
    EXPECT_EQ(read(data("Customer/P1.xml")), mine);
    for (const QString &name : cvx::FileManager::contentsOfDirectory(data("Customer")))
        EXPECT_GT(QFileInfo(data("Customer/" + name)).size(), 0) << name.toStdString();
}
