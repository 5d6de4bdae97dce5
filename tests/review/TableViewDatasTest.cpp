#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "records/UsbUtils.h"
#include "review/TableViewDatas.h"

namespace {

const char *const kComments = R"(<?xml version="1.0" encoding="UTF-8"?>
<Comments>
    <List title="MS" type="2"><data1>ms-high-1</data1><data2>ms-high-2</data2><data3>ms-high-1</data3></List>
    <List title="MS" type="1"><data1>ms-avg</data1></List>
    <List title="BFC" type="2"><data1>bfc-strong</data1></List>
    <List title="BFC" type="0"><data1>bfc-weak-1</data1><data2>bfc-weak-2</data2></List>
    <List title="NH3" type="1"><data1>n1</data1><data2>n2</data2><data3>n3</data3><data4>n4</data4><data5>n5</data5><data6>n6</data6><data7>n7</data7><data8>n8</data8><data9>n9</data9><data10>n10</data10></List>
    <List title="TotalComment" type="0"><data1>t1</data1><data2>t2</data2><data3>t3</data3></List>
</Comments>
)";

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path) {
    return cvx::FileManager::readFile(path).value_or(QByteArray());
}

QVariant json(const char *text) {
    return QJsonDocument::fromJson(text).toVariant();
}

QVariant stored(const QString &key, int item, int level) {
    return cvx::UserDefaults::standard().arrayForKey(key).value(item).toList().value(level);
}

struct FakeTable : TableViewDatas::Table {
    FakeTable(const TableViewDatas &m, int n) : model(m), list(n) { reloadData(); }
    int rowCount() const override { return int(texts.size()); }
    std::optional<QString> rowText(int row) override { return texts.value(row); }
    void reloadData() override {
        texts.clear();
        for (const QString &text : model.data(list)) texts.append(text);
    }
    void setAddButtonHidden(bool hidden) override { addHidden = hidden; }
    const TableViewDatas &model;
    int list;
    QList<std::optional<QString>> texts;
    bool addHidden = false;
};

class TableViewDatasTest : public testing::Test {
protected:
    void SetUp() override {
        writeFile(QDir::home().filePath(QStringLiteral(".Corvadenix/Comment.xml")), kComments);
        // [item][level] flags; MS high 0,1,0; BFC high (key "bfc2") 1 and low ("bfc0") 0,1.
        cvx::UserDefaults::standard().setObject(
            json(
                R"([[["0","1","0"],["1"],[]], [], [["1"],[],["0","1"]], [], [], [], [[],["0","0","1"],[]]])"),
            QStringLiteral("zsignData"));
        cvx::UserDefaults::standard().setObject(QStringList{"1", "0", "0"}, QStringLiteral("ztotAry"));
    }
    void TearDown() override { TableViewDatas::waitForSaves(); }
};

