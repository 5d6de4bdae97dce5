#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>
#include <limits>

#include "ChartTextLog.h"
#include "charts/BBColumnView.h"
#include "platform/Pictures.h"

namespace {

QImage render(BBColumnView &view) {
    QImage image(170, 180, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view.paint(painter, QRectF(image.rect()));
    return image;
}

// The colour a segment picture shows in the middle of its column.
QColor segmentColour(int n) {
    const QImage picture = cvx::Pictures::image(QStringLiteral("b%1").arg(n));
    return picture.pixelColor(picture.width() / 2, picture.height() / 2);
}

// The segment picture (1..6) shown at height y in the middle of bar position n; 0 for none.
int segmentAt(const QImage &image, int n, double y) {
    const QColor pixel = chartPixel(image, {60.0 * n + 26, y});
    for (int s = 1; s <= 6; ++s)
        if (near(pixel, segmentColour(s), 3)) return s;
    return 0;
}

// Top of the bar at position n: the highest row with ink above the base line.
double barTop(const QImage &image, int n) {
    double top = 0;
    for (double y = 41.5; y < 180; y += 1)
        if (chartPixel(image, {60.0 * n + 26, y}).lightness() < 250) top = y + 0.5;
    return top;
}

}  // namespace

TEST(BBColumnViewTest, ValueStacksSegmentsByBand) {
    for (int s = 1; s < 6; ++s) ASSERT_FALSE(near(segmentColour(s), segmentColour(s + 1), 3)) << s;
    struct Case {
        float value;
        double top;    // upper edge of the bar, 0 none
        double probe;  // a height inside the topmost segment
        int topmost;   // its picture
    };
    const Case cases[] = {
        {0.06f, 42.35, 0, 0},    // "b1" 1.35 high
        {1.69f, 79.0, 70, 1},    // "b1" stretched, still the first band
        {1.7f, 77.75, 70, 2},    // widens above 1.7: "b2" 14.75 high
        {2.0f, 84.5, 75, 2},     // "b2" 21.5
        {3.7f, 122.75, 115, 4},  // widens above 3.7: into the "b4" band
        {4.02f, 129, 120, 4},    // "b5" would be -0.55 high: left out
        {5.7f, 168.25, 160, 5},  // narrows below 5.7: "b5" band
        {6.0f, 174.5, 165, 6},   // "b6" 21.5
        {6.01f, 0, 0, 0},        // past the scale: no bar
        {7.5f, 0, 0, 0},        {0.0f, 0, 0, 0},
        {-1.2f, 0, 0, 0},       {std::numeric_limits<float>::quiet_NaN(), 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        BBColumnView view;
        view.setX3(c.value), view.setX1(c.value);
        const QImage image = render(view);
        EXPECT_NEAR(barTop(image, 2), c.top, 1);
        EXPECT_EQ(barTop(image, 0), barTop(image, 2));
        EXPECT_EQ(barTop(image, 1), 0);
        if (c.topmost > 0) {
            EXPECT_EQ(segmentAt(image, 2, c.probe), c.topmost);
        }
    }
}

TEST(BBColumnViewTest, FrameAndCaptionsStackingUpwardUnderTheirBars) {
    BBColumnView view;
    const QImage image = render(view);
    const QColor frame = QColor::fromRgbF(0.3, 0.3, 0.3);
    EXPECT_TRUE(colourNear(image, {100, 40}, frame) && colourNear(image, {10, 120}, frame) &&
                colourNear(image, {5, 175}, frame));

    view.setTxt1(QString());
    view.setTxt2(QStringLiteral(""));
    view.setTxt3(QStringLiteral("2015\n04/21\n10:32"));
    ChartTextLog log;
    QPainter painter(&log);
    view.paint(painter, QRectF(0, 0, 170, 180));
    painter.end();
    ASSERT_EQ(log.entries.size(), 3);
    const QStringList lines = {"2015", "04/21", "10:32"};
    for (int i = 0; i < 3; ++i) {
        const auto &e = log.entries.at(i);
        EXPECT_EQ(e.text, lines.at(i));
        EXPECT_NEAR(e.baseline.x(), 128, 0.5);
        EXPECT_EQ(e.color, QColor(Qt::black));
        EXPECT_EQ(e.pixelSize, 11);
        if (i > 0) {
            EXPECT_GT(e.baseline.y(), log.entries.at(i - 1).baseline.y());
        }
    }
    // The last line ends two points below the view's lower edge.
    EXPECT_GT(log.entries.last().baseline.y(), 180 + 2 - 6);
    EXPECT_LT(log.entries.last().baseline.y(), 180 + 2);
}
