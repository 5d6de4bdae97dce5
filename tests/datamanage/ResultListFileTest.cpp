#include <gtest/gtest.h>

#include "datamanage/ResultListFile.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "records/SettingsFixture.h"

namespace {

using cvx::FileManager;
using Status = ResultListFile::Status;

QString fixture(const QString &name) {
    return QStringLiteral(CVX_SOURCE_DIR "/tests/datamanage/fixtures/lists/") + name;
}

// Patients 9 (one result, a value pair without "|"), 10 (two results, a TAB in a dentist's
// name) and 11 (no result), the check-measurement file and a second copy of 10's file.
void installPatients() {
    const QString customer = fixture(QStringLiteral("Customer"));
    for (const QString &name : FileManager::contentsOfDirectory(customer))
        settingsfixture::writeData("Customer/" + name, *FileManager::readFile(customer + u'/' + name));
}

QString outFolder() {
    return FileManager::homeDirectory() + QStringLiteral("/out/lists");
}

QByteArray written() {
    return FileManager::readFile(outFolder() + QStringLiteral("/検査結果一覧.xls")).value_or("<missing>");
}

TEST(ResultListFileTest, ListsEveryResultInShiftJisWithTabsAndLineFeeds) {
    installPatients();
    const QByteArray expected = *FileManager::readFile(fixture(QStringLiteral("expected-list.xls")));
    const QByteArray blankRow =
        *cvx::TextEncoding::toCp932(QStringLiteral("11\t佐藤 次郎\t30\t\t") + QString(17, u'\t') + u'\n');
    const struct {
        bool withBlankRows;
        QByteArray bytes;
        int rows;
    } cases[] = {{false, expected, 3}, {true, expected + blankRow, 4}};
    for (const auto &c : cases) {
        const ResultListFile::Outcome outcome = ResultListFile::writeList(outFolder(), c.withBlankRows);
        EXPECT_EQ(outcome.status, Status::Written);
        EXPECT_EQ(outcome.isSucc4, 200);
        EXPECT_EQ(outcome.rowCount, c.rows);
        EXPECT_EQ(written(), c.bytes) << c.withBlankRows;
    }
}

// Odd stored texts give the lines that rowLine gives for the rows getData reads.
TEST(ResultListFileTest, OddStoredTextsGiveTheLinesOfTheReadRows) {
    installPatients();
    settingsfixture::installText("Customer/20.xml",
                                 "<DATA name=\"a\tb&#x2028;c\" age=\"&amp;1\" sex=\"1\"><!-- note -->"
                                 "<comment date=\"2024-01-01\" time=\"10:00\"><Doctor>d\u0085e\r\nf</Doctor>"
                                 "<DataValue1>1|<b>2</b>|3</DataValue1><MS><![CDATA[x<y]]>z</MS><MS>last</MS>"
                                 "<DataValue2>|</DataValue2><pH>ｱ①髙\u2029</pH></comment><other/></DATA>");
    settingsfixture::installText("Customer/21.xml", "<DATA name=\"broken\"><comment></DATA>");
    settingsfixture::installText("Customer/22.xml", "not xml");
    for (const bool withBlankRows : {false, true}) {
        QByteArray expected = *cvx::TextEncoding::toCp932(ResultListFile::kHeader);
        const std::optional<QList<OCMCustomerComment>> rows = ResultListFile::getData(!withBlankRows);
        ASSERT_TRUE(rows.has_value());
        for (const OCMCustomerComment &row : *rows)
            expected += *cvx::TextEncoding::toCp932(ResultListFile::rowLine(row));
        EXPECT_EQ(ResultListFile::writeList(outFolder(), withBlankRows).rowCount, rows->size());
        EXPECT_EQ(written(), expected) << withBlankRows;
    }
}

TEST(ResultListFileTest, OutcomesWithoutAList) {
    // Only the check-measurement file, or patients without results and no tick: nothing to list.
    settingsfixture::writeData("Customer/Check_Measure_Result.xml",
                               *FileManager::readFile(fixture("Customer/Check_Measure_Result.xml")));
    EXPECT_EQ(ResultListFile::writeList(outFolder(), true).status, Status::Empty);
    settingsfixture::writeData("Customer/11.xml", *FileManager::readFile(fixture("Customer/11.xml")));
    EXPECT_EQ(ResultListFile::writeList(outFolder(), false).status, Status::Empty);
    EXPECT_FALSE(FileManager::fileExists(outFolder()));

    // A name Shift-JIS cannot hold fails the list and leaves the earlier one as it was.
    installPatients();
    ASSERT_EQ(ResultListFile::writeList(outFolder(), false).status, Status::Written);
    const QByteArray before = written();
    settingsfixture::installText(
        "Customer/12.xml",
        "<DATA name=\"😀 x\" birthday=\"\" age=\"\" sex=\"0\">"
        "<comment date=\"2024-01-01\" time=\"10:00\"><Doctor>d</Doctor></comment></DATA>");
    const ResultListFile::Outcome refused = ResultListFile::writeList(outFolder(), false);
    EXPECT_EQ(refused.status, Status::Failed);
    EXPECT_EQ(refused.isSucc4, 405);
    EXPECT_EQ(refused.unencodable, QStringList({"12"}));
    EXPECT_EQ(written(), before);

    // A cancel ends without a file, and with "W311" only when the list of rows is left empty:
    // it keeps the rows found so far, and those of the run before while the patients are
    // listed. Polls: six entries, then patient 9, its row, patient 10, its two rows, ...
    for (const auto &[pollsBeforeCancel, held, status] : {std::tuple{0, false, Status::Empty},
                                                          {5, true, Status::Cancelled},
                                                          {6, true, Status::Empty},
                                                          {8, false, Status::Cancelled},
                                                          {9, false, Status::Cancelled}}) {
        FileManager::removeItem(outFolder());
        int polls = 0;
        const auto outcome = ResultListFile::writeList(
            outFolder(), false, [&] { return polls++ >= pollsBeforeCancel; }, held);
        EXPECT_EQ(outcome.status, status) << pollsBeforeCancel << held;
        EXPECT_FALSE(FileManager::fileExists(outFolder() + "/検査結果一覧.xls"));
    }
}

}  // namespace

