#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>

#include "ChartTextLog.h"
#include "charts/BBNetView.h"
#include "platform/Numbers.h"

namespace {

const QColor kCurrent(77, 141, 46);
const QColor kEarlier(155, 215, 96);
const QColor kReference(233, 233, 233);

OCMCustomerComment record(const QStringList &positions) {
    OCMCustomerComment c;
    void (OCMCustomerComment::*setters[])(const QString &) = {
        &OCMCustomerComment::setDatavalue1, &OCMCustomerComment::setDatavalue2,
        &OCMCustomerComment::setDatavalue3, &OCMCustomerComment::setDatavalue4,
        &OCMCustomerComment::setDatavalue5, &OCMCustomerComment::setDatavalue6,
        &OCMCustomerComment::setDatavalue7};
    for (int i = 0; i < 7; ++i) (c.*setters[i])(positions.value(i));
    return c;
}

QImage render(BBNetView &view, QSize size = QSize(190, 190)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view.paint(painter, QRectF(QPointF(0, 0), size));
    return image;
}

}  // namespace

TEST(BBNetViewTest, CurrentResultVerticesLieOnTheirAxesAndAreDrawnThere) {
    struct Vertex {
        double dx, dy, p;  // axis and the position drawn, at centre 95, 95 and radius 70
    };
    // MS full, pH half, BFC 0 on the rim, BLD 37, LEU 45.7 read as 45; nothing held to the
    // scale: ALB 120 beyond the rim, NH3 -10 beyond the centre.
    const QStringList values = {"12.0|100", "5.5|50", "1|0", "3|37", "8|45.7", "9|120", "2|-10"};
    const QList<Vertex> seven = {{0, 1, 100},         {.7813, .6235, 50},  {.9749, -.2225, 100},
                                 {.4339, -.901, 37},  {-.4339, -.901, 45}, {-.9749, -.2225, 120},
                                 {-.7813, .6235, -10}};
    const QList<Vertex> six = {{0, 1, 100}, {.866, .5, 50},    {.866, -.5, 100},
                               {0, -1, 45}, {-.866, -.5, 120}, {-.866, .5, -10}};
    for (int isSix : {0, 6}) {
        SCOPED_TRACE(isSix);
        const QList<Vertex> &expected = isSix ? six : seven;
        BBNetView view;
        view.setX(95), view.setY(95), view.setR(70), view.setIsSix(isSix);
        view.setIsDraw(1);
        view.setData(record(values));
        const QImage image = render(view);
        for (qsizetype i = 0; i < 7; ++i) {
            const Vertex v = expected.value(i);  // unused slots stay at (0, 0)
            const QPointF want =
                i < expected.size() ? QPointF(95 + v.dx * .7 * v.p, 95 + v.dy * .7 * v.p) : QPointF();
            EXPECT_NEAR(view.vertices()[i].x(), want.x(), 1e-3) << i;
            EXPECT_NEAR(view.vertices()[i].y(), want.y(), 1e-3) << i;
            if (i < expected.size()) {
                EXPECT_TRUE(colourNear(image, want, kCurrent)) << i;
            }
        }
    }

    // MS 120 and -10 on the main chart, and 120 at the default radius, off the grid.
    const struct {
        float r;
        const char *ms;
        double y;
    } ms[] = {{70, "|120", 179}, {70, "|-10", 88}, {0, "|120", 161}};
    for (const auto &c : ms) {
        BBNetView view;
        view.setX(95), view.setY(95), view.setR(c.r), view.setIsDraw(1);
        view.setData(record({c.ms, "|0", "|100", "|0", "|0", "|0", "|0"}));
        render(view);
        EXPECT_NEAR(view.vertices()[0].y(), c.y, 1e-3) << c.ms;
    }
}

TEST(BBNetViewTest, SevenOrSixAxesWithTheirLabels) {
    struct Label {
        QString text;
        QPointF lowerLeft;  // centre 95, 95, radius 70
        bool blue;
    };
    const QList<Label> seven = {{"むし歯菌", {65, 165}, true},
                                {"緩衝能", {95 + 0.9749 * 70 - 10, 95 - 0.2225 * 70 - 25}, true},
                                {"潜血", {95 + 0.4339 * 70 - 5, 95 - 0.901 * 70 - 21}, false},
                                {"白血球", {95 - 0.4339 * 70 - 30, 95 - 0.901 * 70 - 21}, false}};
    const QList<Label> six = {{"むし歯菌", {67, 165}, true},
                              {"緩衝能", {95 + 0.866 * 70 - 8, 95 - 0.5 * 70 - 20}, true},
                              {"白血球", {77, 95 - 70 - 21}, false}};
    for (int isSix : {0, 7, 6}) {
        SCOPED_TRACE(isSix);
        const QList<Label> &labels = isSix == 6 ? six : seven;
        BBNetView view;
        view.setIsSix(isSix);
        view.setX(95), view.setY(95), view.setR(70);
        const QImage image = render(view);
        const QColor grid(128, 128, 128);
        // Half way along the seven-item BLD spoke, and along the six-item LEU spoke (straight down).
        EXPECT_EQ(colourNear(image, {95 + 0.4339 * 35, 95 - 0.901 * 35}, grid), isSix != 6);
        EXPECT_EQ(colourNear(image, {95, 95 - 35}, grid), isSix == 6);

        // Into part of a larger page, as the sheet or a printer would draw it.
        ChartTextLog log;
        QPainter painter(&log);
        view.paint(painter, QRectF(20, 30, 190, 190));
        painter.end();
        ASSERT_EQ(log.entries.size(), labels.size());
        for (qsizetype i = 0; i < labels.size(); ++i) {
            const auto &e = log.entries.at(i);
            EXPECT_EQ(e.text, labels.at(i).text);
            EXPECT_EQ(e.color, labels.at(i).blue ? QColor(10, 149, 234) : QColor(255, 128, 128));
            EXPECT_EQ(e.pixelSize, 13);
            const QPointF corner(20 + labels.at(i).lowerLeft.x(), 30 + 190 - labels.at(i).lowerLeft.y());
            EXPECT_NEAR(e.baseline.x(), corner.x(), 0.5) << i;
            // The baseline lies above the lower edge by the descent.
            EXPECT_LT(e.baseline.y(), corner.y()) << i;
            EXPECT_GT(e.baseline.y(), corner.y() - 6) << i;
        }
    }
}

