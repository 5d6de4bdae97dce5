#pragma once

#include <QThreadPool>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <semaphore>
#include <utility>
#include <vector>

namespace cvx {

// Does a piece of work for each of `count` items on every core, some items ahead of the caller,
// who takes the results one by one in item order. Only the items ahead are held, so memory does
// not grow with the count. The work must not touch what the caller uses meanwhile; it is handed
// the result of an earlier item to fill anew.
//
// Items go to the threads in runs, so that handing them over costs little beside the work; with
// a single core the caller does the work itself when it asks for the result.
template <typename Result>
class WorkAhead {
public:
    using Work = std::function<void(qsizetype index, Result &result)>;

    WorkAhead(qsizetype count, Work work)
        : count_(count),
          work_(std::move(work)),
          limit_(pool_.maxThreadCount() > 1 ? 2 * pool_.maxThreadCount() : 0) {}
    // Waits for the work under way; its results are dropped.
    ~WorkAhead() { pool_.waitForDone(); }
    WorkAhead(const WorkAhead &) = delete;
    WorkAhead &operator=(const WorkAhead &) = delete;

    // The result of the next item, once its work is done; valid until the next call. At most
    // `count` calls.
    Result &next() {
        if (limit_ == 0) {
            if (!current_) current_ = std::make_unique<Run>();
            work_(started_++, current_->results[0]);
            return current_->results[0];
        }
        if (!current_ || taken_ == current_->size) {
            // A run is taken again rather than freed: its worker may still be leaving it.
            if (current_) spare_.push_back(std::move(current_));
            fill();
            current_ = std::move(ahead_.front());
            ahead_.pop_front();
            fill();
            current_->ready.acquire();
            taken_ = 0;
        }
        return current_->results[taken_++];
    }

private:
    static constexpr qsizetype kRun = 8;

    struct Run {
        Result results[kRun];
        qsizetype size = 0;
        std::binary_semaphore ready{0};
    };

    void fill() {
        while (started_ < count_ && qsizetype(ahead_.size()) < limit_) {
            std::unique_ptr<Run> run;
            if (spare_.empty()) {
                run = std::make_unique<Run>();
            } else {
                run = std::move(spare_.back());
                spare_.pop_back();
            }
            run->size = std::min(kRun, count_ - started_);
            pool_.start([this, run = run.get(), first = started_] {
                for (qsizetype i = 0; i < run->size; ++i) work_(first + i, run->results[i]);
                run->ready.release();
            });
            started_ += run->size;
            ahead_.push_back(std::move(run));
        }
    }

    // The pool comes first so that it is made before the limit is taken from it, and the
    // destructor waits for it before the runs go.
    QThreadPool pool_;
    const qsizetype count_;
    const Work work_;
    const qsizetype limit_;
    qsizetype started_ = 0;
    qsizetype taken_ = 0;
    std::deque<std::unique_ptr<Run>> ahead_;
    std::unique_ptr<Run> current_;
    std::vector<std::unique_ptr<Run>> spare_;
};

}  // namespace cvx
