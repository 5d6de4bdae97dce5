#include "shell/kit/BBTime.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "records/BBInitDatas.h"
#include "shell/kit/KitFont.h"

namespace {

BBTime::TimeSource &timeSource() {
    static BBTime::TimeSource source;
    return source;
}

QDateTime now() {
    return timeSource() ? timeSource()() : QDateTime::currentDateTime();
}

QString twoDigits(int value) {
    return QString::number(value).rightJustified(2, u'0');
}

}  // namespace

BBTime::BBTime(QWidget *parent) : QWidget(parent) {
    timeLabel_ = new QLabel(this);
    timeLabel_->setAlignment(Qt::AlignCenter);
    timeLabel_->setFont(kit::appFont(28));
    timeLabel_->setTextInteractionFlags(Qt::NoTextInteraction);
    timeLabel_->setStyleSheet(QStringLiteral("color: black; background: transparent;"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(timeLabel_);
    zstart();
}

BBTime::~BBTime() {
    zstop();
}

void BBTime::setTime() {
    timeStr_ = timeText(now());
    timeLabel_->setText(timeStr_);
}

void BBTime::zstart() {
    setTime();
    // Without this, each restart would leave one more timer ticking for good.
    zstop();
    timez_ = new QTimer(this);
    connect(timez_, &QTimer::timeout, this, &BBTime::setTime);
    timez_->start(1000);
}

void BBTime::zstop() {
    if (timez_) {
        timez_->stop();
        timez_->deleteLater();
        timez_ = nullptr;
    }
}

bool BBTime::isRunning() const {
    return timez_ && timez_->isActive();
}

QString BBTime::timeText(const QDateTime &moment) {
    static const char *const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    cvx::DateComponents d = BBInitDatas::getCalendar().components(moment);
    if (d.weekday < 1 || d.weekday > 7) return QString();
    return QStringLiteral("%1.%2.%3 %4 %5:%6")
        .arg(d.year)
        .arg(twoDigits(d.month), twoDigits(d.day), QLatin1String(kWeekdays[d.weekday - 1]), twoDigits(d.hour),
             twoDigits(d.minute));
}

void BBTime::setTimeSource(TimeSource source) {
    timeSource() = std::move(source);
}
