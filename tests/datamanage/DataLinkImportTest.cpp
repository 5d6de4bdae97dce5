#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "datamanage/DataLinkImport.h"
#include "datamanage/PatientFields.h"
#include "link/LogClock.h"
#include "link/UsbManager.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "records/SettingsFiles.h"
#include "records/SettingsFixture.h"
#include "records/UsbUtils.h"

namespace {

using cvx::FileManager;

// The session caches the data-link mode of the home it read first; each test has a home of its
// own, so each starts without that cache.
class FreshSession : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &) override { UsbManager::resetSharedForTesting(); }
};
const bool kFreshSession = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FreshSession);
    return true;
}();

QString home(const QString &relative) {
    return FileManager::homeDirectory() + u'/' + relative;
}

QString text(const QString &path) {
    return QString::fromUtf8(FileManager::readFile(path).value_or("<missing>"));
}

// Whole years, counted independently of the program's calendar code.
QString ageOf(const QString &birthday) {
    const QDate birth = QDate::fromString(birthday, Qt::ISODate), today = QDate::currentDate();
    return QString::number(today.year() - birth.year() -
                           (today < birth.addYears(today.year() - birth.year())));
}

// The root element's start tag of a patient file.
QString root(const QString &name, const QString &birthday, const QString &sex) {
    return QStringLiteral("<DATA name=\"%1\" birthday=\"%2\" age=\"%3\" sex=\"%4\">")
        .arg(name, birthday, birthday.isEmpty() ? QString() : ageOf(birthday), sex);
}

QString patientFile(const QString &name, const QString &birthday, const QString &sex) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n" + root(name, birthday, sex) +
           "</DATA>\n";
}

class DataLinkImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        cvx::LogClock::setNowProvider([] { return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)); });
    }
    void TearDown() override {
        cvx::LogClock::setNowProvider({});
        DataLinkImport::setBeforeRemoveHookForTesting({});
    }

    // The link's mode and input folder, and the fixture folder's files copied into that folder.
    void linkTo(int mode, const QString &fixture = QString()) {
        setMode(mode);
        settingsfixture::installText("DataTransfer.xml",
                                     QStringLiteral("<DATA><INPUT>%1</INPUT><OUTPUT/></DATA>").arg(input()));
        const QString source = QStringLiteral(CVX_SOURCE_DIR "/tests/datamanage/fixtures/") + fixture;
        ASSERT_TRUE(fixture.isNull() ? FileManager::createDirectory(input())
                                     : FileManager::copyItem(source, input()));
    }
    void setMode(int mode) {
        UsbManager::resetSharedForTesting();  // drops the cached mode
        settingsfixture::installText("ModeSetting.xml",
                                     QStringLiteral("<DATA><MODE>%1</MODE></DATA>").arg(mode));
    }
    QString input() const { return home(QStringLiteral("input")); }
    void drop(const QString &name, const QByteArray &bytes) {
        ASSERT_TRUE(FileManager::writeAtomically(input() + u'/' + name, bytes));
    }
    QStringList inputFiles() const {
        QStringList files;
        for (const QString &relative : FileManager::sortedSubpaths(input()))
            if (!FileManager::isDirectory(input() + u'/' + relative)) files.append(relative);
        return files;
    }
    // Starts an import as the data-management window does and waits for its completion.
    std::optional<bool> runImport() {
        std::optional<bool> outcome;
        EXPECT_TRUE(UsbUtils::readCsvOrTxt([&](bool ok) {
            EXPECT_TRUE(cvx::Dispatch::isMainThread());
            outcome = ok;
        }));
        DataLinkImport::waitForIdle();
        QCoreApplication::processEvents();
        return outcome;
    }
    QString patient(const QString &chartNo) const { return text(UsbUtils::getXmlPath(chartNo)); }
    QStringList transferLog() const {
        QStringList lines = text(home("TransferLog/TransferLog_20240506.log")).split("\r\n");
        lines.sort();
        return lines;
    }
};

