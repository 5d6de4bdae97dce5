#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include <optional>
#include <tuple>

#include "maintenance/SendDataCsv.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "records/UsbUtils.h"
#include "support/FileSizeLimit.h"

namespace {

using Outcome = SendDataCsv::Outcome;
using CheckPoint = SendDataCsv::CheckPoint;

QString home(const QString &relative) {
    return cvx::FileManager::homeDirectory() + QLatin1Char('/') + relative;
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writePatient(const QString &name, const QString &xml) {
    writeFile(UsbUtils::customerFolder() + QLatin1Char('/') + name, xml.toUtf8());
}

// Two results: the newest first, written in file order.
const QString kPatient = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<DATA name=\"山田 花子\" birthday=\"1980-01-02\" age=\"44\" sex=\"1\">\n"
    " <comment date=\"2024-05-01\" time=\"10:00\">\n"
    "  <Hospital>さくら歯科, 本院</Hospital><Doctor>Café😀</Doctor><SheetFlg>-</SheetFlg>\n"
    "  <MS>多め</MS><DataValue1>12.5|80</DataValue1><Content1>一行目\n二行目\r\n三行目</Content1>\n"
    "  <pH>平均レベル</pH><DataValue2>6.8|50</DataValue2><Content2>ｐＨ①</Content2>\n"
    "  <BFC>弱め</BFC><DataValue3>1.0</DataValue3>\n"
    "  <RsvData>A1:V01234,2024/05/01,7,24.5 ℃,I_LEU,0,多め,9.0,I_NH3,0</RsvData><SaveDate/>\n"
    " </comment>\n"
    " <comment date=\"2023-01-31\" time=\"09:05\"><Hospital>髙橋\"歯科\", <b>分</b>院</Hospital>"
    "<DataValue7>3.0|20</DataValue7><NH3>少なめ</NH3><RsvData>x,I_\nLEU,I_I_NH3</RsvData>"
    "</comment>\n"
    "</DATA>\n");

void addNonPatientEntries() {
    writePatient(QStringLiteral("Check_Measure_Result.xml"), kPatient);
    writePatient(QStringLiteral("ALL RESULT.xml"), kPatient);
    writePatient(QStringLiteral(".hidden.xml"), kPatient);
    writePatient(QStringLiteral("notes.txt"), kPatient);
}

}  // namespace

TEST(SendDataCsv, WritesEveryResultInCodePage932) {
    writePatient(QStringLiteral("P-001.xml"), kPatient);
    writePatient(QStringLiteral("broken.xml"), QStringLiteral("DATA comment"));  // no element, even repaired
    // In the stored form, but read as they stand they would lose "b" and the text after the root.
    const QString stored =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<DATA>");
    writePatient(QStringLiteral("zero.xml"),
                 stored + "<comment date=\"d\"><Remark>a&#0;b</Remark></comment></DATA>");
    writePatient(QStringLiteral("after.xml"), stored + "<comment date=\"d\"/></DATA>ATA>");
    QDir().mkpath(UsbUtils::customerFolder() + QStringLiteral("/folder.xml"));
    addNonPatientEntries();
    const QString path = home(QStringLiteral("out/送信.csv"));
    writeFile(path, "old contents");

    const SendDataCsv::Report report = SendDataCsv::startMethod(path);

    QStringList unreadable = report.unreadableFiles;
    unreadable.sort();
    // é and the emoji written as "?"
    EXPECT_EQ(std::tuple(report.outcome, report.patientFiles, report.results, report.substitutedCharacters),
              std::tuple(Outcome::Written, 5, 2, 2));
    EXPECT_EQ(unreadable, QStringList({"after.xml", "broken.xml", "folder.xml", "zero.xml"}));

    QString text;
    SendDataCsv::makeCsvTitle(text);
    EXPECT_EQ(text.split(QLatin1Char(',')).size(), 310);
    EXPECT_TRUE(text.endsWith(QStringLiteral("760nm_White2\n")));
    text += QStringLiteral(
        "2024-05-01 10:00,\"さくら歯科, 本院\",Caf??,80,多め,一行目二行目三行目,50,平均レベル,ｐＨ①,"
        ",弱め,,,,,,,,,,,,,,"
        "A1:V01234,2024/05/01,7,24.5 ℃,LEU  ,0,多め,9.0,NH3  ,0\n"
        "2023-01-31 09:05,\"髙橋\"\"歯科\"\", 分院\",,,,,,,,,,,,,,,,,,,,20,少なめ,,x,LEU  ,I_NH3  \n");
    EXPECT_EQ(readFile(path), cvx::TextEncoding::toCp932(text));
    EXPECT_EQ(QDir(home(QStringLiteral("out"))).entryList(QDir::Files), QStringList({"送信.csv"}));
}

