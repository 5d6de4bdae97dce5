#include <gtest/gtest.h>

#include <cmath>

#include "SheetChartTestKit.h"
#include "charts/BBDEColumnView.h"

namespace {

const QSize kArea(140, 160);

// Chart y of the top of the bar whose left edge is at x; -1 without one. The segment pictures
// are the chart's only teal.
double barTop(const QImage &image, int left) {
    for (int row = 0; row < image.height(); ++row) {
        const QColor c = image.pixelColor(left + 6, row);
        if (c.green() - c.red() > 25 && c.blue() - c.red() > 25) return kArea.height() - row;
    }
    return -1;
}

}  // namespace

TEST(BBDEColumnViewTest, UnsetChartDrawsAndKeepsItsDefaults) {
    BBDEColumnView view;
    const QImage image = renderChart(view, kArea, QStringLiteral("column_defaults"));
    EXPECT_EQ(QList<float>({view.wid(), view.hei(), view.aveHei()}), QList<float>({140, 160, 72}));
    EXPECT_EQ(QStringList(
                  {view.boLab(), view.topLab(), view.litLab(), view.moreLab(), view.title(), view.aveStr()}),
              QStringList({"0", "100", "多", "少", "むし歯菌", "2"}));
    const auto texts = chartTexts(view, kArea);
    EXPECT_EQ(texts.size(), 7);                        // no caption: no value label
    EXPECT_TRUE(drawnAt(texts[2], {25, 73.88}, 160));  // "2", then "平均値" and the dashed line
    EXPECT_TRUE(drawnAt(texts[6], {38, 130}, 160));
    int dark = 0;
    for (int x = 46; x < 115; ++x) dark += qGray(image.pixel(x, 160 - 84)) < 250;
    EXPECT_TRUE(dark > 35 && dark < 60) << dark;

    view.setTitle(QStringLiteral("緩衝能"));  // average at 100 - 72
    EXPECT_TRUE(drawnAt(chartTexts(view, kArea)[3], {16, 60.12}, 160));
}

TEST(BBDEColumnViewTest, BarsStackSegmentsByBand) {
    const std::pair<float, double> cases[] = {
        {1.0f, 55},  {2.0f, 63},  {2.5f, 68.5}, {5.0f, 90}, {6.0f, 99}, {1.7f, 60.3}, {5.7f, 96.3},
        {4.05f, 82}, {6.01f, -1}, {-1.0f, -1},  {0.0f, -1}, {NAN, -1},  {1e30f, -1}};
    for (auto [value, top] : cases) {
        SCOPED_TRACE(value);
        BBDEColumnView view;
        view.setX1(value), view.setX3(value), view.setTxt1(QStringLiteral("2024\n01/02\n09:30"));
        const QImage image = renderChart(view, kArea);
        for (int left : {51, 93}) EXPECT_NEAR(barTop(image, left), top, top < 0 ? 0 : 1.0) << left;
        EXPECT_EQ(barTop(image, 72), -1);
    }
}

TEST(BBDEColumnViewTest, CaptionedBarsGetValueLabelAndTemperature) {
    struct Case {
        QString boLab;
        float value;
        QString temperature, label;
        QColor colour;
    };
    for (const Case &c :
         {Case{{}, float(35 * 0.06), "20℃", "35", Qt::black}, Case{{}, 1.0f, "21℃", "16", Qt::black},
          Case{{}, float(67 * 0.06), "21℃", "67", Qt::black},
          Case{"100", float(35 * 0.06), "20℃", "65", Qt::black}, Case{"100", 1.0f, "19℃", "83", Qt::blue},
          Case{{}, 6.0f, "℃", "100", Qt::blue}, Case{{}, 1e30f, "abc", "1000000", Qt::blue}}) {
        SCOPED_TRACE(c.label.toStdString());
        BBDEColumnView view;
        view.setBoLab(c.boLab);
        view.setX2(c.value), view.setTxt2(QStringLiteral("2024\n01/02\n09:30")), view.setD2(c.temperature);
        view.setX1(3), view.setD1(QStringLiteral("25℃"));  // no caption: no label, no temperature
        QStringList drawn;
        for (const auto &e : chartTexts(view, kArea)) {
            drawn << e.text;
            if (e.text == c.temperature) {
                EXPECT_EQ(e.color, c.colour);
                EXPECT_TRUE(drawnAt(e, {66, 2}, 160, false));
            }
        }
        EXPECT_EQ(drawn.count(c.label), c.label == QLatin1String("100") ? 2 : 1);
        EXPECT_TRUE(drawn.contains(QStringLiteral("01/02")) && drawn.contains(c.temperature));
        EXPECT_FALSE(drawn.contains(QStringLiteral("25℃")) || drawn.contains(QStringLiteral("50")));
    }
}