// Files as the store writes them, with bytes that are not UTF-8, names that match only once
// decoded, text that needs repair and a tree too deep to read.
TEST(ResultListFileTest, ReadsStoredFilesWhateverTheirBytes) {
    const QByteArray declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    const QByteArray deep = QByteArray("<a>").repeated(40) + QByteArray("</a>").repeated(40);
    const struct {
        QByteArray body;
        Status status;
        const char *rows;  // the lines below the header, before their conversion
    } cases[] = {
        {"<DATA name=\"n\" sex=\"0\"><comment date=\"d\" "
         "time=\"t\"><Doctor>\xE3\x81</Doctor></comment></DATA>",
         Status::Failed, ""},
        // Pieces that are not UTF-8 on their own, though they are when put together.
        {"<DATA><comment date=\"d\" time=\"t\"><Doctor>\xE3<b>\x81\x82</b></Doctor></comment></DATA>",
         Status::Failed, ""},
        {"<DATA name=\"n\"><comment date=\"d\" time=\"t\"><MS\xFF>m</MS\xFF><MS>ok</MS></comment></DATA>",
         Status::Written, "1\tn\t\t\td\tt\t\t\tok\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"<DATA age=\"3\"><comment date=\"d\" "
         "time=\"t\"><Doctor\xFF>x</Doctor\xFE><MS>m</MS></comment></DATA>",
         Status::Written, "1\t\t3\t\td\tt\t\t\tm\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"<DATA sex=\"1\"><comment date=\"d\" time=\"t\"><Doctor>hc</comment><comment date=\"e\" time=\"u\">"
         "<Doctor>dc</Doctor></DATA>",  // not read: the repair would hide one result in another
         Status::Written, "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        // Not read: two results run together, their "</comment><comment ...>" lost.
        {"<DATA sex=\"1\"><comment date=\"d\" time=\"t\"><Doctor>d1</Doctor><MS>m1</MS><Doctor>d2</Doctor>"
         "<MS>m2</MS></comment><comment date=\"e\" time=\"u\"><MS>m3</MS></comment></DATA>",
         Status::Written, "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"<DATA><?xml version=\"1.0\"?><comment date=\"d\" time=\"t\"/></DATA>", Status::Written,
         "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"<DATA name=\"n\"><comment date=\"d\" time=\"t\">" + deep + "</comment></DATA>", Status::Written,
         "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"", Status::Written, "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        // Not read either: parsed as they stand, they would lose "b" and the text after the root.
        {"<DATA name=\"n\"><comment date=\"d\" time=\"t\"><Remark>a&#0;b</Remark></comment></DATA>",
         Status::Written, "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"<DATA name=\"n\"><comment date=\"d\" time=\"t\"><MS>m</MS></comment></DATA>ATA>", Status::Written,
         "1\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
        {"<!DOCTYPE DATA><DATA name=\"a&amp;b\"><?pi x?><!-- c --><comment date=\"g\" "
         "time=\"h\"><![CDATA[z]]>"
         "<Doctor>a&#x41;&#12354;\r\n</Doctor><DataValue1>1|2|3</DataValue1></comment></DATA>",
         Status::Written,
         // The processing instruction and the comment are no results.
         "1\ta&b\t\t\tg\th\taAあ \t2\t\t\t\t\t\t\t\t\t\t\t\t\t\t\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        FileManager::removeItem(settingsfixture::dataPath("Customer"));
        FileManager::removeItem(outFolder());
        settingsfixture::writeData("Customer/1.xml", declaration + c.body);
        const ResultListFile::Outcome outcome = ResultListFile::writeList(outFolder(), true);
        EXPECT_EQ(settingsfixture::contents("Customer/1.xml"), declaration + c.body);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(written(),
                  c.status == Status::Written
                      ? *cvx::TextEncoding::toCp932(ResultListFile::kHeader + QString::fromUtf8(c.rows))
                      : QByteArray("<missing>"));
    }
}
