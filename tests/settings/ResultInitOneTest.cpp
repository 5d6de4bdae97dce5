#include <gtest/gtest.h>

#include "SettingsFixture.h"
#include "settings/ResultInitOne.h"

namespace {

using settingstest::choice;
using settingstest::strings;
using settingstest::user;

const QString kSign = QStringLiteral("zsignData");
const QString kContent = QStringLiteral("zcontent");

class ResultInitOneTest : public ::testing::Test {
protected:
    void SetUp() override { settingstest::installSettings(); }
};

// Each table's list key and where its ticks go: BFC's first table is its weak list, kept in
// the last slot; every other item's first table is its high list, the first slot.
TEST_F(ResultInitOneTest, ATickGoesToTheTablesSlotAtOnce) {
    struct Case {
        int item, table;
        const char *key;
        int slot;
    };
    const Case cases[] = {{1, 1, "ms0", 0},  {2, 3, "ph2", 2},  {3, 1, "bfc0", 2},
                          {3, 2, "bfc1", 1}, {3, 3, "bfc2", 0}, {7, 1, "nh30", 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        ResultInitOne model;
        EXPECT_EQ(ResultInitOne::keyOf(c.item, c.table), QLatin1String(c.key));
        model.afterSetting(c.item);
        QStringList shown = model.data(c.item, c.table);
        ASSERT_EQ(shown.size(), 3);
        shown[2] = QStringLiteral("typed before the tick");
        model.selectRow(c.table, c.item, 2, shown);

        const QStringList expected{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("1")};
        EXPECT_EQ(model.dataCHK(c.item, c.table), expected);
        EXPECT_EQ(strings(choice(kSign, c.item - 1, c.slot)), expected);
        EXPECT_EQ(choice(kContent, c.item - 1, c.slot).toString(), QStringLiteral("typed before the tick"));
        // A second click keeps the tick.
        model.selectRow(c.table, c.item, 2, shown);
        EXPECT_EQ(strings(choice(kSign, c.item - 1, c.slot)), expected);
    }
}

TEST_F(ResultInitOneTest, RowsAddedToAnEmptyListTickTheFirstAndLeavingWritesTheTicks) {
    ResultInitOne model;
    model.afterSetting(4);
    model.data(4, 2).clear();
    model.dataCHK(4, 2).clear();
    model.addRow(2, 4, {});
    EXPECT_EQ(model.data(4, 2), QStringList{QStringLiteral("")});
    EXPECT_EQ(model.dataCHK(4, 2), QStringList{QStringLiteral("1")});
    model.addRow(2, 4, {QStringLiteral("first")});
    EXPECT_EQ(model.data(4, 2), (QStringList{QStringLiteral("first"), QStringLiteral("")}));
    EXPECT_EQ(model.dataCHK(4, 2), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
    EXPECT_EQ(model.setHiddFromAry(2, 4), 0);
    EXPECT_EQ(model.setMinHei(2, 4), 124.0);

    // Nothing reaches the defaults before the item is left.
    EXPECT_EQ(strings(choice(kSign, 3, 1)).size(), 3);
    model.beforeSetting(4,
                        {model.data(4, 1), {QStringLiteral("edited"), QStringLiteral("")}, model.data(4, 3)});
    EXPECT_EQ(strings(choice(kSign, 3, 1)), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
    EXPECT_EQ(choice(kContent, 3, 1).toString(), QStringLiteral("edited"));
}

// Stored ticks of another length than the list are kept as stored; a tick beyond the last
// text chooses the last text in pH's and BFC's outer tables and nothing elsewhere, and a click
// on a row beyond short flags leaves the table without a tick and its chosen text as it was.
TEST_F(ResultInitOneTest, StoredTicksOfAnotherLengthFollowTheirRules) {
    struct Case {
        const char *name;
        int item, table, slot;
        QStringList stored;
        int clickedRow;  // -1: no click, the item is left
        QStringList flags;
        int content;  // the text of this row, -1 for "", -2 for the text chosen before
    };
    const Case cases[] = {
        {"short", 2, 1, 0, {"0"}, -1, {"0"}, -1},
        {"pH high, ticked beyond the list",
         2,
         1,
         0,
         {"0", "0", "0", "0", "1"},
         -1,
         {"0", "0", "0", "0", "1"},
         2},
        {"BFC strong, ticked beyond", 3, 3, 0, {"0", "0", "0", "1"}, -1, {"0", "0", "0", "1"}, 2},
        {"pH average, ticked beyond", 2, 2, 1, {"0", "0", "0", "1"}, -1, {"0", "0", "0", "1"}, -1},
        {"two ticks, the later wins", 2, 1, 0, {"1", "0", "1"}, -1, {"1", "0", "1"}, 2},
        {"a click beyond short flags", 2, 1, 0, {"1"}, 2, {"0"}, -2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QVariantList sign = user().arrayForKey(kSign);
        QVariantList levels = sign.at(c.item - 1).toList();
        levels[c.slot] = c.stored;
        sign[c.item - 1] = levels;
        user().setObject(sign, kSign);
        const QVariant before = choice(kContent, c.item - 1, c.slot);
        ResultInitOne model;
        model.afterSetting(c.item);
        const QStringList texts = model.data(c.item, c.table);
        ASSERT_EQ(texts.size(), 3);
        if (c.clickedRow >= 0)
            model.selectRow(c.table, c.item, c.clickedRow, texts);
        else
            model.beforeSetting(c.item,
                                {model.data(c.item, 1), model.data(c.item, 2), model.data(c.item, 3)});
        EXPECT_EQ(model.dataCHK(c.item, c.table), c.flags);
        EXPECT_EQ(strings(choice(kSign, c.item - 1, c.slot)), c.flags);
        const QVariant expected = c.content >= 0    ? QVariant(texts.at(c.content))
                                  : c.content == -1 ? QVariant(QStringLiteral(""))
                                                    : before;
        EXPECT_EQ(choice(kContent, c.item - 1, c.slot), expected);
    }
}

TEST_F(ResultInitOneTest, MissingChoiceKeysAreRebuiltWithoutLosingTheOthers) {
    user().removeObjectForKey(kSign);
    user().setObject(
        QVariantList{QVariantList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}}, kContent);
    ResultInitOne model;
    model.afterSetting(6);
    model.selectRow(1, 6, 0, model.data(6, 1));
    const QVariantList sign = user().arrayForKey(kSign);
    ASSERT_EQ(sign.size(), 7);
    for (const QVariant &item : sign) EXPECT_EQ(item.toList().size(), 3);
    EXPECT_EQ(choice(kContent, 0, 0).toString(), QStringLiteral("a"));
    EXPECT_EQ(choice(kContent, 0, 2).toString(), QStringLiteral("c"));
    EXPECT_EQ(choice(kContent, 5, 0).toString(), model.data(6, 1).at(0));
}

}  // namespace