TEST_F(TableViewDatasTest, ShowsAndTicksTheListOfEachItemsLevel) {
    struct Case {
        QStringList words;
        int n;
        QStringList data, ck;
    };
    const QStringList strong{"多め", "平均レベル", "強め", "", "少なめ", "x", "平均レベル"};
    const QStringList weak{"少なめ", "", "弱め", "", "", "", "多め"};
    const Case cases[] = {
        {strong, 1, {"ms-high-1", "ms-high-2", "ms-high-1"}, {"0", "1", "0"}},
        {strong, 3, {"bfc-strong"}, {"1"}},  // "bfc2" with zsignData[2][0]
        {weak, 3, {"bfc-weak-1", "bfc-weak-2"}, {"0", "1"}},
        {weak, 1, {}, {}},
    };
    for (const Case &c : cases) {
        TableViewDatas model;
        model.getNineDadas(c.words);
        EXPECT_EQ(model.data(c.n), c.data) << c.n << c.words.join(',').toStdString();
        EXPECT_EQ(model.ck(c.n), c.ck) << c.n;
    }

    TableViewDatas model;
    model.getNineDadas(strong);
    model.getCK({"ms-high-1", "", "bfc-strong", "", "", "", "n3"});
    EXPECT_EQ(model.data(1), (QStringList{"ms-high-1", "ms-high-2", "ms-high-1", ""}));
    EXPECT_EQ(model.ck(1), (QStringList{"1", "0", "1", "0"}));
    EXPECT_EQ(model.getDataSeleRow(1), "ms-high-1");
    EXPECT_EQ(model.data(7).size(), 10);  // full: no typing row
    EXPECT_EQ(model.getDataSeleRow(7), "n3");
    EXPECT_EQ(model.getDataSeleRow(2), "");
    EXPECT_EQ(model.getDataSeleRow(8), "");
    model.getTotal();
    model.getTOCK(QStringLiteral("t2"));
    EXPECT_EQ(model.data(8), (QStringList{"t1", "t2", "t3", ""}));
    EXPECT_EQ(model.ck(8), (QStringList{"0", "1", "0", "0"}));
    // A zsignData that lacks items gives unticked rows instead of reading past its end.
    cvx::UserDefaults::standard().setObject(json(R"([[["1"]]])"), QStringLiteral("zsignData"));
    TableViewDatas fresh;
    fresh.getNineDadas(strong);
    EXPECT_EQ(fresh.ck(3), QStringList{"0"});
}

TEST_F(TableViewDatasTest, PullDownTicksTakesOverTypingAndGrowsToTenRows) {
    TableViewDatas model;
    model.getNineDadas({"多め", "", "", "", "", "", ""});
    model.getCK({"", "", "", "", "", "", ""});
    FakeTable table(model, 1);
    model.checkSele(1, 1, table);
    EXPECT_EQ(model.ck(1), (QStringList{"0", "1", "0", "0"}));
    EXPECT_TRUE(table.addHidden);  // the typing row is still empty
    table.texts[3] = QStringLiteral("typed");
    model.checkSele(3, 1, table);  // not yet taken over: counts as empty, tick cleared alone
    EXPECT_EQ(model.ck(1), (QStringList{"0", "1", "0", "0"}));
    EXPECT_EQ(model.data(1).at(3), "typed");
    EXPECT_FALSE(table.addHidden);
    model.checkSele(3, 1, table);
    EXPECT_EQ(model.getDataSeleRow(1), "typed");
    model.checkSele(99, 1, table);  // outside the list: only the scan
    for (int rows = 5; rows <= 10; ++rows) {
        model.addRow(1, table);
        EXPECT_TRUE(table.addHidden);
        table.texts.last() = QStringLiteral("row%1").arg(rows);
        model.update(1, table);
        EXPECT_EQ(table.addHidden, rows == 10) << rows;
    }
    EXPECT_EQ(model.ck(1).size(), 10);
}

TEST_F(TableViewDatasTest, OverlappingSavesKeepEveryListAndTheStoredDefaults) {
    TableViewDatas model;
    model.getNineDadas({"多め", "", "強め", "", "", "", ""});
    model.getCK({"", "", "", "", "", "", ""});
    FakeTable ms(model, 1);
    model.addRow(1, ms);
    model.addRow(1, ms);
    ms.texts = {"ms-high-1", "edited", "", "new4", "ms-high-1", "new6"};
    model.update(1, ms);
    FakeTable bfc(model, 3);
    bfc.texts = {"bfc-strong-edited", ""};
    model.update(3, bfc);
    model.setAllTableXML(1);
    model.setAllTableXML(3);
    model.setData8({"t1", "", "t2x", "t4"});
    model.setTotals();  // on this thread, while the item saves run
    TableViewDatas::waitForSaves();

    const BBInitDatas::Lists lists = BBInitDatas::getTableDetail();
    EXPECT_EQ(lists.value("ms0"), (QStringList{"ms-high-1", "edited", "new4", "ms-high-1", "new6"}));
    EXPECT_EQ(lists.value("bfc2"), QStringList{"bfc-strong-edited"});
    EXPECT_EQ(lists.value("bfc0"), (QStringList{"bfc-weak-1", "bfc-weak-2"}));
    EXPECT_EQ(BBInitDatas::getTotal().value("total"), (QStringList{"t1", "t2x", "t4"}));
    EXPECT_EQ(stored("zsignData", 0, 0).toStringList(), (QStringList{"0", "1", "0", "0", "0"}));
    EXPECT_EQ(stored("zsignData", 2, 0).toStringList(), QStringList{"1"});
    EXPECT_EQ(stored("zcontent", 0, 0).toString(), "edited");
    EXPECT_EQ(stored("zcontent", 2, 0).toString(), "bfc-strong-edited");
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    EXPECT_EQ(defaults.stringArrayForKey("ztotAry"), (QStringList{"1", "0", "0"}));
    EXPECT_EQ(defaults.stringForKey("ztotal"), "t1");

    model.setData8({"", ""});  // nothing to keep: nothing stored
    model.setTotals();
    EXPECT_EQ(BBInitDatas::getTotal().value("total").size(), 3);
}

