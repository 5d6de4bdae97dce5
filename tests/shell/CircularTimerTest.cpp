// The countdown circle: counts, end reports and the USB time-out wait, on a hand-moved clock.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtMath>

#include "ManualCountdownClock.h"
#include "link/LinkNotifications.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "shell/CircularTimer.h"

using shelltest::ManualCountdownClock;

namespace {

void writeTimeout(const QString &text) {
    const QString folder = cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/USBSetting.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral(
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <Timeout>%1</Timeout>\n</DATA>\n")
                   .arg(text)
                   .toUtf8());
}

void announceData() {
    cvx::NotificationCenter::defaultCenter().postNotificationName(usblink::kTestDataSaved);
}

class CircularTimerTest : public testing::Test {
protected:
    CircularTimerTest() {
        circle = std::make_unique<CircularTimer>(
            QPointF(10, 10), 120.0f, 100.0f, QColor::fromRgbF(0.192f, 0.192f, 0.192f),
            QColor::fromRgbF(0.545f, 0.776f, 0.149f), 0, 300, [this] { starts.append(clock.now()); },
            [this](qint64 n) {
                counts.append({clock.now(), n});
            },
            [this](bool arrived) {
                ends.append({clock.now(), arrived});
            });
    }

    void begin() {
        circle->setup();
        circle->startRun();
    }
    QList<qint64> countValues() const {
        QList<qint64> values;
        for (const auto &c : counts) values.append(c.second);
        return values;
    }

    ManualCountdownClock clock;
    std::unique_ptr<CircularTimer> circle;
    QList<qint64> starts;
    QList<QPair<qint64, qint64>> counts;  // (ms, count)
    QList<QPair<qint64, bool>> ends;      // (ms, data arrived)
};

TEST_F(CircularTimerTest, FullRunCountsEverySecondAndReportsTheEndAfterTheConfiguredTimeout) {
    const struct {
        const char *timeout;  // null: no settings file
        qint64 waitSeconds;
    } cases[] = {{nullptr, 10}, {"15500", 15}, {"999", 10}, {"60000", 60}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.timeout ? c.timeout : "no file");
        if (c.timeout) writeTimeout(QString::fromLatin1(c.timeout));
        counts.clear();
        ends.clear();
        starts.clear();
        const qint64 t0 = clock.now();
        begin();
        EXPECT_EQ(starts, QList<qint64>{t0});
        clock.advanceSeconds(298);
        ASSERT_EQ(counts.size(), 299);
        for (int i = 0; i < 299; ++i) {
            EXPECT_EQ(counts[i].second, i + 1);
            EXPECT_EQ(counts[i].first - t0, i * 1000);
        }
        EXPECT_TRUE(circle->running());

        clock.advanceSeconds(1);  // 299 s: the run completes and reports the final count once more
        EXPECT_FALSE(circle->running());
        EXPECT_FALSE(circle->isTicking());
        EXPECT_EQ(counts.last(), qMakePair(t0 + 299000, qint64(300)));
        EXPECT_TRUE(ends.isEmpty());

        clock.advance(c.waitSeconds * 1000 - 1);
        EXPECT_TRUE(ends.isEmpty());
        clock.advance(1);
        EXPECT_EQ(ends, (QList<QPair<qint64, bool>>{{t0 + (299 + c.waitSeconds) * 1000, false}}));
        EXPECT_EQ(clock.delays().last(), c.waitSeconds * 1000);
        circle->reset();
    }
}

TEST_F(CircularTimerTest, AnnouncementEndsTheRunAtOnceOrTurnsTheLateReportIntoSuccess) {
    // During the run: no further counts, the ring keeps its share, the end comes at once.
    begin();
    clock.advanceSeconds(120);
    announceData();
    EXPECT_EQ(ends, (QList<QPair<qint64, bool>>{{120000, true}}));
    EXPECT_EQ(countValues().last(), 121);
    circle->updatePercentageCompleted();
    EXPECT_NEAR(circle->percentageCompleted(), 122.0 / 300 * 100, 1e-4);
    clock.advanceSeconds(400);
    EXPECT_EQ(ends.size(), 1);
    EXPECT_EQ(counts.size(), 121);
    EXPECT_FALSE(circle->isTestDataSaved());

    // Three seconds into the time-out wait: the report still waits for the end, with success.
    circle->reset();
    ends.clear();
    begin();
    clock.advanceSeconds(299);
    clock.advanceSeconds(3);
    announceData();
    EXPECT_TRUE(ends.isEmpty());
    clock.advanceSeconds(7);
    EXPECT_EQ(ends.size(), 1);
    EXPECT_TRUE(ends.value(0).second);
    EXPECT_FALSE(circle->isTestDataSaved());
}