TEST(SendDataCsv, LeavesTheOldFileWhenItWritesNothing) {
    const QString path = home(QStringLiteral("send.csv"));
    writeFile(path, "kept");
    addNonPatientEntries();
    EXPECT_EQ(SendDataCsv::startMethod(path).outcome, Outcome::NoPatientFile);

    for (int i = 0; i < 3; ++i) writePatient(QStringLiteral("P%1.xml").arg(i), kPatient);
    for (auto [at, nth] :
         {std::pair{CheckPoint::File, 1}, {CheckPoint::Result, 4}, {CheckPoint::Commit, 1}}) {
        SCOPED_TRACE(int(at));
        int seen = 0;
        const auto report =
            SendDataCsv::startMethod(path, [&](CheckPoint point) { return point == at && ++seen == nth; });
        EXPECT_EQ(report.outcome, Outcome::Cancelled);
    }
    EXPECT_EQ(readFile(path), "kept");
    EXPECT_EQ(QDir(home(QString())).entryList(QDir::Files), QStringList({"send.csv"}));  // no temporary

    const SendDataCsv::Report failed = SendDataCsv::startMethod(home(QStringLiteral("missing/send.csv")));
    EXPECT_EQ(failed.outcome, Outcome::WriteFailed);
    EXPECT_FALSE(failed.error.isEmpty());

    // A full disk: the file is not replaced by a cut-off one.
    SendDataCsv::Report full;
    {
        const cvxtest::FileSizeLimit limit(4);
        if (!limit.active()) GTEST_SKIP() << "no file size limit can be set here";
        full = SendDataCsv::startMethod(path);
    }
    EXPECT_EQ(full.outcome, Outcome::WriteFailed);
    EXPECT_FALSE(full.error.isEmpty());
    EXPECT_EQ(readFile(path), "kept");
    EXPECT_EQ(QDir(home(QString())).entryList(QDir::Files), QStringList({"send.csv"}));
}

TEST(SendDataCsv, ThreadReportsOnTheMainThreadAndCancelIsFinal) {
    for (int i = 0; i < 200; ++i) writePatient(QStringLiteral("P%1.xml").arg(i), kPatient);
    const QString path = home(QStringLiteral("send.csv"));
    SendDataCsv writer;

    for (bool cancelAtOnce : {false, true}) {
        SCOPED_TRACE(cancelAtOnce);
        QFile::remove(path);
        std::optional<SendDataCsv::Report> report;
        int lastDone = -1;
        ASSERT_TRUE(writer.start(
            path,
            [&](const SendDataCsv::Report &r) {
                EXPECT_TRUE(cvx::Dispatch::isMainThread());
                report = r;
            },
            [&](const SendDataCsv::Progress &p) { lastDone = p.filesDone; }));
        EXPECT_FALSE(writer.start(path, {}));
        // Two hundred files take far longer than the call that follows the start.
        if (cancelAtOnce) {
            EXPECT_TRUE(writer.cancel());
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return report.has_value(); }, 20000));
        EXPECT_FALSE(writer.isRunning());
        EXPECT_EQ(report->outcome, cancelAtOnce ? Outcome::Cancelled : Outcome::Written);
        EXPECT_EQ(QFile::exists(path), !cancelAtOnce);
        if (!cancelAtOnce) {
            EXPECT_EQ(std::pair(report->results, lastDone), std::pair(400, 200));
        }
    }
}

TEST(SendDataCsv, RecordsTheFolderInCommSetting) {
    const QString path = home(QStringLiteral(".Corvadenix/CommSetting.xml"));
    EXPECT_FALSE(SendDataCsv::saveSendCsvFolder(QStringLiteral("/tmp")));
    EXPECT_FALSE(QFile::exists(path));

    writeFile(path,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <AutoVersionUp>0</AutoVersionUp>\n"
              "    <FileVersion>1</FileVersion>\n</DATA>\n");
    EXPECT_TRUE(SendDataCsv::saveSendCsvFolder(QStringLiteral("/home/a/送信")));
    EXPECT_TRUE(SendDataCsv::saveSendCsvFolder(QStringLiteral("/home/a&b")));
    EXPECT_FALSE(SendDataCsv::saveSendCsvFolder(QStringLiteral("/home/a\x01")));
    EXPECT_EQ(
        QString::fromUtf8(readFile(path)),
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n"
                       "    <SendCsvFolder>/home/a/送信</SendCsvFolder>\n"
                       "    <SendCsvFolder>/home/a&amp;b</SendCsvFolder>\n"
                       "    <AutoVersionUp>0</AutoVersionUp>\n    <FileVersion>1</FileVersion>\n</DATA>\n"));

    writeFile(path, "<DATA><AutoVersionUp>1</AutoVersionUp></DATA>");
    EXPECT_TRUE(SendDataCsv::saveSendCsvFolder(QStringLiteral("/x")));
    EXPECT_TRUE(
        readFile(path).contains("<DATA>\n    <SendCsvFolder>/x</SendCsvFolder>\n    <AutoVersionUp>"));

    // No element, even when repaired; a file of another kind.
    for (const QByteArray &kept : {QByteArray("DATA AutoVersionUp"), QByteArray("<html><a/><b/></html>")}) {
        writeFile(path, kept);
        EXPECT_FALSE(SendDataCsv::saveSendCsvFolder(QStringLiteral("/x")));
        EXPECT_EQ(readFile(path), kept);
    }
}

