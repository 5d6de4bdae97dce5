#include "shell/CircularTimer.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include "link/LinkNotifications.h"
#include "platform/Dispatch.h"
#include "records/UsbUtils.h"

namespace {

class SystemTick : public CountdownClock::Tick {
public:
    SystemTick(int msec, CountdownClock::Job tick) : timer_(new QTimer) {
        QObject::connect(timer_, &QTimer::timeout, std::move(tick));
        timer_->start(msec);
    }
    // The tick may be stopped from inside its own timeout.
    ~SystemTick() override {
        timer_->stop();
        timer_->deleteLater();
    }

private:
    QTimer *timer_;
};

class SystemClock : public CountdownClock {
public:
    std::unique_ptr<Tick> repeat(int msec, Job tick) override {
        return std::make_unique<SystemTick>(msec, std::move(tick));
    }
    void after(int msec, QObject *context, Job job) override {
        cvx::Dispatch::mainAfter(msec, context, std::move(job));
    }
};

CountdownClock *installedClock = nullptr;

constexpr int kTickMsec = 1000;
constexpr qint64 kTenMarkCount = 10;
constexpr qint64 kFortyMarkCount = 40;

// An arc of radius r about c from `start` clockwise to `end` (degrees, y up).
void strokeArc(QPainter &painter, const QPointF &c, qreal r, qreal start, qreal end, const QPen &pen) {
    const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
    QPainterPath path;
    path.arcMoveTo(box, start);
    path.arcTo(box, start, end - start);
    painter.strokePath(path, pen);
}

QPen ringPen(const QColor &color, qreal width) {
    QPen pen(color, width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

}  // namespace

CountdownClock &CountdownClock::current() {
    static SystemClock system;
    return installedClock ? *installedClock : system;
}

void CountdownClock::setCurrent(CountdownClock *clock) {
    installedClock = clock;
}

CircularTimer::CircularTimer(const QPointF &position, float radius, float internalRadius,
                             const QColor &circleStrokeColor, const QColor &activeCircleStrokeColor,
                             qint64 initialNum, qint64 finalNum, StartBlock startCallback,
                             UpdateBlock updateCallback, EndBlock endCallback, QWidget *parent)
    : QWidget(parent),
      radius_(radius),
      interalRadius_(internalRadius),
      circleStrokeColor_(circleStrokeColor),
      activeCircleStrokeColor_(activeCircleStrokeColor),
      initialNum_(initialNum),
      finalNum_(finalNum),
      startBlock_(std::move(startCallback)),
      updateBlock_(std::move(updateCallback)),
      endBlock_(std::move(endCallback)) {
    const int side = qMax(0, qRound(2 * radius + 20));
    setGeometry(qRound(position.x()), qRound(position.y()), side, side);
    setAttribute(Qt::WA_TranslucentBackground);
    dataObserver_ = cvx::NotificationCenter::defaultCenter().addObserver(
        this, usblink::kTestDataSaved, [this](const cvx::Notification &) { testDataSaved(); });
}

CircularTimer::~CircularTimer() {
    cvx::NotificationCenter::defaultCenter().removeObserver(this);
}

template <typename Block, typename... Args>
void CircularTimer::call(const Block &block, Args... args) {
    // The owner may drop the callbacks from inside one of them.
    if (Block copy = block) copy(args...);
}

void CircularTimer::customizeAppearance() {}

void CircularTimer::setup() {
    customizeAppearance();
    percentageCompleted_ = 0;
    running_ = false;
    // A second setup must not leave the earlier tick counting along with the new one.
    timer_.reset();
    ++runNumber_;
    timer_ = CountdownClock::current().repeat(kTickMsec, [this] { updateCircle(); });
}

void CircularTimer::startRun() {
    if (!running_) {
        running_ = true;
        ++initialNum_;
        call(startBlock_);
    }
    update();
    call(updateBlock_, initialNum_);
    ++initialNum_;
}

void CircularTimer::updateCircle() {
    if (initialNum_ < finalNum_)
        startRun();
    else
        completeRun();
}

void CircularTimer::completeRun() {
    if (!running_) return;
    running_ = false;
    timer_.reset();
    percentageCompleted_ = 100;
    update();
    if (isTestDataSaved_) {
        isTestDataSaved_ = false;
        call(endBlock_, true);
        return;
    }
    call(updateBlock_, initialNum_);
    const quint64 run = runNumber_;
    CountdownClock::current().after(UsbUtils::timeoutNum() * 1000, this, [this, run] {
        // A run started since then has its own end to report.
        if (run != runNumber_ || !endBlock_) return;
        const bool arrived = isTestDataSaved_;
        isTestDataSaved_ = false;
        call(endBlock_, arrived);
    });
}

void CircularTimer::testDataSaved() {
    isTestDataSaved_ = true;
    completeRun();
}

void CircularTimer::stop() {
    timer_.reset();
    running_ = false;
    initialNum_ = 0;
}

void CircularTimer::reset() {
    stop();
    update();
}

void CircularTimer::finishCircle() {
    initialNum_ = finalNum_;
    update();
    completeRun();
}

void CircularTimer::removeCircularTimer() {
    startBlock_ = nullptr;
    updateBlock_ = nullptr;
    endBlock_ = nullptr;
    isTestDataSaved_ = false;
    cvx::NotificationCenter::defaultCenter().removeObserver(dataObserver_);
    dataObserver_ = 0;
}

void CircularTimer::updatePercentageCompleted() {
    percentageCompleted_ = finalNum_ == 0 ? 0.0f : float(double(initialNum_) / double(finalNum_) * 100.0);
}

float CircularTimer::countAngle(qint64 count, qint64 finalNum) {
    if (finalNum == 0) return 90;
    return float(90.0 - double(count) / double(finalNum) * 360.0);
}

CircularTimer::Geometry CircularTimer::geometry() const {
    Geometry g;
    g.centre = QPointF(width() / 2.0, height() / 2.0);
    g.ringWidth = radius_ - interalRadius_;
    g.midRadius = interalRadius_ + g.ringWidth / 2;
    const float share = finalNum_ == 0 ? 0.0f : float(double(initialNum_) / double(finalNum_) * 100.0);
    g.progressEnd = float(90 - share * 360 / 100);
    g.tenMark = countAngle(kTenMarkCount, finalNum_);
    g.fortyMark = countAngle(kFortyMarkCount, finalNum_);
    g.markRadius = g.midRadius + 4;
    g.markWidth = g.ringWidth + 8;
    return g;
}

void CircularTimer::paintEvent(QPaintEvent *) {
    updatePercentageCompleted();
    const Geometry g = geometry();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    painter.setPen(ringPen(circleStrokeColor_, g.ringWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(g.centre, g.midRadius, g.midRadius);

    strokeArc(painter, g.centre, g.midRadius, 90, g.progressEnd,
              ringPen(activeCircleStrokeColor_, g.ringWidth));

    QPen dashed(QColor::fromRgbF(0.835f, 0.949f, 0.353f), 1);
    dashed.setCapStyle(Qt::FlatCap);
    dashed.setDashPattern({2, 1});
    dashed.setDashOffset(0);
    painter.setPen(dashed);
    const qreal outer = g.ringWidth / 2 + g.midRadius + 8;
    painter.drawEllipse(g.centre, outer, outer);

    strokeArc(painter, g.centre, g.markRadius, g.progressEnd, g.progressEnd - 0.5,
              ringPen(Qt::red, g.markWidth));
    const QPen black = ringPen(Qt::black, g.markWidth);
    strokeArc(painter, g.centre, g.markRadius, 90, 89.5, black);
    strokeArc(painter, g.centre, g.markRadius, g.tenMark, g.tenMark - 0.5, black);
    strokeArc(painter, g.centre, g.markRadius, g.fortyMark, g.fortyMark - 0.5, black);
}