TEST_F(DataLinkImportTest, Mode3TakesACsvWholeAndATxtByLineAndKeepsAFileWithABadLine) {
    linkTo(3, "mode3");
    const QString result = QStringLiteral("<comment date=\"2024-01-02\" time=\"10:00\"></comment>");
    settingsfixture::installText("Customer/12345.xml",
                                 "<DATA name=\"old\" extra=\"x\">" + result + "</DATA>");
    // visits.txt stays for its empty line, which fails the run.
    EXPECT_EQ(runImport(), false);
    // 12345.csv names the patient by its file name.
    EXPECT_EQ(patient("12345"), root("山田太郎", "1980-01-01", "0") + "\n    " + result + "\n</DATA>\n");
    EXPECT_EQ(patient("A001"), patientFile("佐藤花子", "1990-02-15", "1"));
    EXPECT_EQ(patient("A002"), patientFile("鈴木,一", "1975-03-09", "2"));
    EXPECT_EQ(inputFiles(), QStringList{"visits.txt"});
    const QString kept = "Not imported," + input() + "/visits.txt,1 record(s) rejected,20240506 070809";
    EXPECT_EQ(transferLog(),
              QStringList({"", "12345,山田太郎 ,20240506 070809", "A001,佐藤花子 ,20240506 070809",
                           "A002,鈴木,一 ,20240506 070809", kept}));

    // A correction made since survives the next launch: the file left there is not applied
    // again while it is unchanged, and is read again once it changes.
    settingsfixture::installText("Customer/A001.xml", patientFile("佐藤花", "1990-02-15", "1"));
    EXPECT_EQ(runImport(), false);
    EXPECT_EQ(patient("A001"), patientFile("佐藤花", "1990-02-15", "1"));
    EXPECT_EQ(transferLog().filter(kept).size(), 2);
    QFile visits(input() + "/visits.txt");
    const QDateTime modified = visits.fileTime(QFile::FileModificationTime);
    drop("visits.txt", FileManager::readFile(visits.fileName())->replace("A002", "A003"));
    ASSERT_TRUE(visits.open(QIODevice::ReadWrite) &&
                visits.setFileTime(modified, QFile::FileModificationTime));
    visits.close();
    EXPECT_EQ(runImport(), false);
    EXPECT_EQ(patient("A001"), patientFile("佐藤花子", "1990-02-15", "1"));
    // A file that could not be removed is not applied again over a correction made since.
    drop("kept.txt", "K1\ta" + QByteArray(10, '\t'));
    QFile::setPermissions(input(), QFile::ReadOwner | QFile::ExeOwner);
    QProcess::execute("chattr", {"+i", input()});  // root ignores the mode
    if (QFile(input() + "/probe").open(QIODevice::WriteOnly)) GTEST_SKIP() << "the folder stays writable";
    EXPECT_EQ(runImport(), false);
    settingsfixture::installText("Customer/K1.xml", patientFile("c", "", "0"));
    QProcess::execute("chattr", {"-i", input()});
    QFile::setPermissions(input(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    runImport();
    EXPECT_EQ(patient("K1"), patientFile("c", "", "0"));
}

TEST_F(DataLinkImportTest, Mode4ReadsBlocksOfNineLinesInSubfolders) {
    linkTo(4, "mode4");
    drop("halfwidth.txt", *cvx::TextEncoding::toCp932(
                              QStringLiteral("H4\r\n\r\n-\r\nﾃｲ ﾐｵ\r\n1\r\n1980-01-02\r\n\r\n\r\n\r\n")));
    // UTF-8 whose bytes read as Shift-JIS too, and a file of Shift-JIS blocks with one in UTF-8.
    const auto block = [](const QString &chartNo, const QString &name) {
        return chartNo + QStringLiteral("\r\n\r\n-\r\n") + name +
               QStringLiteral("\r\n0\r\n1980-01-02\r\n\r\n\r\n\r\n");
    };
    drop("scripts.txt", (block("Z4", "赵丽") + block("K4", "황태윤") + block("R4", "Лебедев Иван") +
                         block("J4", "小野寺颯太"))
                            .toUtf8());
    drop("odd.txt", *cvx::TextEncoding::toCp932(block("S4", "ﾃｲ ﾐｵ")) + block("V4", "伊藤結衣").toUtf8());
    drop("capitals.txt", (block("Y4", "MORI YŪKI") + block("W4", "VŨ ANH")).toUtf8());
    // blocks.txt ends in a block cut short, and the run fails; short.txt, no whole block, stays.
    EXPECT_EQ(runImport(), false);
    EXPECT_EQ(patient("B100"), patientFile("高橋一郎", "1965-12-31", "0"));
    EXPECT_EQ(patient("B200"), patientFile("伊藤", "2000-03-01", "1"));
    EXPECT_EQ(patient("H4"), patientFile("ﾃｲ ﾐｵ", "1980-01-02", "1"));  // valid UTF-8 too
    EXPECT_EQ(patient("Z4"), patientFile("赵丽", "1980-01-02", "0"));
    EXPECT_EQ(patient("K4"), patientFile("황태윤", "1980-01-02", "0"));
    EXPECT_EQ(patient("R4"), patientFile("Лебедев Иван", "1980-01-02", "0"));
    EXPECT_EQ(patient("J4"), patientFile("小野寺颯太", "1980-01-02", "0"));
    EXPECT_EQ(patient("W4"), patientFile("VŨ ANH", "1980-01-02", "0"));
    EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath("S4")));
    EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath("V4")));
    EXPECT_EQ(inputFiles(), QStringList({"odd.txt", "short.txt", "sub/blocks.txt"}));
    EXPECT_EQ(transferLog().filter("record(s) rejected").size(), 1);
    EXPECT_EQ(transferLog().filter("/odd.txt,Shift-JIS and UTF-8 lines mixed,").size(), 1);
    EXPECT_EQ(transferLog().filter("20240506070809").size(), 11);
    ASSERT_TRUE(FileManager::removeItem(input() + "/sub/blocks.txt"));
    ASSERT_TRUE(FileManager::removeItem(input() + "/odd.txt"));
    EXPECT_EQ(runImport(), true);
    EXPECT_EQ(inputFiles(), QStringList({"short.txt"}));
}

