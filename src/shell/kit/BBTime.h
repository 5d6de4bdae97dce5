#pragma once

#include <QDateTime>
#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QTimer;

// The clock of every work window: "2026.12.06 Sun 09:05", renewed once a second from the
// moment it is made until zstop(). A window stops its clock before it hides or closes and
// starts it again (zstart) when it comes back to the front.
class BBTime : public QWidget {
    Q_OBJECT
public:
    using TimeSource = std::function<QDateTime()>;

    explicit BBTime(QWidget *parent = nullptr);
    ~BBTime() override;

    // Shows the time at once and renews it every second; a running timer is replaced.
    void zstart();
    void zstop();
    bool isRunning() const;
    // Takes the current moment and shows it.
    void setTime();

    QString timeStr() const { return timeStr_; }
    QLabel *timeLabel() const { return timeLabel_; }

    // The text for a moment, in the application calendar.
    static QString timeText(const QDateTime &moment);
    // Where every clock takes "now" from; an empty source restores the system clock.
    static void setTimeSource(TimeSource source);

private:
    QLabel *timeLabel_ = nullptr;
    QPointer<QTimer> timez_;
    QString timeStr_;
};