TEST_F(CircularTimerTest, ResetAndFinish) {
    // reset during a run: no report, and a new run starts again at count 1.
    begin();
    clock.advanceSeconds(50);
    circle->reset();
    EXPECT_EQ(circle->initialNum(), 0);
    EXPECT_FALSE(circle->isTicking());
    clock.advanceSeconds(400);
    EXPECT_TRUE(ends.isEmpty());
    counts.clear();
    begin();
    EXPECT_EQ(countValues(), QList<qint64>{1});
    EXPECT_EQ(starts.size(), 2);

    // finishCircle during a run: full ring, the final count once, the late end report.
    circle->finishCircle();
    EXPECT_EQ(countValues(), (QList<qint64>{1, 300}));
    circle->updatePercentageCompleted();
    EXPECT_EQ(circle->percentageCompleted(), 100.0f);
    clock.advanceSeconds(10);
    EXPECT_EQ(ends.size(), 1);
    EXPECT_FALSE(ends.value(0).second);

    // finishCircle while idle: full ring, nothing reported.
    counts.clear();
    circle->finishCircle();
    clock.advanceSeconds(60);
    EXPECT_TRUE(counts.isEmpty());
    EXPECT_EQ(ends.size(), 1);
}

TEST_F(CircularTimerTest, NothingIsReportedAfterRemovalOrForAnEarlierRun) {
    // A late report of a run that was reset and started again stays silent.
    begin();
    circle->finishCircle();
    circle->reset();
    begin();
    clock.advanceSeconds(10);
    EXPECT_TRUE(ends.isEmpty());
    EXPECT_TRUE(circle->running());

    // Removed: no count, no end, no announcement taken.
    circle->finishCircle();
    const qsizetype before = counts.size();
    circle->removeCircularTimer();
    announceData();
    EXPECT_FALSE(circle->isTestDataSaved());
    clock.advanceSeconds(20);
    begin();
    clock.advanceSeconds(400);
    EXPECT_EQ(counts.size(), before);
    EXPECT_TRUE(ends.isEmpty());
}

TEST_F(CircularTimerTest, MarksStandOnThePhaseBoundaries) {
    const CircularTimer::Geometry g = circle->geometry();
    EXPECT_EQ(circle->size(), QSize(260, 260));
    EXPECT_FLOAT_EQ(g.tenMark, 78.0f);    // count 10 of 300
    EXPECT_FLOAT_EQ(g.fortyMark, 42.0f);  // count 40 of 300
    EXPECT_FLOAT_EQ(g.midRadius, 110.0f);

    // The marks reach 4 beyond the ring, where nothing else is drawn.
    begin();
    clock.advanceSeconds(100);
    const QImage image = circle->grab().toImage();
    auto colourAt = [&](float degrees) {
        const qreal r = circle->radius() + 2;
        const qreal a = qDegreesToRadians(degrees - 0.25);
        return image.pixelColor(QPoint(qFloor(130 + r * qCos(a)), qFloor(130 - r * qSin(a))));
    };
    // The marks are half a degree wide, so their pixels are smoothed.
    auto isBlackish = [](const QColor &c) { return c.alpha() > 100 && c.value() < 110; };
    auto isReddish = [](const QColor &c) { return c.alpha() > 100 && c.red() > 150 && c.green() < 110; };
    EXPECT_TRUE(isBlackish(colourAt(90)));
    EXPECT_TRUE(isBlackish(colourAt(78)));
    EXPECT_TRUE(isBlackish(colourAt(42)));
    EXPECT_TRUE(isReddish(colourAt(CircularTimer::countAngle(circle->initialNum(), 300))));
    EXPECT_EQ(colourAt(60).alpha(), 0);
    EXPECT_EQ(colourAt(20).alpha(), 0);

    // Inside the ring: filled clockwise from the top up to the count.
    auto ringAt = [&](float degrees) {
        const qreal a = qDegreesToRadians(degrees);
        return image.pixelColor(QPoint(qFloor(130 + 110 * qCos(a)), qFloor(130 - 110 * qSin(a)))).rgba();
    };
    EXPECT_EQ(ringAt(60), circle->activeCircleStrokeColor().rgba());
    EXPECT_EQ(ringAt(-20), circle->activeCircleStrokeColor().rgba());
    EXPECT_EQ(ringAt(-45), circle->circleStrokeColor().rgba());
    EXPECT_EQ(ringAt(180), circle->circleStrokeColor().rgba());
}

}  // namespace
