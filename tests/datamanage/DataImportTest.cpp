#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

#include "datamanage/DataExport.h"
#include "datamanage/DataImport.h"
#include "datamanage/DataLinkImport.h"
#include "datamanage/PatientListImport.h"
#include "fixtures/dataio/DataFolderKit.h"
#include "platform/FileIo.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "platform/XmlRecovery.h"
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
    QTemporaryDir elsewhere;  // a patient file kept on another disk, linked into the data folder
    const QString linked = dataio::patientFile("E F", {dataio::currentResult("2024-02-01", "11:00", 3)});
    dataio::write(elsewhere.path() + "/P003.xml", linked);
    ASSERT_TRUE(QFile::link(elsewhere.path() + "/P003.xml", data("Customer/P003.xml")));
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

    dataio::write(SettingsFiles::lockFilePath(), "");
    const QStringList leftovers{"Customer/P001.xml.Ab3dE9", "Customer/sub/2/P009.xml.Ab3dE9"};
    for (const QString &leftover : leftovers) dataio::write(data(leftover), "<DATA");  // of killed writes

    QTemporaryDir target;
    const DataExport::Outcome exported = DataExport::exportDataFolder(target.path());
    ASSERT_EQ(exported.isSucc, 200);
    EXPECT_EQ(exported.folder, target.path() + "/" + DataExport::exportFolderName());
    EXPECT_FALSE(QFileInfo::exists(exported.folder + "/" +
                                   cvx::FileManager::lastPathComponent(SettingsFiles::lockFilePath())));
    for (const QString &leftover : leftovers)
        EXPECT_FALSE(QFileInfo::exists(exported.folder + "/" + leftover));
    EXPECT_EQ(read(exported.folder + "/Customer/P001.xml"), mine);
    EXPECT_EQ(read(exported.folder + "/Customer/P003.xml"), linked);
    EXPECT_FALSE(QFileInfo(exported.folder + "/Customer/P003.xml").isSymLink());
    ASSERT_TRUE(QFile::remove(exported.folder + "/Customer/P003.xml"));
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

