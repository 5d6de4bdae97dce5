#pragma once

#include <QColor>
#include <QPointF>
#include <QWidget>

#include <functional>
#include <memory>

#include "platform/NotificationCenter.h"

// Where the countdown takes its time from: a repeating tick and a one-off delayed job, both
// on the main thread. The system clock unless another one is put in (tests move a clock by
// hand, so that a 300-second run takes no time).
class CountdownClock {
public:
    using Job = std::function<void()>;

    // Deleting it stops its tick; no tick runs after that.
    class Tick {
    public:
        virtual ~Tick() = default;
    };

    virtual ~CountdownClock() = default;
    // Runs `tick` every `msec` milliseconds until the returned handle is deleted.
    virtual std::unique_ptr<Tick> repeat(int msec, Job tick) = 0;
    // Runs `job` once after `msec` milliseconds, unless `context` is destroyed first.
    virtual void after(int msec, QObject *context, Job job) = 0;

    // The clock every countdown uses.
    static CountdownClock &current();
    // Another clock for every countdown started from now on; null restores the system clock.
    // The clock must outlive the countdowns that use it.
    static void setCurrent(CountdownClock *clock);
};

// The countdown circle of the measuring window: counts whole seconds from a start count to
// a final count, draws the elapsed share as a ring filling clockwise from the top, and
// reports to its owner once at the start, once per count and once at the end, telling
// whether the instrument's data arrived ("testDataSaved"). When the count runs out without
// the data, the end is reported after the USB time-out of the settings (UsbUtils::timeoutNum).
//
// Owner's order: make it, add it to a view, then per measurement setup() followed at once by
// startRun(); reset() to empty the ring; removeCircularTimer() when done. Main thread only.
class CircularTimer : public QWidget {
    Q_OBJECT
public:
    using StartBlock = std::function<void()>;
    using UpdateBlock = std::function<void(qint64 count)>;
    using EndBlock = std::function<void(bool dataArrived)>;

    // A square of 2 x radius + 20 at `position` in the parent.
    CircularTimer(const QPointF &position, float radius, float internalRadius,
                  const QColor &circleStrokeColor, const QColor &activeCircleStrokeColor, qint64 initialNum,
                  qint64 finalNum, StartBlock startCallback, UpdateBlock updateCallback, EndBlock endCallback,
                  QWidget *parent = nullptr);
    ~CircularTimer() override;

    // Ready for a run: the ring's share 0, not running, a one-second tick scheduled (a tick
    // still scheduled from before is stopped first). The count stays as it is.
    void setup();
    // One count: the first one of a run also counts one up and reports the start.
    void startRun();
    // The tick: one count while the count is below the final count, else the end of the run.
    void updateCircle();
    // Ends a running run (nothing otherwise): with the data reported at once, without it
    // one more count report and the end report after the USB time-out.
    void completeRun();
    // The instrument's data arrived: the running run ends at once; otherwise the next end
    // reports it.
    void testDataSaved();
    // Stops the tick; not running, count 0. No report; an end report already waiting still
    // comes.
    void stop();
    // stop() and an empty ring.
    void reset();
    // Count = final count, full ring, and the end of a running run.
    void finishCircle();
    // No report of any kind from now on; "testDataSaved" no longer observed. The tick is not
    // touched.
    void removeCircularTimer();
    void updatePercentageCompleted();

    float radius() const { return radius_; }
    float interalRadius() const { return interalRadius_; }
    QColor circleStrokeColor() const { return circleStrokeColor_; }
    QColor activeCircleStrokeColor() const { return activeCircleStrokeColor_; }
    qint64 initialNum() const { return initialNum_; }
    void setInitialNum(qint64 value) { initialNum_ = value; }
    qint64 finalNum() const { return finalNum_; }
    void setFinalNum(qint64 value) { finalNum_ = value; }
    float percentageCompleted() const { return percentageCompleted_; }
    bool running() const { return running_; }
    bool isTestDataSaved() const { return isTestDataSaved_; }
    // The one-second tick is scheduled.
    bool isTicking() const { return timer_ != nullptr; }

    // Where the drawing puts things, in degrees counter-clockwise from the positive x axis
    // with y up (90 is the top); arcs run clockwise from their start.
    struct Geometry {
        QPointF centre;
        float ringWidth = 0;     // radius - interalRadius
        float midRadius = 0;     // of the ring's stroke
        float progressEnd = 90;  // end of the filled part, 90 - share x 3.6
        float tenMark = 90;      // the phase boundaries at counts 10 and 40
        float fortyMark = 90;
        float markRadius = 0;  // of the position and phase marks' stroke
        float markWidth = 0;
    };
    Geometry geometry() const;
    // Angle of a count on the ring: 90 - count / finalNum x 360 (90 without a final count).
    static float countAngle(qint64 count, qint64 finalNum);

protected:
    // Hook for a look of its own; empty.
    virtual void customizeAppearance();
    void paintEvent(QPaintEvent *event) override;

private:
    template <typename Block, typename... Args>
    static void call(const Block &block, Args... args);

    float radius_;
    float interalRadius_;
    QColor circleStrokeColor_;
    QColor activeCircleStrokeColor_;
    qint64 initialNum_;
    qint64 finalNum_;
    float percentageCompleted_ = 0;
    bool running_ = false;
    bool isTestDataSaved_ = false;
    StartBlock startBlock_;
    UpdateBlock updateBlock_;
    EndBlock endBlock_;
    std::unique_ptr<CountdownClock::Tick> timer_;
    // Counts the setups, so that a late end report of an earlier run stays silent.
    quint64 runNumber_ = 0;
    cvx::NotificationCenter::ObserverId dataObserver_ = 0;
};
