#include <gtest/gtest.h>

#include "SheetFixture.h"
#include "sheet/BBGetNewModel.h"

namespace {

using namespace sheettest;

const QString kChart = QStringLiteral("A-123");
const QString kDate = QStringLiteral("2026-03-05 09:08");

// The fixture with a second, newer result in front of it.
QString twoResults(const QList<std::pair<QString, QString>> &newerEdits) {
    QString xml = patientXml(false);
    const qsizetype begin = xml.indexOf("    <comment");
    const qsizetype end = xml.indexOf("</comment>") + 11;
    QString newer = xml.mid(begin, end - begin);
    for (const auto &[from, to] : newerEdits) newer.replace(from, to);
    return xml.insert(begin, newer);
}

TEST(BBGetNewModelTest, LaysOutTheResultOfEachPadGenerationAndMode) {
    const struct {
        bool older, deleteBld;
        QString leu, nh3, nh3Word, nh3Comment;
    } cases[] = {
        {false, false, "81", "65", "多め", "所見6-0"},
        {true, false, "72", "20", "少なめ", "所見6-2"},
        {false, true, "81", "65", "多め", "所見6-0"},  // six items: the model still holds BLD
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "older " << c.older << " six-item " << c.deleteBld);
        setLink(0, c.deleteBld);
        storePatient(kChart, c.older);
        BBGetNewModel model;
        model.getDatas(kChart, kDate);
        model.getDatas(kChart, kDate);  // a reload replaces the rows
        ASSERT_TRUE(model.hasTabData());
        EXPECT_EQ(model.customerComments().size(), 1);
        EXPECT_EQ(model.tabData().hospital(), "さくら歯科");
        EXPECT_EQ(model.tabData().Totalcomment(), "総合 <良好> & 安定");
        EXPECT_EQ(model.tabData().time(), "09:08");
        EXPECT_EQ(model.nameStr(), QStringList({"山田", "花子"}));

        EXPECT_EQ(model.tab11(), QStringList({"むし歯菌", "酸性度", "緩衝能"}));
        EXPECT_EQ(model.tab12(), QStringList({"35", "57", "89"}));
        EXPECT_EQ(model.tab13a(), QStringList({"平均レベル", "高め", "強め"}));
        EXPECT_EQ(model.tab13b(), QStringList({"平均値:37", "平均値:43", "平均値:36"}));
        EXPECT_EQ(model.tab14(), QStringList({"所見0-1", "所見1-0", "所見2-0"}));
        EXPECT_EQ(model.tab21(), QStringList({"潜血", "白血球", "タンパク質"}));
        EXPECT_EQ(model.tab22(), QStringList({"3", c.leu, "53"}));
        EXPECT_EQ(model.tab23a(), QStringList({"少なめ", "多め", "平均レベル"}));
        EXPECT_EQ(model.tab23b(), QStringList({"平均値:22", "平均値:49", "平均値:43"}));
        EXPECT_EQ(model.tab24(), QStringList({"所見3-2", "所見4-0", "所見5-1"}));
        EXPECT_EQ(model.tab31(), QStringList({"アンモニア", "", ""}));
        EXPECT_EQ(model.tab32(), QStringList({c.nh3, "", ""}));
        EXPECT_EQ(model.tab33a(), QStringList({c.nh3Word, "", ""}));
        EXPECT_EQ(model.tab33b(), QStringList({"平均値:53", "", ""}));
        EXPECT_EQ(model.tab34(), QStringList({c.nh3Comment, "", ""}));
    }
}

TEST(BBGetNewModelTest, PicksTheResultByDateAndLeavesGapsEmpty) {
    setLink(0, false);
    writeText(home(".Corvadenix/Customer/A-123.xml"),
              twoResults({{"time=\"09:08\"", "time=\"10:00\""},
                          {"<DataValue1>2.3|35</DataValue1>", "<DataValue1>2.3</DataValue1>"},
                          {"        <Content7>所見6-0</Content7>\n", ""},
                          {"<LEU>多め</LEU>", ""}}));
    BBGetNewModel model;
    model.getDatas(kChart, "2026-03-05 10:00");
    EXPECT_EQ(model.tab12(), QStringList({"", "57", "89"}));  // a value without "|"
    EXPECT_EQ(model.tab23a(), QStringList({"少なめ", "", "平均レベル"}));
    EXPECT_EQ(model.tab34(), QStringList({"", "", ""}));

    model.getDatas(kChart, kDate);
    EXPECT_EQ(model.tab12(), QStringList({"35", "57", "89"}));

    // No match, no file: the shown result stays.
    model.getDatas(kChart, "2026-03-05 11:00");
    model.getDatas("B-9", kDate);
    EXPECT_TRUE(model.customerComments().isEmpty());
    EXPECT_EQ(model.tab12(), QStringList({"35", "57", "89"}));
    EXPECT_EQ(BBGetNewModel::entry(model.tab32(), 5), "");
}

TEST(BBGetNewModelTest, SplitsTheNameOutsideModesThreeAndFour) {
    const struct {
        int mode;
        QString name;
        QStringList parts;
    } cases[] = {
        {0, "山田 花 子", {"山田", "花", "子"}},
        {5, "山田  花子", {"山田", "", "花子"}},
        {3, "山田 花 子", {"山田 花 子"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " mode " + std::to_string(c.mode));
        setLink(c.mode, false);
        storePatient(kChart, false, {{"山田 花子", c.name}});
        BBGetNewModel model;
        model.getDatas(kChart, kDate);
        EXPECT_EQ(model.nameStr(), c.parts);
    }
}

TEST(BBGetNewModelTest, RewritesOnlyTheNameAndMakesNoFileForAnUnknownPatient) {
    setLink(0, false);
    storePatient(kChart, false, {{"birthday=\"\" age=\"\"", "age=\"41\" birthday=\"1985-01-02\""}});
    BBGetNewModel model;
    EXPECT_TRUE(model.setDatas(kChart, kDate, "佐藤 一郎 \n"));
    EXPECT_EQ(model.nameStr(), QStringList({"佐藤", "一郎"}));
    const QString xml = QString::fromUtf8(readBytes(home(".Corvadenix/Customer/A-123.xml")));
    EXPECT_TRUE(xml.contains("<DATA name=\"佐藤 一郎\" birthday=\"1985-01-02\" age=\"41\" sex=\"\">"))
        << xml.toStdString();
    EXPECT_TRUE(xml.contains("<Content7>所見6-0</Content7>"));

    EXPECT_FALSE(model.setDatas("B-9", kDate, "佐藤 一郎"));
    EXPECT_FALSE(cvx::FileManager::fileExists(home(".Corvadenix/Customer/B-9.xml")));
    // A file of another kind in a patient file's place is not written into.
    const QByteArray page = "<html name=\"x\"><body/></html>";
    writeText(home(".Corvadenix/Customer/B-9.xml"), QString::fromUtf8(page));
    EXPECT_FALSE(model.setDatas("B-9", kDate, "佐藤 一郎"));
    EXPECT_EQ(readBytes(home(".Corvadenix/Customer/B-9.xml")), page);
}

}  // namespace
