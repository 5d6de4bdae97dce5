#include <gtest/gtest.h>

#include "SheetChartTestKit.h"
#include "charts/BBBigNetView.h"
#include "charts/SheetChartWidgets.h"

namespace {
const QColor kCurrent(70, 133, 40), kEarlier(158, 220, 96), kReference(233, 233, 233), kGrid(128, 128, 128);
const QSize kPage(300, 300);
}  // namespace

TEST(BBBigNetViewTest, UnsetViewDrawsItsFrameAtTheDefaults) {
    BBBigNetView view;
    view.setR(0.5);
    const QImage image = renderChart(view, kPage, QStringLiteral("big_frame"));
    EXPECT_EQ(QList<float>({view.x(), view.y(), view.r(), view.subR()}), QList<float>({150, 150, 120, 20}));
    // Outer and inner rings, and the tick marks on the spokes' counter-clockwise side.
    for (QPointF p : {QPointF(243.756, 224.82), QPointF(97.932, 41.88), QPointF(165.626, 162.47),
                      QPointF(141.322, 131.98), QPointF(148, 230), QPointF(172.5, 169.9)})
        EXPECT_TRUE(colourNear(image, p, kGrid)) << p.x() << "," << p.y();
    EXPECT_FALSE(colourNear(image, {152.5, 230}, kGrid, 0));

    int hundreds = 0;
    for (const auto &e : chartTexts(view, kPage)) {
        hundreds += e.text == QLatin1String("100");
        if (e.text == QLatin1String("0") && e.pixelSize == 10) {
            EXPECT_TRUE(drawnAt(e, {271.988, 118.3}, 300));
        } else if (e.text == QStringLiteral("アンモニア")) {
            EXPECT_TRUE(drawnAt(e, {11.244, 231.82}, 300));
        }
    }
    EXPECT_EQ(hundreds, 7);
}

TEST(BBBigNetViewTest, PolygonsPlaceValuesBetweenTheRings) {
    struct Case {
        int isSix;
        QStringList values;
        QList<QPointF> vertices;
    };
    // pH 50, BFC 30 (drawn as 70), " 42x" as 42, "abc" as 0; -5 inside the inner ring, 120
    // beyond the outer one.
    const Case cases[] = {
        {0,
         {"50", "50", "30", "0", "-5", "120", " 42x"},
         {{150, 220},
          {204.691, 193.645},
          {237.741, 129.975},
          {143.492, 136.485},
          {13.514, 118.85},
          {101.559, 188.657}}},
        {6, {"50", "50", "30", "99", "40", "abc", "-5"}, {{150, 220}, {210.62, 185}, {150, 90}}},
        {0, {"120", "50", "30", "0", "-5", "120", " 42x"}, {{150, 290}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.isSix);
        BBBigNetView view;
        view.setIsSix(c.isSix), view.setIsDraw(1), view.setDigiAry(c.values), view.setIsDrawTwo(1);
        view.setData2(storedResult({"45", "45", "55", "45", "45", "45", QString()}));
        const QImage image =
            renderChart(view, kPage, QStringLiteral("big_%1_%2").arg(c.isSix).arg(c.values[0]));
        for (QPointF v : c.vertices) EXPECT_TRUE(colourNear(image, v, kCurrent)) << v.x() << "," << v.y();
        EXPECT_TRUE(colourNear(image, {150, 215}, kEarlier));
        EXPECT_EQ(view.digiSubAry(), QStringList({"45", "45", "55", "45", "45", "45", ""}));
        int names = 0;
        for (const auto &e : chartTexts(view, kPage))
            names += e.pixelSize == 13 && e.text != QStringLiteral("潜血");
        EXPECT_EQ(names, 6);
    }
}

TEST(BBBigNetViewTest, ReferenceAndPolygonsNeedTheirInputs) {
    const QStringList seven = BBBigNetView::referenceAverages();
    struct Case {
        QStringList tabAry, digiAry;
        bool earlier;
    };
    for (const Case &c : {Case{seven, seven, true}, Case{seven.mid(0, 6), seven.mid(0, 3), false},
                          Case{seven + QStringList{"1"}, {}, false}}) {
        BBBigNetViewWidget widget;  // as on screen
        widget.resize(widget.sizeHint());
        BBBigNetView &view = widget.chart();
        view.setTabAry(c.tabAry), view.setDigiAry(c.digiAry), view.setIsDraw(1), view.setIsDrawTwo(c.earlier);
        if (c.earlier) view.setData2(storedResult(QStringList(7, QStringLiteral("80"))));
        const QImage image = widget.grab().toImage();
        EXPECT_EQ(near(chartPixel(image, {153, 185}), kReference, 6), c.earlier);
        EXPECT_EQ(pixelsOf(image, kCurrent) > 0, c.earlier);
        EXPECT_EQ(pixelsOf(image, kEarlier) > 0, c.earlier);
    }
    // Switched on without a record, the earlier polygon is all zeros: the inner ring, and BFC's
    // vertex on the outer one: half way from the inner pH vertex out to it.
    BBBigNetView view;
    view.setIsDrawTwo(1);
    const QImage image = renderChart(view, kPage);
    EXPECT_TRUE(colourNear(image, {(165.626 + 266.988) / 2, (162.47 + 123.3) / 2}, kEarlier));
    EXPECT_EQ(view.digiSubAry(), QStringList(7, QString()));
}