TEST(BBNetViewTest, ReferenceMarkersAndEarlierResultFollowTheirSwitches) {
    const QStringList reference = {"37", "43", "36", "22", "49", "43", "53"};
    struct Case {
        const char *name;
        QStringList tabAry;
        int isDrawPoint, isDrawPointTwo, isDrawTwo;
        bool filled, marker, earlier;
    };
    const Case cases[] = {
        {"all on", reference, 1, 0, 1, true, true, true},
        {"markers suppressed", reference, 1, 1, 0, true, false, false},
        {"markers off", reference.mid(0, 6), 0, 0, 0, false, false, false},
        {"eight references", reference + QStringList{"1"}, 2, 0, 2, false, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BBNetView view;
        view.setX(95), view.setY(95), view.setR(70);
        view.setTabAry(c.tabAry);
        view.setIsDraw(1), view.setIsDrawPoint(c.isDrawPoint), view.setIsDrawPointTwo(c.isDrawPointTwo);
        view.setData(record({"|100", "|100", "|0", "|100", "|100", "|100", "|100"}));
        view.setIsDrawTwo(c.isDrawTwo);
        view.setData2(record({"|60", "|60", "|40", "|60", "|60", "|60", "|60"}));
        const QImage image = render(view);
        EXPECT_EQ(near(chartPixel(image, {98, 105}), kReference, 6), c.filled);  // inside, off the spokes
        EXPECT_EQ(colourNear(image, {95, 95 + 70 + 2}, kCurrent, 0), c.marker);  // ring above MS vertex
        EXPECT_EQ(colourNear(image, {95, 95 + 42}, kEarlier), c.earlier);
    }
}

TEST(BBNetViewTest, MissingOrGarbageValuesDrawSafely) {
    BBNetView view;  // centre and radius never set
    view.setIsDraw(1), view.setIsDrawPoint(1);
    const QImage empty = render(view);
    EXPECT_EQ(view.x(), 95);
    EXPECT_EQ(view.y(), 95);
    EXPECT_EQ(view.r(), 55);
    // Switched on without a result: every position 0, so a line out to BFC's rim and back.
    const QPointF bfcMid(95 + 0.9749 * 27.5, 95 - 0.2225 * 27.5);
    EXPECT_TRUE(colourNear(empty, bfcMid, kCurrent));
    EXPECT_NEAR(view.vertices()[2].x(), 95 + 0.9749 * 55, 1e-3);
    EXPECT_EQ(view.tab(), QStringList(7, ""));
    view.setIsDraw(0), view.setIsDrawTwo(1);
    EXPECT_TRUE(colourNear(render(view), bfcMid, kEarlier));
    view.setIsDraw(1);

    view.setR(std::nanf(""));
    view.setTabAry({"x", "", "-5", "1e9", "nan", "99999999999", " 7"});
    view.setData(record({"", "|", "abc", "1|2|3", "|nan", "|-2147483648", "|99999999999999"}));
    view.setData2(OCMCustomerComment());
    render(view, QSize(10, 10));
    EXPECT_EQ(view.r(), 55);
    EXPECT_EQ(view.tab(), QStringList({"", "", "", "2", "nan", "-2147483648", "99999999999999"}));
    EXPECT_EQ(view.tab2(), QStringList(7, ""));
    for (const QPointF &v : view.vertices()) EXPECT_TRUE(std::isfinite(v.x()) && std::isfinite(v.y()));
    // Far out of range stays far out, at a distance drawing can still take.
    for (int item : {5, 6}) {
        const QPointF d = view.vertices()[item] - QPointF(95, 95);
        EXPECT_NEAR(std::hypot(d.x(), d.y()) / (55.0 * cvx::kReadLimit / 100), 1, 1e-3) << item;
    }
}
