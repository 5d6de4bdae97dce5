#include <gtest/gtest.h>

#include "SheetChartTestKit.h"
#include "charts/BBNMNetView.h"

TEST(BBNMNetViewTest, PolygonComesFromTheRecordElseFromACompleteList) {
    const QColor green(70, 133, 40);
    const QStringList list = {"50", "0", "100", "0", "100", "0", "0"};
    struct Case {
        std::optional<OCMCustomerComment> record;
        QStringList list;
        int isSix;
        QList<QPointF> vertices;  // none: no polygon
    };
    const Case cases[] = {
        {std::nullopt, {"50"}, 0, {}},
        {std::nullopt, list.mid(0, 3), 0, {}},
        {std::nullopt, list, 0, {{80, 65}, {80, 50}, {80 - 0.4339 * 30, 50 - 0.901 * 30}}},
        {std::nullopt, list, 6, {{80, 65}, {80, 20}}},
        // The record wins; its missing BFC reads 0, the rim on BFC's inverted scale.
        {storedResult({"100", "0", QString(), "0", "0", "0", "0"}), list, 0, {{80, 80}, {109.247, 43.325}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.list.size());
        BBNMNetView view;
        view.setCusModel(c.record), view.setDigiSubAry(c.list), view.setIsSix(c.isSix);
        const QImage image =
            renderChart(view, QSize(160, 100), QStringLiteral("small_%1").arg(c.vertices.size()));
        EXPECT_EQ(QList<float>({view.x(), view.y(), view.r()}), QList<float>({80, 50, 30}));
        EXPECT_EQ(pixelsOf(image, green) > 0, !c.vertices.isEmpty());
        for (QPointF v : c.vertices) EXPECT_TRUE(colourNear(image, v, green)) << v.x() << "," << v.y();

        const auto texts = chartTexts(view, QSize(160, 100));
        EXPECT_EQ(texts.size(), c.isSix ? 6 : 7);
        if (!c.isSix) {
            EXPECT_TRUE(drawnAt(texts[5], {0.753, 50 - 0.2225 * 30 - 15}, 100, false));
        }
    }
}