// Lists longer than the pull-down lets the screen make them (an import's merge, the comment
// editor) come back whole, rows and flags, when their pull-down is opened and closed untouched.
TEST_F(TableViewDatasTest, ClosingAPullDownKeepsAStoredListLongerThanTen) {
    QStringList rows, flags;
    QString xmlRows;
    for (int i = 1; i <= 12; ++i) {
        rows << QStringLiteral("row%1").arg(i);
        flags << (i == 12 ? "1" : "0");
        xmlRows += QStringLiteral("<data%1>row%1</data%1>").arg(i);
    }
    writeFile(QDir::home().filePath(QStringLiteral(".Corvadenix/Comment.xml")),
              QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Comments>"
                             "<List title=\"LEU\" type=\"2\">%1</List>"
                             "<List title=\"TotalComment\" type=\"0\">%1</List></Comments>\n")
                  .arg(xmlRows)
                  .toUtf8());
    QVariantList signData(7, QVariantList{QVariantList(), QVariantList(), QVariantList()});
    signData[4] = QVariantList{QVariant(flags), QVariantList(), QVariantList()};
    cvx::UserDefaults::standard().setObject(signData, QStringLiteral("zsignData"));
    cvx::UserDefaults::standard().setObject(flags, QStringLiteral("ztotAry"));

    TableViewDatas model;
    model.getNineDadas({"", "", "", "", "多め", "", ""});
    model.getCK(QStringList(7, QString()));
    model.getTotal();
    model.getTOCK(QString());
    for (int n : {5, 8}) {
        SCOPED_TRACE(n);
        FakeTable table(model, n);
        model.update(n, table);
        EXPECT_EQ(model.data(n), rows);
        EXPECT_TRUE(table.addHidden);
        if (n == 8) {
            model.setData8(model.data(8));
            model.setTotals();
        } else {
            model.setAllTableXML(n);
        }
    }
    TableViewDatas::waitForSaves();
    EXPECT_EQ(BBInitDatas::getTableDetail().value("leu0"), rows);
    EXPECT_EQ(BBInitDatas::getTotal().value("total"), rows);
    EXPECT_EQ(stored("zsignData", 4, 0).toStringList(), flags);
    EXPECT_EQ(stored("zcontent", 4, 0).toString(), "row12");
    EXPECT_EQ(cvx::UserDefaults::standard().stringArrayForKey("ztotAry"), flags);
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("ztotal"), "row12");
}

