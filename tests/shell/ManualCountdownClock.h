#pragma once

// A countdown clock that only moves when the test says so: a 300-second measurement runs in
// no time, and every tick and delayed job runs at its exact virtual moment.

#include <QList>
#include <QPointer>

#include <algorithm>
#include <memory>

#include "shell/CircularTimer.h"

namespace shelltest {

class ManualCountdownClock : public CountdownClock {
public:
    ManualCountdownClock() { CountdownClock::setCurrent(this); }
    ~ManualCountdownClock() override { CountdownClock::setCurrent(nullptr); }

    std::unique_ptr<Tick> repeat(int msec, Job tick) override {
        auto entry =
            std::make_shared<Entry>(Entry{now_ + msec, msec, nextSeq_++, true, std::move(tick), {}, false});
        entries_.append(entry);
        return std::make_unique<Handle>(entry);
    }

    void after(int msec, QObject *context, Job job) override {
        delays_.append(msec);
        entries_.append(
            std::make_shared<Entry>(Entry{now_ + msec, 0, nextSeq_++, true, std::move(job), context, true}));
    }

    qint64 now() const { return now_; }
    // Milliseconds asked for by every after() so far.
    QList<int> delays() const { return delays_; }
    int ticking() const {
        return int(std::count_if(entries_.begin(), entries_.end(),
                                 [](const auto &e) { return e->alive && e->interval > 0; }));
    }

    // Moves time on, running every tick and job that falls due, in time order.
    void advance(qint64 msec) {
        const qint64 target = now_ + msec;
        while (auto next = nextDue(target)) {
            now_ = next->due;
            if (next->interval > 0) {
                next->due += next->interval;
            } else {
                next->alive = false;
                if (next->hasContext && !next->context) continue;
            }
            Job job = next->job;
            job();
        }
        now_ = target;
    }
    void advanceSeconds(qint64 seconds) { advance(seconds * 1000); }

private:
    struct Entry {
        qint64 due;
        int interval;  // 0 for a one-off job
        quint64 seq;
        bool alive;
        Job job;
        QPointer<QObject> context;
        bool hasContext;
    };
    class Handle : public Tick {
    public:
        explicit Handle(std::shared_ptr<Entry> entry) : entry_(std::move(entry)) {}
        ~Handle() override { entry_->alive = false; }

    private:
        std::shared_ptr<Entry> entry_;
    };

    std::shared_ptr<Entry> nextDue(qint64 target) {
        entries_.removeIf([](const auto &e) { return !e->alive; });
        std::shared_ptr<Entry> best;
        for (const auto &e : entries_)
            if (e->due <= target &&
                (!best || e->due < best->due || (e->due == best->due && e->seq < best->seq)))
                best = e;
        return best;
    }

    qint64 now_ = 0;
    quint64 nextSeq_ = 0;
    QList<std::shared_ptr<Entry>> entries_;
    QList<int> delays_;
};

}  // namespace shelltest