// A file whose text cannot tell Shift-JIS from UTF-8 stays whatever the files beside it show: two
// programs may feed one folder. µ alone is "ﾂｵ" in Shift-JIS, TNF α "TNF ﾎｱ", SMRŽ "SMRﾅｽ".
TEST_F(DataLinkImportTest, AFileThatCannotTellItsEncodingStaysWhateverItsRunShows) {
    linkTo(5);
    // A Shift-JIS note beside a UTF-8 file tells its own encoding.
    drop("note.csv", *cvx::TextEncoding::toCp932(QStringLiteral("E5,Sato,Ken,,,ECGﾖｳ\n")));
    drop("utf8.csv", QStringLiteral("L5,Freitas,Lívia,,,\n").toUtf8());
    EXPECT_EQ(runImport(), true);
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("E5_remark"), "ECGﾖｳ");
    drop("sign.csv", QStringLiteral("M6,Sato,Ken,,,µ\n").toUtf8());
    drop("greek.csv", QStringLiteral("G6,Sato,Ken,,,TNF α\n").toUtf8());
    drop("capitals\n.csv", QStringLiteral("C6,SMRŽ,JAN,,,\n").toUtf8());
    drop("cp932.csv", *cvx::TextEncoding::toCp932(QStringLiteral("J6,山田,太郎,,,\n")));
    EXPECT_EQ(runImport(), false);
    for (const char *chartNo : {"M6", "G6", "C6"})
        EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath(chartNo))) << chartNo;
    EXPECT_EQ(inputFiles(), QStringList({"capitals\n.csv", "greek.csv", "sign.csv"}));
    EXPECT_EQ(transferLog().filter(",Shift-JIS or UTF-8, which the text cannot tell,").size(), 3);
    EXPECT_TRUE(text(home("Error.txt"))
                    .contains("capitals\\x0A.csv: Shift-JIS or UTF-8, which the text cannot tell"));
}