// A result in the stored layout (or, without SheetFlg, an older one), each text tagged.
QString result(const QString &dateTime, const QString &tag, bool withSheetFlg = true) {
    const QStringList parts = dateTime.split(' ');
    QString text = QStringLiteral("    <comment date=\"%1\" time=\"%2\">\n").arg(parts.at(0), parts.at(1));
    auto child = [&](const QString &name, const QString &value) {
        text += QStringLiteral("        <%1>%2</%1>\n").arg(name, value);
    };
    child("Hospital", "h-" + tag);
    child("Doctor", "d-" + tag);
    if (withSheetFlg) child("SheetFlg", "-");
    child("Remark", "");
    child("TotalComment", "t-" + tag);
    const char *items[] = {"MS", "pH", "BFC", "BLD", "LEU", "ALB", "NH3"};
    for (int k = 1; k <= 7; ++k) {
        child(items[k - 1], "多め");
        child(QStringLiteral("DataValue%1").arg(k), "1.0|5");
        child(QStringLiteral("Content%1").arg(k), QStringLiteral("c%1-").arg(k) + tag);
    }
    child("RsvData", "r");
    child("SaveDate", "s");
    return text + "    </comment>\n";
}

QString patientFile(const QString &results) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"山田 花子\" sex=\"1\">\n" + results +
           "</DATA>\n";
}

TEST(TableViewDatasPatientFile, WritesChosenValuesIntoEveryMatchingResultOnly) {
    const QString path = UsbUtils::getXmlPath(QStringLiteral("P-1"));
    const QString a = "2026-12-06 10:30", b = "2026-11-01 09:00";
    const QString mine = result(a, "a") + result(b, "b", false) + result(a, "a");
    writeFile(path, patientFile(mine).toUtf8());
    std::optional<cvx::XmlDocument> document = TableViewDatas::bbgetXMLZ(QStringLiteral("P-1"));
    ASSERT_TRUE(document);
    // A result stored since the screen read the file stays.
    const QString foreign = result("2026-12-07 08:00", "f");
    writeFile(path, patientFile(foreign + mine).toUtf8());

    const QString markup = QStringLiteral("x&y<z>\"q\"");
    ASSERT_TRUE(TableViewDatas::setHospitalXML(document, markup, a, path));
    ASSERT_TRUE(TableViewDatas::setDoctorXML(document, markup, a, path));
    ASSERT_TRUE(TableViewDatas::setTotalXML(document, markup, b, path));  // found by name
    ASSERT_TRUE(TableViewDatas::setTabelXML(document, markup, a, path, 3));
    ASSERT_TRUE(TableViewDatas::setTabelXML(document, markup, b, path, 7));
    QString expected = patientFile(foreign + mine);
    const QStringList changed{"Hospital", "h-a",      "Doctor", "d-a",      "TotalComment",
                              "t-b",      "Content3", "c3-a",   "Content7", "c7-b"};
    for (qsizetype i = 0; i < changed.size(); i += 2) {
        const QString element = QStringLiteral("<%1>%2</%1>");
        expected.replace(element.arg(changed[i], changed[i + 1]),
                         element.arg(changed[i], QStringLiteral("x&amp;y&lt;z&gt;\"q\"")));
    }
    EXPECT_EQ(readFile(path).toStdString(), expected.toStdString());
    EXPECT_EQ(document->toString().toStdString(), expected.toStdString());

    // Refused: nothing written and the screen's copy kept.
    EXPECT_FALSE(TableViewDatas::setTabelXML(document, "v", a, path, 8));
    EXPECT_FALSE(TableViewDatas::setHospitalXML(document, "v", "2020-01-01 00:00", path));
    EXPECT_FALSE(TableViewDatas::setHospitalXML(document, "v", a, QDir::home().filePath("P-1.xml")));
    // No element, even when repaired; a file of another kind.
    for (const QByteArray &broken :
         {QByteArray("DATA comment date=2026-12-06 time=10:30"),
          QByteArray("<html><comment date=\"2026-12-06\" time=\"10:30\"><Hospital/></comment></html>")}) {
        writeFile(path, broken);
        EXPECT_FALSE(TableViewDatas::setHospitalXML(document, "v", a, path));
        EXPECT_EQ(readFile(path), broken);
        EXPECT_EQ(document->toString().toStdString(), expected.toStdString());
    }
}

}  // namespace