// Files as the store writes them, with bytes that are not UTF-8, names that match only once
// decoded, text that needs repair and a tree too deep to read.
TEST(SendDataCsv, ReadsStoredFilesWhateverTheirBytes) {
    const QByteArray declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    const QByteArray deep = QByteArray("<a>").repeated(40) + QByteArray("</a>").repeated(40);
    const struct {
        QByteArray body;
        const char *csv;  // the lines below the header, before their conversion
        int substituted;
        bool unreadable;
    } cases[] = {
        {"<DATA name=\"n\"><comment date=\"2024\xFF-01\" "
         "time=\"1\xE3\x81\"><Hospital>h\xE3\x81<b>\xC0\x80</b>"
         "\xED\xA0\x80x</Hospital><Doctor>\xF0\x9F\x98</Doctor><MS\xFF>m</MS\xFF><MS>ok</MS>"
         "<Content1>c\xFE,\"q\"</Content1><DataValue1>1|\xE3\x81</DataValue1>"
         "<RsvData>I_\xFFLEU,I_LEU\xE3</RsvData></comment></DATA>",
         "2024?-01 1??,h???????x,???,??,ok,\"c?,\"\"q\"\"\",,,,,,,,,,,,,,,,,,,I_?LEU,LEU  ?\n", 18, false},
        {"<DATA><comment date=\"d\" "
         "time=\"t\"><Doctor\xFF>x</Doctor\xFE><Hospital>hb</Hospital></comment></DATA>",
         "d t,hb,,,,,,,,,,,,,,,,,,,,,,,\n", 0, false},
        // Pieces that are not UTF-8 on their own, though they are when put together.
        {"<DATA><comment date=\"d\" time=\"t\"><Hospital>\xE3<b>\x81\x82</b></Hospital></comment></DATA>",
         "d t,???,,,,,,,,,,,,,,,,,,,,,,,\n", 3, false},
        {"<DATA><comment date=\"d\" time=\"t\"><Hospital>hc</comment><comment date=\"e\" time=\"u\">"
         "<Doctor>dc</Doctor></DATA>",  // not read: the repair would hide one result in another
         "", 0, true},
        {"<DATA><?xml version=\"1.0\"?><comment date=\"d\" time=\"t\"/></DATA>", "", 0, true},
        // Two results run together, their "</comment><comment ...>" lost: each value is one of two.
        {"<DATA><comment date=\"d\" time=\"t\"><Hospital>h1</Hospital><MS>m1</MS><Hospital>h2</Hospital>"
         "<MS>m2</MS></comment><comment date=\"e\" time=\"u\"><MS>m3</MS></comment></DATA>",
         "", 0, true},
        {"<DATA><comment date=\"d\" time=\"t\">" + deep + "</comment></DATA>", "", 0, true},
        {"", "", 0, true},
        {"<!DOCTYPE DATA><DATA><?pi x?><!-- c --><comment date=\"g\" time=\"h\"><![CDATA[z]]>"
         "<Hospital>a&amp;b&#x41;&#12354;&#xFFFD;</Hospital><RsvData>r\r\nI_NH3\xEF\xBB\xBF</RsvData></"
         "comment>"
         "</DATA>",
         "g h,a&bAあ?,,,,,,,,,,,,,,,,,,,,,,,rNH3  ?\n", 2, false},
    };
    const QString path = home(QStringLiteral("send.csv"));
    QString header;
    SendDataCsv::makeCsvTitle(header);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        cvx::FileManager::removeItem(UsbUtils::customerFolder());
        const QString patient = UsbUtils::customerFolder() + QStringLiteral("/1.xml");
        writeFile(patient, declaration + c.body);
        const SendDataCsv::Report report = SendDataCsv::startMethod(path);
        EXPECT_EQ(readFile(patient), declaration + c.body);
        EXPECT_EQ(report.outcome, Outcome::Written);
        EXPECT_EQ(std::pair(report.substitutedCharacters, !report.unreadableFiles.isEmpty()),
                  std::pair(c.substituted, c.unreadable));
        EXPECT_EQ(readFile(path), cvx::TextEncoding::toCp932(header + QString::fromUtf8(c.csv)));
    }
}