// The atomic writes of the file whose temporary name holds `name` find the disk full.
namespace failingWrite {

const char *name = nullptr;

int open(const char *path, int flags, mode_t mode) {
    if (name && std::strstr(path, name)) {
        errno = ENOSPC;
        return -1;
    }
    return ::open(path, flags, mode);
}

}  // namespace failingWrite

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
    const QString transferLog =
        QDir::homePath() + "/TransferLog/TransferLog_" + QDate::currentDate().toString("yyyyMMdd") + ".log";
    EXPECT_TRUE(read(transferLog).contains("P2.xml"));
    QFile::remove(data("Customer/P2.xml"));

    // Only an earlier export, a folder, is replaced: a link, a pipe or a file under its name stays.
    const QString mine = target.path() + "/mine";
    ASSERT_TRUE(QDir().rename(earlier, mine));
    const QByteArray name = QFile::encodeName(earlier);
    for (const auto make : {+[](const char *at) { return ::symlink("mine", at); },
                            +[](const char *at) { return ::mkfifo(at, 0600); },
                            +[](const char *at) { return ::close(::open(at, O_WRONLY | O_CREAT, 0600)); }}) {
        ASSERT_EQ(make(name.constData()), 0);
        struct stat before {}, after {};
        ASSERT_EQ(::lstat(name.constData(), &before), 0);
        EXPECT_EQ(DataExport::exportDataFolder(target.path()).isSucc, 403);
        ASSERT_EQ(::lstat(name.constData(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        ASSERT_EQ(::unlink(name.constData()), 0);
    }
    ASSERT_TRUE(QDir().rename(mine, earlier));

    // The same day again replaces the earlier export whole.
    EXPECT_EQ(DataExport::exportDataFolder(target.path()).isSucc, 200);
    EXPECT_FALSE(QFile::exists(earlier + "/keep.txt"));
    EXPECT_TRUE(QFile::exists(earlier + "/Customer/P1.xml"));
    EXPECT_EQ(QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
              1);

    // A write that fails while the copy is marked or stripped of BLD fails the export, names
    // itself in the transfer log and leaves the earlier export of the day as it was.
    dataio::write(data("Customer/P1.xml"),
                  dataio::patientFile("A", {dataio::currentResult("2024-01-01", "01:00", 1)}));
    const QMap<QString, QString> exportedBefore = dataio::snapshot(earlier);
    const struct {
        const char *failing;
        const char *logged;
        bool between = false;  // free: more than the files' bytes, less than their blocks
    } kFailedWrites[] = {
        {"/Comment.xml.", "Export: Comment.xml could not be written for "},
        {"/HisSetting.xml.", "Export: HisSetting.xml could not be written for "},
        {"/Customer/P1.xml.", "Export: a patient file could not be written for "},
        {"room", "Export: the data folder could not be copied for ", true},
    };
    static fsblkcnt_t freeBlocks = 0;
    for (const QString &file : dataio::snapshot(data("")).values()) freeBlocks += file.toUtf8().size();
    freeBlocks = freeBlocks / 4096 + 1;
    for (const auto &row : kFailedWrites) {
        SCOPED_TRACE(row.failing);
        failingWrite::name = row.between ? nullptr : row.failing;
        cvx::fileio::Calls calls = cvx::fileio::systemCalls();
        calls.open = failingWrite::open;
        if (row.between)
            calls.statvfs = [](const char *, struct statvfs *info) {
                *info = {};
                info->f_frsize = 4096;
                info->f_bavail = freeBlocks;
                return 0;
            };
        DataExport::Outcome outcome;
        {
            const cvx::fileio::ScopedCalls scoped(calls);
            outcome = DataExport::exportDataFolder(target.path());
        }
        EXPECT_EQ(outcome.isSucc, 403);
        EXPECT_EQ(dataio::snapshot(earlier), exportedBefore);
        EXPECT_EQ(
            QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
        EXPECT_TRUE(read(transferLog).contains(row.logged + earlier)) << read(transferLog).toStdString();
    }
    failingWrite::name = nullptr;

    // Stripped of BLD at every depth of Customer: an imported folder keeps its subfolders.
    dataio::write(data("Customer/a/b/P3.xml"),
                  dataio::patientFile("C", {dataio::currentResult("2024-01-02", "01:00", 3)}));
    ASSERT_EQ(DataExport::exportDataFolder(target.path()).isSucc, 200);
    for (const char *file : {"/Customer/P1.xml", "/Customer/a/b/P3.xml"})
        EXPECT_FALSE(read(earlier + file).contains("DataValue4")) << file;
    EXPECT_TRUE(read(data("Customer/a/b/P3.xml")).contains("DataValue4"));

    // What a killed export left beside its target goes at the next export: its copy in the
    // making, and an earlier export it had set aside goes back in its place. Others' hidden
    // folders stay.
    const QString hex = QString(32, u'a');
    dataio::write(target.path() + "/." + DataExport::exportFolderName() + ".partial-" + hex + "/junk", "x");
    dataio::write(target.path() + "/.唾液検査結果データ2024年01月01日.old-" + hex + "/keep.txt", "then");
    dataio::write(target.path() + "/.唾液検査結果データ.mine/keep.txt", "mine");
    EXPECT_EQ(DataExport::exportDataFolder(target.path()).isSucc, 200);
    EXPECT_EQ(QDir(target.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{".唾液検査結果データ.mine", "唾液検査結果データ2024年01月01日",
                           DataExport::exportFolderName()}));
    EXPECT_EQ(read(target.path() + "/唾液検査結果データ2024年01月01日/keep.txt"), "then");
    ASSERT_TRUE(cvx::FileManager::writeAtomically(data("HisSetting.xml"), "<!--\xff--><HisSetting/>"));
    EXPECT_EQ(DataExport::exportDataFolder(target.path()).isSucc, 200);  // unmarked, byte for byte
    EXPECT_EQ(cvx::FileManager::readFile(earlier + "/HisSetting.xml"), "<!--\xff--><HisSetting/>");
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
    // Subfolders come to the same place below the local Customer, through no link and no odd name.
    const QString check = "<DATA><comment date=\"2024-01-01\" time=\"01:00\"/></DATA>";
    for (const QString name : {"sub/P2", "a/b/Check_Measure_Result", "linked/P5", "bad\nname/P6", "flat/P7",
                               ".Trash/P8", "P9.xml/P9"})
        dataio::write(c + "/" + name + ".xml", name.contains("Check") ? check : good);
    dataio::write(data("Customer/flat"), "");
    ASSERT_TRUE(QFile::link(outside.path(), data("Customer/linked")));
    dataio::write(c + "/..xml", good);
    ASSERT_TRUE(QFile::link(victim, c + "/P3.xml"));
    ASSERT_TRUE(QFile::link(outside.path(), c + "/P4.xml"));
    ASSERT_TRUE(QFile::link(outside.path(), c + "/escape"));
    // A local patient file that is a link out of the data folder is neither written through nor replaced.
    ASSERT_TRUE(QDir().mkpath(data("Customer")));
    ASSERT_TRUE(QFile::link(victim, data("Customer/P1.xml")));
    dataio::write(chosen.path() + "/HisSetting.xml", read(data("HisSetting.xml")));
    const auto before = dataio::snapshot(outside.path());

    // Names written on another system, in code page 932 bytes (患者/, 山田.xml) or in bytes
    // of no encoding: no path of text leads to them.
    const QByteArray cb = QFile::encodeName(c);
    const auto removeOdd = qScopeGuard([&] {
        for (const char *name : {"/\x8A\xB3\x8E\xD2", "/\x8ER\x93\x63.xml", "/\xFF\xFE.xml", "/\xFF.txt"})
            std::filesystem::remove_all((cb + name).toStdString());
    });
    ASSERT_EQ(::mkdir((cb + "/\x8A\xB3\x8E\xD2").constData(), 0755), 0);
    for (const char *name :
         {"/\x8A\xB3\x8E\xD2/P11.xml", "/\x8ER\x93\x63.xml", "/\xFF\xFE.xml", "/\xFF.txt"}) {
        const int fd = ::open((cb + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_TRUE(fd >= 0 && ::write(fd, good.toUtf8().constData(), size_t(good.toUtf8().size())) > 0);
        ::close(fd);
    }

    // Nested deeper than one process may hold folders open, and deeper than a path can name.
    const auto removeDeep = qScopeGuard([&] { QProcess::execute("rm", {"-rf", c + "/z"}); });
    int at = ::open(QFile::encodeName(c).constData(), O_PATH | O_CLOEXEC);
    for (int depth = 0; depth < 2100; ++depth) {
        ::mkdirat(at, "z", 0755);
        ::close(std::exchange(at, ::openat(at, "z", O_PATH | O_CLOEXEC)));
    }
    ::close(at);
    const QString deep = QString("z/").repeated(1100) + "P10.xml";
    dataio::write(c + "/" + deep, good);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit lowered{std::min<rlim_t>(limit.rlim_cur, 1024), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const DataImport::Outcome outcome = DataImport::importDataFolder(chosen.path());
    ::setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(outcome.signResult, 404);  // files left out are reported
    EXPECT_EQ(read(data("Customer/" + deep)), good);
    EXPECT_TRUE(QDir(data("Customer/z")).removeRecursively());
    EXPECT_EQ(dataio::snapshot(outside.path()), before);
    EXPECT_EQ(read(data("Customer/P1.xml")), read(victim));
    EXPECT_EQ(dataio::snapshot(data("Customer")).keys(),
              (QStringList{"P1.xml", "a", "a/b", "a/b/Check_Measure_Result.xml", "flat", "linked", "sub",
                           "sub/P2.xml"}));
    EXPECT_EQ(read(data("Customer/sub/P2.xml")), good);
    EXPECT_EQ(read(data("Customer/a/b/Check_Measure_Result.xml")), check);
    // Hidden files are passed over without a word; folders not gone into are named, and so
    // are folders and patient files whose names are not UTF-8, as a person can read them.
    EXPECT_EQ(outcome.skipped.size(), 13) << outcome.skipped.join('\n').toStdString();
    EXPECT_TRUE(outcome.skipped.contains("escape: link to a folder, not followed"));
    EXPECT_TRUE(outcome.skipped.contains("患者: name is not UTF-8"));
    EXPECT_TRUE(outcome.skipped.contains("山田.xml: name is not UTF-8"));
    EXPECT_TRUE(outcome.skipped.contains("\\xFF\\xFE.xml: name is not UTF-8"));
    // A line end in a folder's name does not split the line that names it in the transfer log.
    EXPECT_TRUE(outcome.skipped.contains("bad\\x0Aname/P6.xml: not a safe folder name"));
    const QStringList log =
        QString::fromUtf8(cvx::FileManager::readFile(cvx::FileManager::homeDirectory() +
                                                     "/TransferLog/TransferLog_" +
                                                     QDate::currentDate().toString("yyyyMMdd") + ".log")
                              .value_or(""))
            .split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log[0].startsWith("Import: 13 patient file(s) skipped: ")) << log[0].toStdString();
    EXPECT_TRUE(
        outcome.skipped.contains(QString("z/").repeated(2048) + "z: folder deeper than a path can name"));

    // The data folder itself is no folder to import.
    EXPECT_EQ(DataImport::importDataFolder(SettingsFiles::dataFolder()).signResult, 404);
}

// A folder swapped for a link between two files leads the import nowhere: neither the local
// folder it writes into nor the imported one it reads from.
TEST(DataImportTest, FoldersSwappedForLinksDuringTheImportLeadNowhere) {
    dataio::installDefaults();
    QTemporaryDir chosen;
    QTemporaryDir outside;
    const QString c = chosen.path() + "/Customer";
    const int many = 16 * QThread::idealThreadCount() + 64;  // more than the import reads ahead
    for (int i = 0; i < many; ++i) {
        dataio::write(c + QStringLiteral("/%1/P%2.xml").arg(i < 3 ? "a" : "b").arg(i),
                      dataio::patientFile("G", {}));
        dataio::write(outside.path() + QStringLiteral("/P%1.xml").arg(i),
                      dataio::patientFile("Outsider", {}));
    }
    const auto before = dataio::snapshot(outside.path());
    const auto swap = [&](const QString &folder) {
        return QDir(folder).removeRecursively() && QFile::link(outside.path(), folder);
    };
    bool sourceSwapped = false;
    bool localSwapped = false;
    DataImport::setAfterFileHookForTesting([&](const QString &name) {
        if (!sourceSwapped) sourceSwapped = swap(c + "/b");
        if (!localSwapped && name.startsWith("a/")) localSwapped = swap(data("Customer/a"));
    });
    const DataImport::Outcome outcome = DataImport::importDataFolder(chosen.path());
    DataImport::setAfterFileHookForTesting({});
    ASSERT_TRUE(sourceSwapped && localSwapped);
    EXPECT_EQ(outcome.signResult, 404);
    EXPECT_EQ(dataio::snapshot(outside.path()), before);
    const auto local = dataio::snapshot(data("Customer"));
    EXPECT_FALSE(QStringList(local.values()).join("").contains("Outsider"));
    EXPECT_EQ(
        outcome.skipped.filter(QRegularExpression("^a/P[0-2].xml: local folder is a link or a file$")).size(),
        2);
    // What was not read before the swap is named: gone meanwhile, or not to be read through a link.
    EXPECT_EQ(
        outcome.skipped.filter(QRegularExpression("^b/P[0-9]+.xml: (unreadable|not a plain file)$")).size(),
        many - 3 - local.keys().filter("b/").size());
    EXPECT_EQ(outcome.skipped.size(), many - 1 - local.keys().filter("b/").size());
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
    // A comment in the local file stays; a local file of another kind is not merged into.
    dataio::write(data("Customer/Check_Measure_Result.xml"),
                  QString(check({"2023-06-01 10:00"})).replace("</DATA>", "<!-- c --></DATA>"));
    ASSERT_EQ(DataImport::importDataFolder(chosen.path()).signResult, 200);
    EXPECT_EQ(read(data("Customer/Check_Measure_Result.xml")),
              QString(check({"2024-02-01 10:00", "2023-06-01 10:00", "2023-01-01 10:00"}))
                  .replace("</DATA>", "    <!-- c -->\n</DATA>"));
    const QString page = "<html><body><p>hello</p></body></html>";
    dataio::write(data("Customer/Check_Measure_Result.xml"), page);
    EXPECT_NE(DataImport::importDataFolder(chosen.path()).signResult, 200);
    EXPECT_EQ(read(data("Customer/Check_Measure_Result.xml")), page);

    // Files cut short on both sides are merged, each repair named by the file's whole path.
    QStringList reports;
    cvx::setXmlRepairLog([&](const QString &text) { reports << text; });
    QStringList files;
    for (const QString &folder : {data(""), chosen.path() + "/"})
        files << folder + "Customer/sub/P1.xml" << folder + "Customer/Check_Measure_Result.xml";
    for (const QString &file : files) dataio::write(file, check({"2024-03-01 10:00"}).chopped(8));
    EXPECT_EQ(DataImport::importDataFolder(chosen.path()).signResult, 200);
    cvx::setXmlRepairLog({});
    for (const QString &file : files)
        EXPECT_EQ(reports.filter("XML repaired on reading " + file + " (").size(), 1) << file.toStdString();
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

// A bulk job killed right after it has put its k-th patient file in place leaves every patient
// file whole, old or new; run to its end, it leaves no temporary file. The killed run is this
// test again in a child process, told by the environment which job to run and when to die.
namespace killed {

int renamesLeft = 0;

int renameThenDie(const char *from, const char *to, unsigned flags) {
    const int result = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
    if (result == 0 && std::strstr(to, "/Customer/") && --renamesLeft == 0) ::raise(SIGKILL);
    return result;
}

// The import writes by name in folders it holds open: the folder tells a patient file.
int renameatThenDie(int fromFolder, const char *from, int toFolder, const char *to, unsigned flags) {
    const int result = ::renameat2(fromFolder, from, toFolder, to, flags);
    const QString folder = QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(toFolder)) + '/';
    if (result == 0 && folder.contains("/Customer/") && --renamesLeft == 0) ::raise(SIGKILL);
    return result;
}

struct Job {
    const char *name;
    // Writes the job's input into the home; gives what to run the job on.
    QString (*prepare)();
    bool (*run)(const QString &input);
};

// Six patients, four of them stored already with other details and results.
void storeLocalPatients() {
    dataio::installDefaults();
    for (int i = 1; i <= 4; ++i)
        dataio::write(data(QStringLiteral("Customer/P%1.xml").arg(i)),
                      dataio::patientFile("old", {dataio::currentResult("2020-01-01", "01:00", i)}));
}

const Job kJobs[] = {
    {"import",
     [] {
         const QString chosen = cvx::FileManager::homeDirectory() + "/chosen";
         for (int i = 1; i <= 6; ++i)
             dataio::write(
                 chosen + QStringLiteral("/Customer/P%1.xml").arg(i),
                 dataio::patientFile("new", {dataio::currentResult("2024-01-01", "02:00", 10 + i)}));
         dataio::write(chosen + "/HisSetting.xml", read(data("HisSetting.xml")));
         return chosen;
     },
     [](const QString &chosen) { return DataImport::importDataFolder(chosen).signResult == 200; }},
    {"patient list",
     [] {
         const QString list = cvx::FileManager::homeDirectory() + "/list.csv";
         QString text;
         for (int i = 1; i <= 6; ++i) text += QStringLiteral("P%1,新,患者%1,1990/1/%1,F,備考\r\n").arg(i);
         cvx::FileManager::writeAtomically(list, *cvx::TextEncoding::toCp932(text));
         return list;
     },
     [](const QString &list) { return PatientListImport::importList(list).signResult == 200; }},
    {"data link, mode 5",
     [] {
         const QString input = cvx::FileManager::homeDirectory() + "/input";
         QString text;
         for (int i = 1; i <= 6; ++i) text += QStringLiteral("P%1,新,患者%1,1990/1/%1,F,連携\r\n").arg(i);
         cvx::FileManager::createDirectory(input);
         cvx::FileManager::writeAtomically(input + "/patients.csv", *cvx::TextEncoding::toCp932(text));
         return input;
     },
     [](const QString &input) { return DataLinkImport::loadAndSaveMode5WithPath(input); }},
};

const Job *jobNamed(const QByteArray &name) {
    for (const Job &job : kJobs)
        if (name == job.name) return &job;
    return nullptr;
}

// Temporary files of the atomic writer: "<name>.<random>" beside the file it replaces.
QStringList temporaries(const QString &folder) {
    QStringList found;
    for (const QString &relative : cvx::FileManager::subpaths(folder)) {
        const QString name = cvx::FileManager::lastPathComponent(relative);
        if (name.contains(QLatin1String(".xml.")) || name.contains(QLatin1String(".json.")) ||
            name.contains(QLatin1String(".csv.")))
            found.append(relative);
    }
    return found;
}

}  // namespace killed

TEST(DataImportTest, KilledBulkJobLeavesEveryPatientFileOldOrNew) {
    if (const killed::Job *job = killed::jobNamed(qgetenv("CVX_KILLED_JOB"))) {
        // The child: the home the parent prepared, and death after the k-th patient file.
        const QByteArray home = qgetenv("CVX_KILLED_HOME");
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", home + "/.config");
        killed::renamesLeft = qEnvironmentVariableIntValue("CVX_KILL_AFTER");
        cvx::fileio::Calls calls = cvx::fileio::systemCalls();
        calls.rename = killed::renameThenDie;
        calls.renameat = killed::renameatThenDie;
        const cvx::fileio::ScopedCalls scoped(calls);
        job->run(qEnvironmentVariable("CVX_KILLED_INPUT"));
        ADD_FAILURE() << "the job ended before its patient file " << qgetenv("CVX_KILL_AFTER").constData();
        return;
    }

    for (const killed::Job &job : killed::kJobs) {
        SCOPED_TRACE(job.name);
        QMap<QString, QString> before;
        QMap<QString, QString> after;
        {
            cvxtest::TestHome home;
            killed::storeLocalPatients();
            const QString input = job.prepare();
            before = dataio::snapshot(data("Customer"));
            ASSERT_TRUE(job.run(input));
            after = dataio::snapshot(data("Customer"));
            EXPECT_EQ(killed::temporaries(home.path()), QStringList());
        }
        ASSERT_EQ(after.size(), 6);

        for (int k : {1, 3, 6}) {
            cvxtest::TestHome home;
            killed::storeLocalPatients();
            const QString input = job.prepare();
            cvx::UserDefaults::standard().flush();
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("CVX_KILLED_JOB", job.name);
            env.insert("CVX_KILLED_HOME", home.path());
            env.insert("CVX_KILLED_INPUT", input);
            env.insert("CVX_KILL_AFTER", QString::number(k));
            env.insert("TMPDIR", home.path());  // the killed child's own temporary home goes with this one
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(),
                        {"--gtest_filter=DataImportTest.KilledBulkJobLeavesEveryPatientFileOldOrNew"});
            ASSERT_TRUE(child.waitForFinished(120000));
            EXPECT_EQ(child.exitStatus(), QProcess::CrashExit) << child.readAll().toStdString();

            int renewed = 0;
            const QMap<QString, QString> now = dataio::snapshot(data("Customer"));
            for (auto it = now.cbegin(); it != now.cend(); ++it) {
                if (!it.key().endsWith(".xml")) continue;
                const bool isNew = after.value(it.key()) == it.value();
                EXPECT_TRUE(isNew || before.value(it.key()) == it.value())
                    << k << " " << it.key().toStdString();
                renewed += isNew ? 1 : 0;
            }
            EXPECT_EQ(renewed, k);
            for (const QString &name : before.keys())
                EXPECT_TRUE(now.contains(name)) << k << " " << name.toStdString();
        }
    }
}