TEST_F(DataLinkImportTest, Mode5KeepsEveryFileThatWasNotWhollyImported) {
    linkTo(0, "mode5");
    const QByteArray garbled("\x81\x20\x41", 3);  // neither Shift-JIS nor UTF-16
    drop("garbled.csv", garbled);
    drop("utf8.csv", "\xEF\xBB\xBF" + QStringLiteral("U1,渡辺,,,,\n").toUtf8());
    drop("utf8-no-mark.csv", QStringLiteral("U2,伊藤,結衣,,,\n").toUtf8());  // reads as Shift-JIS too
    drop("sjis.csv", "S1,\xE4\xBB\x8E\x71,,,,\nS2,\xED\x95\x8E\x52,,,,\n");
    // Both read as UTF-8 and as Shift-JIS too; a file of lines in each is neither.
    drop("halfwidth.csv", *cvx::TextEncoding::toCp932(QStringLiteral(
                              "H1,ﾃｲ,ﾐｵ,1980/01/02,M,\r\nH2,ﾆｼ ﾃｲ,,,F,\r\nH3,ﾃｲ,Sato,,,ﾂｰ\r\n")));
    drop("utf8-names.csv", QStringLiteral("L1,Łukasz,Małgorzata,,,\nL2,茉莉,Sato,,,\n").toUtf8());
    const QByteArray mixed = "M1,\x8D\xB2\x93\xA1,,,,\n" + QStringLiteral("M2,花子,,,,\n").toUtf8();
    drop("two-encodings.csv", mixed);
    // Names in other writing systems in UTF-8 whose bytes read as Shift-JIS too, where
    // Shift-JIS glues half-width kana to kanji ("襍ｵ", "ﾐ嶢ｵ").
    drop("scripts.csv", QStringLiteral("Z1,赵,丽,,,\nK1,황,태윤,,,\nR1,Лебедев,Иван,1980/01/02,M,\n"
                                       "G1,Μαρκάκη,Μαρία,,,\n")
                            .toUtf8());
    drop("japanese-and-cyrillic.csv", QStringLiteral("J1,小野寺,颯太,,,\nR2,Ким,Олег,,,\n").toUtf8());
    // Lines that read as Shift-JIS too, and plausibly so, in a file of UTF-8 and of Shift-JIS.
    drop("capitals.csv", QStringLiteral("C1,MORI,YŪKI,,,β-blocker\nC2,OGAWA,RYŪ,,,Jürgen先生\n").toUtf8());
    drop("note.csv",
         *cvx::TextEncoding::toCp932(QStringLiteral("C3,山田,太郎,,,\r\nC4,Sato,Ken,,,Mrﾃｲ\r\n")));
    // One line in the other encoding whose bytes this file's encoding reads too: no name of the
    // file is stored, and the file stays.
    const QByteArray oddUtf8 = *cvx::TextEncoding::toCp932(QStringLiteral("S3,佐藤,花子,,,\r\n")) +
                               QStringLiteral("V1,伊藤,結衣,,,\r\n").toUtf8();
    drop("odd-utf8-line.csv", oddUtf8);
    const QByteArray oddShiftJis = QStringLiteral("U3,伊藤,結衣,,,\r\n").toUtf8() +
                                   *cvx::TextEncoding::toCp932(QStringLiteral("T1,ﾃｲ,ﾐｵ,,,\r\n"));
    drop("odd-shift-jis-line.csv", oddShiftJis);
    EXPECT_EQ(runImport(), std::nullopt);  // no link mode: nothing starts
    EXPECT_FALSE(FileManager::fileExists(UsbUtils::customerFolder()));

    setMode(5);
    EXPECT_EQ(runImport(), false);  // files stay: rejected records, undecodable text

    EXPECT_EQ(patient("D1"), patientFile("田中 次郎", "1980-01-01", "1"));
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("D1_remark"), "再来院");
    EXPECT_EQ(patient(QString(30, u'A')), patientFile("E F", "", "2"));
    EXPECT_EQ(patient("D2"), patientFile("木村", "", "0"));
    EXPECT_EQ(cvx::UserDefaults::standard().objectForKey("D2_remark"), QVariant(QString("")));
    EXPECT_EQ(patient("U1"), patientFile("渡辺", "", "2"));
    EXPECT_EQ(patient("U2"), patientFile("伊藤 結衣", "", "2"));
    EXPECT_EQ(patient("S1"), patientFile("莉子", "", "2"));
    EXPECT_EQ(patient("S2"), patientFile("﨑山", "", "2"));
    EXPECT_EQ(patient("H1"), patientFile("ﾃｲ ﾐｵ", "1980-01-02", "0"));
    EXPECT_EQ(patient("H2"), patientFile("ﾆｼ ﾃｲ", "", "1"));
    EXPECT_EQ(patient("H3"), patientFile("ﾃｲ Sato", "", "2"));
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("H3_remark"), "ﾂｰ");
    EXPECT_EQ(patient("L1"), patientFile("Łukasz Małgorzata", "", "2"));
    EXPECT_EQ(patient("L2"), patientFile("茉莉 Sato", "", "2"));
    EXPECT_EQ(patient("Z1"), patientFile("赵 丽", "", "2"));
    EXPECT_EQ(patient("K1"), patientFile("황 태윤", "", "2"));
    EXPECT_EQ(patient("R1"), patientFile("Лебедев Иван", "1980-01-02", "0"));
    EXPECT_EQ(patient("G1"), patientFile("Μαρκάκη Μαρία", "", "2"));
    EXPECT_EQ(patient("J1"), patientFile("小野寺 颯太", "", "2"));
    EXPECT_EQ(patient("R2"), patientFile("Ким Олег", "", "2"));
    EXPECT_EQ(patient("C1"), patientFile("MORI YŪKI", "", "2"));
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("C2_remark"), "Jürgen先生");
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("C4_remark"), "Mrﾃｲ");
    for (const char *chartNo : {"S3", "V1", "U3", "T1"})
        EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath(chartNo))) << chartNo;
    EXPECT_EQ(inputFiles(), QStringList({"garbled.csv", "hostile.csv", "odd-shift-jis-line.csv",
                                         "odd-utf8-line.csv", "titled.csv", "two-encodings.csv"}));
    EXPECT_EQ(FileManager::readFile(input() + "/garbled.csv"), garbled);
    EXPECT_EQ(FileManager::readFile(input() + "/two-encodings.csv"), mixed);
    EXPECT_EQ(FileManager::readFile(input() + "/odd-utf8-line.csv"), oddUtf8);
    EXPECT_EQ(FileManager::readFile(input() + "/odd-shift-jis-line.csv"), oddShiftJis);
    for (const char *file : {"/two-encodings.csv", "/odd-utf8-line.csv", "/odd-shift-jis-line.csv"})
        EXPECT_EQ(transferLog().filter(file + QStringLiteral(",Shift-JIS and UTF-8 lines mixed,")).size(), 1)
            << file;
    EXPECT_TRUE(text(home("Error.txt")).contains("odd-utf8-line.csv: Shift-JIS and UTF-8 lines mixed"));
    // Hostile chart numbers write nothing; the refused one is noted in the error log.
    EXPECT_EQ(FileManager::contentsOfDirectory(UsbUtils::customerFolder()).size(), 22);
    EXPECT_TRUE(text(home("Error.txt")).contains("chart number \"Check_Measure_Result\""));
    EXPECT_EQ(transferLog().filter("Not imported").size(), 6);
    EXPECT_EQ(transferLog().size(), 29);  // 22 patients, six files kept, the empty last line
    // A file whose name is not UTF-8 (山田.csv in code page 932, from a stick written on another
    // system) is named as a person reads it, not passed over, and stays.
    const QByteArray oddName = QFile::encodeName(input()) + "/\x8ER\x93\x63.csv";
    const int fd = ::open(oddName.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_TRUE(fd >= 0 && ::write(fd, "Y1,a,b,,M,\n", 11) == 11 && ::close(fd) == 0);
    EXPECT_EQ(runImport(), false);
    EXPECT_EQ(transferLog().filter("Not imported," + input() + "/山田.csv,name is not UTF-8,").size(), 1);
    EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath("Y1")));
    ASSERT_EQ(::unlink(oddName.constData()), 0);
    // A file remembered in another mode is read anew: its layout finds other records in it.
    drop("tabs.csv", "M3\tname" + QByteArray(10, '\t'));
    EXPECT_EQ(runImport(), false);
    setMode(3);
    runImport();
    EXPECT_EQ(patient("M3"), patientFile("name", "", "2"));
}

