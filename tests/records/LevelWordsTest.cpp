#include <gtest/gtest.h>

#include <QVariantList>
#include <cmath>
#include <limits>

#include "platform/Bundle.h"
#include "platform/Numbers.h"
#include "platform/ScopedCommaLocale.h"
#include "platform/UserDefaults.h"
#include "records/CalcSettingDatas.h"
#include "records/CalcSettingFixture.h"
#include "records/Decimal.h"
#include "records/UsbUtils.h"

namespace {

class LevelWordsTest : public testing::Test {
protected:
    void SetUp() override { calcfixture::install(calcfixture::kXml); }
};

struct PositionCase {
    int flag;
    double value;
    double position;
};

// Rows marked "tie" are exact half-way positions; "double: n" is what binary floating
// point with rounding half away from zero gives there.
const PositionCase kPositionCases[] = {
    // MS, measurement with I_NH3: rising on log10; values up to 1 fixed at 1 or 0
    {0, 1.0, 1},
    {0, 0.5, 1},
    {0, -3.3, 1},
    {0, -3.4, 0},
    {0, 1.01, 0},
    {0, 1.1, 4},
    {0, 2, 29},
    {0, 10, 96},
    {0, 11, 100},
    {0, 12, 100},
    // MS, measurement with the older NH3 pad
    {10, 1.0, 0},
    {10, 0.5, 0},
    {10, -5, 0},
    {10, 2, 29},
    {10, 12, 100},
    // pH 25..90 rising
    {1, 57.5, 50},
    {1, 25, 0},
    {1, 20, 0},
    {1, 90, 100},
    {1, 95, 100},
    {1, 27.275, 4},  // tie 3.5, double: 3
    {1, 27.925, 4},  // tie 4.5, double: 5
    // BFC 45..100 falling
    {2, 72.5, 50},
    {2, 100, 0},
    {2, 45, 100},
    {2, 30, 100},
    {2, 46.925, 96},  // tie 96.5, double: 97
    {2, 65.075, 64},  // tie 63.5, double: 63
    // BLD, log10 value, 0.7..1.9 falling
    {3, 1.3, 50},
    {3, 1.294, 50},
    {3, 0, 100},
    {3, 0.7, 100},
    {3, 1.9, 0},
    {3, 2.0, 0},
    {3, 0.802, 92},  // tie 91.5, double: 91
    // ALB 50..90 falling
    {5, 70.2, 50},   // tie 49.5, double: 49
    {5, 88.2, 4},    // tie 4.5
    {5, 89.4, 2},    // tie 1.5, double: 1
    {5, 89.8, 0},    // tie 0.5, double: 1
    {5, 50.2, 100},  // tie 99.5, double: 99
    {5, 51.4, 96},   // tie 96.5, double: 97
    // I_LEU "more": 0.35..1.65 onto 100..70 by coefC 30, coefD 70
    {4, 0.35, 100},
    {4, 1.65, 70},
    {4, 1.0, 85},
    {4, 0.2, 100},
    {4, 2.0, 62},
    {4, 0.545, 96},  // tie 95.5, double: 95
    {4, 0.805, 90},  // tie 89.5, double: 89
    // I_NH3 1.2..2.0 falling
    {6, 1.2, 100},
    {6, 2.0, 0},
    {6, 1.6, 50},
    {6, 2.5, 0},
    {6, 1.212, 98},  // tie 98.5, double: 99
    // I_LEU "less" 1.0..2.0 falling
    {7, 1.0, 100},
    {7, 2.0, 0},
    {7, 0.5, 100},
    {7, 1.015, 98},  // tie 98.5, double: 99
    // older LEU 0.9..1.9 falling
    {8, 0.9, 100},
    {8, 1.9, 0},
    {8, 1.4, 50},
    {8, 0.905, 100},  // tie 99.5, double: 99
    {8, 0.925, 98},   // tie 97.5, double: 97
    // older NH3 1.1..1.9 falling
    {9, 1.1, 100},
    {9, 1.9, 0},
    {9, 1.5, 50},
    {9, 1.112, 98},  // tie 98.5, double: 99
    // unknown flags
    {11, 50, 0},
    {-1, 50, 0},
    {1000, 50, 0},
};

void expectPositions() {
    for (const PositionCase &c : kPositionCases)
        EXPECT_EQ(UsbUtils::getAxiYValue(c.value, c.flag), c.position)
            << "flag " << c.flag << " value " << c.value;
}

TEST_F(LevelWordsTest, ChartPositionsAtAxisEndsAndTies) {
    expectPositions();
}

// QApplication takes LC_NUMERIC from the user's environment; a decimal comma must not turn
// the exact ties into binary guesses.
TEST_F(LevelWordsTest, ChartPositionsIgnoreTheUsersDecimalComma) {
    const cvxtest::ScopedCommaLocale comma;
    if (!comma.active()) GTEST_SKIP() << "no locale with a decimal comma could be made";
    expectPositions();
}

TEST_F(LevelWordsTest, ChartPositionClampsToMaxLen) {
    EXPECT_EQ(UsbUtils::getChartAxiYValue(57.5, 1, 40), 20);
    EXPECT_EQ(UsbUtils::getChartAxiYValue(95, 1, 40), 40);
    EXPECT_EQ(UsbUtils::getChartAxiYValue(10, 2, 40), 40);
    // The scaled "more" axis ignores maxLen except for clamping.
    EXPECT_EQ(UsbUtils::getChartAxiYValue(1.0, 4, 80), 80);
    EXPECT_EQ(UsbUtils::getChartAxiYValue(1.0, 4, 1000), 85);
}

TEST_F(LevelWordsTest, AbsurdValuesStillGiveAClampedPosition) {
    EXPECT_EQ(UsbUtils::getAxiYValue(1e300, 1), 100);
    EXPECT_EQ(UsbUtils::getAxiYValue(-1e300, 1), 0);
    EXPECT_EQ(UsbUtils::getAxiYValue(1e300, 6), 0);
    EXPECT_EQ(UsbUtils::getAxiYValue(-1e300, 4), 100);
    EXPECT_EQ(UsbUtils::getAxiYValue(std::numeric_limits<double>::quiet_NaN(), 5), 0);
}

struct WordCase {
    std::int64_t index;
    double position;
    const char *word;
};

TEST_F(LevelWordsTest, LevelWordsAtBandEdges) {
    const WordCase cases[] = {
        {0, 47.5, "多め"},
        {0, 47, "平均レベル"},
        {0, 28, "平均レベル"},
        {0, 27, "少なめ"},
        {1, 53, "高め"},
        {1, 52, "平均レベル"},
        {1, 35, "平均レベル"},
        {1, 34, "低め"},
        {2, 48, "強め"},
        {2, 47, "平均レベル"},
        {2, 28, "平均レベル"},
        {2, 27, "弱め"},
        {3, 30, "多め"},
        {3, 29, "平均レベル"},
        {3, 14, "平均レベル"},
        {3, 13, "少なめ"},
        {5, 54, "多め"},
        {5, 53, "平均レベル"},
        {5, 36, "平均レベル"},
        {5, 35, "少なめ"},
        // LEU and NH3 bands from the calculation ranges, different for each case
        {4, 66, "多め"},
        {4, 65, "平均レベル"},
        {4, 46, "平均レベル"},
        {4, 45, "少なめ"},
        {6, 64, "多め"},
        {6, 63, "平均レベル"},
        {6, 44, "平均レベル"},
        {6, 43, "少なめ"},
        {7, 51, "多め"},
        {7, 50, "平均レベル"},
        {7, 31, "平均レベル"},
        {7, 30, "少なめ"},
        {8, 60, "多め"},
        {8, 59, "平均レベル"},
        {8, 40, "平均レベル"},
        {8, 39, "少なめ"},
        {9, 61, "多め"},
        {9, 60, "平均レベル"},
        {9, 41, "平均レベル"},
        {9, 40, "少なめ"},
        {10, 50, ""},
        {-1, 50, ""},
    };
    for (const WordCase &c : cases)
        EXPECT_EQ(UsbUtils::getResultValue(c.position, c.index), QString::fromUtf8(c.word))
            << "index " << c.index << " position " << c.position;
}

void setContent(const QVariantList &items) {
    ASSERT_TRUE(cvx::UserDefaults::standard().setObject(items, QStringLiteral("zcontent")));
}

QVariantList contentOfSevenItems() {
    QVariantList items;
    for (const char *item : {"ms", "ph", "bfc", "bld", "leu", "alb", "nh3"}) {
        QVariantList texts;
        for (int level = 0; level < 3; ++level) texts << QStringLiteral("%1-%2").arg(item).arg(level);
        items.append(QVariant(texts));
    }
    return items;
}

TEST_F(LevelWordsTest, ContentFollowsEachItemsOwnWords) {
    setContent(contentOfSevenItems());
    const struct {
        const char *word;
        int item;
        const char *text;
    } cases[] = {
        {"多め", 0, "ms-0"},        {"平均レベル", 0, "ms-1"}, {"少なめ", 0, "ms-2"}, {"高め", 1, "ph-0"},
        {"多め", 1, "ph-2"},        {"低め", 1, "ph-2"},       {"強め", 2, "bfc-0"},  {"多め", 2, "bfc-2"},
        {"弱め", 2, "bfc-2"},       {"多め", 3, "bld-0"},      {"多め", 4, "leu-0"},  {"多め", 5, "alb-0"},
        {"平均レベル", 6, "nh3-1"}, {"", 6, "nh3-2"},          {"強め", 6, "nh3-2"},  {"多め", 7, ""},
        {"多め", -1, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UsbUtils::getContent(QString::fromUtf8(c.word), c.item), QString::fromUtf8(c.text))
            << c.word << " " << c.item;
}

TEST_F(LevelWordsTest, ContentMissingGivesEmptyText) {
    EXPECT_EQ(UsbUtils::getContent(QStringLiteral("多め"), 0), QString(""));

    QVariantList shortList = contentOfSevenItems().mid(0, 3);
    shortList[1] = QVariantList{QStringLiteral("only-high")};
    setContent(shortList);
    EXPECT_EQ(UsbUtils::getContent(QStringLiteral("高め"), 1), QStringLiteral("only-high"));
    EXPECT_EQ(UsbUtils::getContent(QStringLiteral("低め"), 1), QString(""));
    EXPECT_EQ(UsbUtils::getContent(QStringLiteral("多め"), 5), QString(""));
}

// A missing range set makes positions and words fail, not silently read 0, and the
// failure is not remembered.
TEST_F(LevelWordsTest, LoadFailureReachesEveryFlagAndIndexUntilMended) {
    QString broken = calcfixture::kXml;
    broken.remove(QStringLiteral("<Threshold>20</Threshold>"));
    calcfixture::install(broken);
    EXPECT_THROW(UsbUtils::getAxiYValue(57.5, 1), CalcSettingDatas::LoadError);
    EXPECT_THROW(UsbUtils::getAxiYValue(50, 11), CalcSettingDatas::LoadError);
    EXPECT_THROW(UsbUtils::getResultValue(50, 0), CalcSettingDatas::LoadError);
    EXPECT_NO_THROW(UsbUtils::getContent(QStringLiteral("多め"), 0));

    calcfixture::write(calcfixture::kXml);
    EXPECT_EQ(UsbUtils::getAxiYValue(57.5, 1), 50);
    EXPECT_EQ(UsbUtils::getResultValue(66, 4), QStringLiteral("多め"));
}

TEST_F(LevelWordsTest, ZeroWidthAxisThrowsOnlyForItsFlag) {
    QString xml = calcfixture::kXml;
    xml.replace(QStringLiteral("<DataRange>1.2|2.0</DataRange>"),
                QStringLiteral("<DataRange>1.5|1.5</DataRange>"));
    calcfixture::install(xml);
    EXPECT_THROW(UsbUtils::getAxiYValue(1.3, 6), cvx::DecimalDivideByZero);
    EXPECT_EQ(UsbUtils::getAxiYValue(1.5, 9), 50);
}

TEST(LevelWordsWithoutFile, NoFileGivesZeroWidthRanges) {
    CalcSettingDatas::discardSharedForTesting();
    for (int flag : {4, 6, 7, 8, 9})
        EXPECT_THROW(UsbUtils::getAxiYValue(1.3, flag), cvx::DecimalDivideByZero);
    EXPECT_EQ(UsbUtils::getAxiYValue(57.5, 1), 50);
    EXPECT_EQ(UsbUtils::getResultValue(1, 6), QStringLiteral("多め"));
    EXPECT_EQ(UsbUtils::getResultValue(0, 8), QStringLiteral("少なめ"));
}

// The shipped ranges: every used axis has width, the two I_LEU sets meet at the
// threshold, and the averages are those printed on the sheet.
TEST(ShippedCalcSetting, RangesAreUsableAndAgreeWithTheSheet) {
    calcfixture::makeDataFolder();
    ASSERT_TRUE(cvx::Bundle::copyResource(QStringLiteral("CalcSetting.xml"), calcfixture::path()));
    CalcSettingDatas::discardSharedForTesting();
    const CalcSettingDatas &calc = CalcSettingDatas::getInst();

    EXPECT_EQ(cvx::intValue(calc.LEU().ChgData().AvgData()), 49);
    EXPECT_EQ(cvx::intValue(calc.I_LEU().More().ChgData().AvgData()), 49);
    EXPECT_EQ(cvx::intValue(calc.I_LEU().Less().ChgData().AvgData()), 49);
    EXPECT_EQ(cvx::intValue(calc.NH3().ChgData().AvgData()), 53);
    EXPECT_EQ(cvx::intValue(calc.I_NH3().ChgData().AvgData()), 53);

    for (int flag = 0; flag <= 10; ++flag) EXPECT_NO_THROW(UsbUtils::getAxiYValue(1.5, flag)) << flag;

    // The average position gets the average word in every LEU and NH3 case.
    EXPECT_EQ(UsbUtils::getResultValue(49, 4), QStringLiteral("平均レベル"));
    EXPECT_EQ(UsbUtils::getResultValue(49, 7), QStringLiteral("平均レベル"));
    EXPECT_EQ(UsbUtils::getResultValue(49, 8), QStringLiteral("平均レベル"));
    EXPECT_EQ(UsbUtils::getResultValue(53, 6), QStringLiteral("平均レベル"));
    EXPECT_EQ(UsbUtils::getResultValue(53, 9), QStringLiteral("平均レベル"));

    const double threshold = cvx::doubleValue(calc.I_LEU().Threshold());
    EXPECT_EQ(UsbUtils::getAxiYValue(std::log10(threshold), 4),
              UsbUtils::getAxiYValue(std::log10(threshold), 7));
    EXPECT_TRUE(calc.I_LEU().usesMore(threshold - 0.1));
    EXPECT_FALSE(calc.I_LEU().usesMore(threshold));
}

}  // namespace
