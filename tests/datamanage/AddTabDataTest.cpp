#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "datamanage/AddTabData.h"
#include "fixtures/dataio/DataFolderKit.h"
#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"

namespace {

cvx::UserDefaults &defaults() {
    return cvx::UserDefaults::standard();
}

QString hisFile(const QString &hospitals) {
    return "<HisSetting><Hospital name=\"hospital\">" + hospitals +
           "</Hospital><Doctor name=\"doctor\"><doctor1>X</doctor1></Doctor></HisSetting>";
}

// The hospital list stands for every list of names: the same merge and tick rules serve the
// dentists and the overall comments.
TEST(AddTabDataTest, ImportedNamesAreAppendedAndTheTickFollowsTheMarkOrStays) {
    struct Case {
        const char *label;
        QString imported;
        QStringList previousFlags;
        QStringList list;
        QStringList flags;  // "hos1" afterwards
        QString ticked;     // "zhospital" afterwards ("<none>" when not stored)
    };
    const Case cases[] = {
        {"mark on a local name ticks it where it stands",
         "<hospital1>C</hospital1><hospital2 select=\"1\">A</hospital2>",
         {"0", "1"},
         {"A", "B", "C"},
         {"1", "0", "0"},
         "A"},
        {"no mark: the local tick stays on its name",
         "<hospital1>C</hospital1>",
         {"0", "1"},
         {"A", "B", "C"},
         {"0", "1", "0"},
         "B"},
        {"no mark and no earlier tick: nothing stored",
         "<hospital1>C</hospital1>",
         {"0", "0"},
         {"A", "B", "C"},
         {"0", "0"},
         "<none>"},
        {"a stale tick beyond the list ticks nothing",
         "<hospital1>C</hospital1>",
         {"0", "0", "0", "0", "1"},
         {"A", "B", "C"},
         {"0", "0", "0", "0", "1"},
         "<none>"},
        {"select of any value marks; the later mark wins; a repeated new name ticks its first place",
         "<hospital1 select=\"0\">A</hospital1><hospital2 select=\"1\">D</hospital2><hospital3>D</hospital3>"
         "<hospital4>a</hospital4>",
         {"0", "1"},
         {"A", "B", "D", "D", "a"},
         {"0", "0", "1", "0", "0"},
         "D"},
        {"a comment or instruction is no place in the list",
         "<!-- x --><hospital1>C</hospital1><?cvx y?><hospital2 select=\"1\">A</hospital2>",
         {"0", "1"},
         {"A", "B", "C"},
         {"1", "0", "0"},
         "A"},
        {"an entry out of its place is not read",
         "<hospital1>C</hospital1><hospital3 select=\"1\">E</hospital3>",
         {"1", "0"},
         {"A", "B", "C"},
         {"1", "0", "0"},
         "A"},
    };
    QTemporaryDir chosen;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        dataio::write(dataio::data("HisSetting.xml"),
                      hisFile("<hospital1>A</hospital1><hospital2>B</hospital2>"));
        defaults().setObject(c.previousFlags, "hos1");
        defaults().removeObjectForKey("zhospital");
        dataio::write(chosen.path() + "/HisSetting.xml", hisFile(c.imported));
        ASSERT_TRUE(AddTabData::addHisDataFromPath(chosen.path() + "/HisSetting.xml"));
        EXPECT_EQ(BBInitDatas::getHospital().value("hospital"), c.list);
        EXPECT_EQ(defaults().stringArrayForKey("hos1"), c.flags);
        const QString ticked = defaults().stringForKey("zhospital");
        EXPECT_EQ(ticked.isNull() ? QStringLiteral("<none>") : ticked, c.ticked);
        EXPECT_TRUE(defaults().stringForKey("zdoctor").isNull());  // the dentist list had no tick
    }
}

TEST(AddTabDataTest, StockCommentMarksTickByListKeyAndSetTheChosenText) {
    dataio::installDefaults();
    const QStringList bfc0 = BBInitDatas::getTableDetail().value("bfc0");
    QTemporaryDir chosen;
    // BFC's type "0" list is "bfc0", BFC's low level: item 2, level 2.
    dataio::write(chosen.path() + "/Comment.xml",
                  "<C><L title=\"BFC\" type=\"0\"><data1>新しい</data1><data2 select=\"1\">" + bfc0.at(0) +
                      "</data2></L><L title=\"MS\" type=\"2\"><data1 select=\"1\"></data1></L></C>");
    ASSERT_TRUE(AddTabData::addTabDataFromPath(chosen.path() + "/Comment.xml"));
    const QVariantList sign = defaults().arrayForKey("zsignData");
    const QVariantList content = defaults().arrayForKey("zcontent");
    EXPECT_EQ(BBInitDatas::getTableDetail().value("bfc0"), bfc0 + QStringList{"新しい"});
    QStringList expected(bfc0.size() + 1, "0");
    expected[0] = "1";
    EXPECT_EQ(sign[2].toList()[2].toStringList(), expected);
    EXPECT_EQ(content[2].toList()[2].toString(), bfc0.at(0));
    // An empty choice ticks the appended empty entry and leaves the chosen text alone.
    EXPECT_EQ(sign[0].toList()[0].toStringList().indexOf("1"),
              BBInitDatas::getTableDetail().value("ms0").size() - 1);
    EXPECT_FALSE(content[0].toList()[0].toString().isEmpty());
}

}  // namespace