// Every line end ends a line, even mixed in one file; a name holding what log readers end a line
// at is logged printably.
TEST_F(DataLinkImportTest, MixedLineEndsSplitEveryRecord) {
    linkTo(5);
    drop("mixed.csv", "E1,a,b,,M,r1\r\nE2,c,d,,F,r2\nE3,e,f,,M,r3\rE4,g,h,,F,r4\r\n" +
                          QStringLiteral("E5,Ab\u0085c,d\u2028e\x1B\x7F\v,,M,\n").toUtf8());
    EXPECT_EQ(runImport(), true);
    EXPECT_TRUE(transferLog().contains("E5,Ab\\x85c d\\u2028e\\x1B\\x7F\\x0B,20240506 070809"));
    for (const char *chartNo : {"E1", "E2", "E3", "E4"})
        EXPECT_TRUE(FileManager::fileExists(UsbUtils::getXmlPath(chartNo))) << chartNo;
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("E1_remark"), "r1");
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("E3_remark"), "r3");
    EXPECT_TRUE(inputFiles().isEmpty());
    // A pipe as the day's transfer log is not waited on (a wait ends the test program, failed).
    const QByteArray log = QFile::encodeName(home("TransferLog/TransferLog_20240506.log"));
    ASSERT_TRUE(::unlink(log.constData()) == 0 && ::mkfifo(log.constData(), 0600) == 0);
    drop("more.csv", "E6,i,j,,M,\r\n");
    ::alarm(20);
    EXPECT_EQ(runImport(), true);
    ::alarm(0);
    EXPECT_TRUE(FileManager::fileExists(UsbUtils::getXmlPath("E6")) && inputFiles().isEmpty());
}

// The walk takes regular files only: hidden files and folders and links are not touched, and
// a folder that holds the data folder (the home folder) is never read at all.
TEST_F(DataLinkImportTest, HiddenEntriesLinksAndTheHomeFolderAreNotTouched) {
    linkTo(5);
    const QByteArray valid = "X9,a,b,,M,\n";
    ASSERT_TRUE(QDir().mkpath(input() + "/.cache"));
    drop(".cache/todo.csv", valid);
    drop(".hidden.csv", valid);
    QTemporaryDir outside;
    ASSERT_TRUE(FileManager::writeAtomically(outside.path() + "/todo.csv", valid));
    ASSERT_TRUE(QFile::link(outside.path() + "/todo.csv", input() + "/link.csv"));
    ASSERT_TRUE(QFile::link(outside.path(), input() + "/linked"));
    EXPECT_EQ(runImport(), true);
    EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath("X9")));
    EXPECT_TRUE(FileManager::fileExists(input() + "/.cache/todo.csv"));
    EXPECT_TRUE(FileManager::fileExists(input() + "/.hidden.csv"));
    EXPECT_TRUE(FileManager::fileExists(outside.path() + "/todo.csv"));

    for (const QString &refused :
         {FileManager::homeDirectory(), FileManager::homeDirectory() + "/", QString("/"),
          SettingsFiles::dataFolder(), SettingsFiles::dataFolder() + "/Customer"}) {
        SCOPED_TRACE(refused.toStdString());
        EXPECT_TRUE(UsbUtils::isRefusedLinkFolder(refused));
        EXPECT_FALSE(UsbUtils::saveInput(refused));
        EXPECT_FALSE(UsbUtils::saveOutput(refused));
    }
    EXPECT_FALSE(UsbUtils::isRefusedLinkFolder(input()));
    ASSERT_TRUE(QDir().mkpath(home("Documents")));
    drop("../Documents/todo.csv", valid);
    settingsfixture::installText("DataTransfer.xml",
                                 QStringLiteral("<DATA><INPUT>%1</INPUT><OUTPUT>%1</OUTPUT></DATA>")
                                     .arg(FileManager::homeDirectory()));
    EXPECT_EQ(UsbUtils::inputValue(), "");
    EXPECT_EQ(UsbUtils::outputValue(), "");
    EXPECT_EQ(runImport(), std::nullopt);  // no usable folder: nothing starts
    EXPECT_TRUE(FileManager::fileExists(home("Documents/todo.csv")));
    EXPECT_FALSE(FileManager::fileExists(UsbUtils::getXmlPath("X9")));
    EXPECT_EQ(text(home("Error.txt")).count("is not used"), 2);  // noted once for each
}

TEST_F(DataLinkImportTest, OverlappingStartsRunOneAfterTheOther) {
    linkTo(5);
    EXPECT_EQ(runImport(), true);  // nothing to import is a success
    QByteArray list;
    for (int i = 0; i < 200; ++i) list += QByteArray("P") + QByteArray::number(i) + ",a,b,,M,\n";
    drop("many.csv", list);
    for (int i = 0; i < 3; ++i) UsbUtils::readCsvOrTxt();
    DataLinkImport::waitForIdle();
    EXPECT_EQ(transferLog().size(), 201);  // each patient once, and the empty last line
    EXPECT_TRUE(inputFiles().isEmpty());
}

TEST_F(DataLinkImportTest, AFileThatGrowsOrIsTooLargeStaysForTheNextImport) {
    linkTo(5);
    drop("growing.csv", "G1,a,b,,M,\n");
    DataLinkImport::setBeforeRemoveHookForTesting([](const QString &path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("G2,a,b,,F,\n");
    });
    drop("big.csv", "");
    ASSERT_TRUE(QFile::resize(input() + "/big.csv", PatientFields::kMaxInputFileSize + 1));

    EXPECT_EQ(runImport(), false);  // too large
    EXPECT_TRUE(FileManager::fileExists(UsbUtils::getXmlPath("G1")));
    EXPECT_EQ(inputFiles(), QStringList({"big.csv", "growing.csv"}));
    EXPECT_TRUE(text(home("Error.txt")).contains("too large"));

    EXPECT_EQ(text(input() + "/growing.csv"), "G1,a,b,,M,\nG2,a,b,,F,\n");
}

}  // namespace
