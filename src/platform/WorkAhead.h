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

// Does a piece of work for each of `count` items on every core, a few items ahead of the
// caller, who takes the results one by one in item order. Only the items ahead are held, so
// memory does not grow with the count. The work must not touch what the caller uses meanwhile;
// it is handed the result of an earlier item to fill anew.
template <typename Result>
class WorkAhead {
public:
    using Work = std::function<void(qsizetype index, Result &result)>;

    WorkAhead(qsizetype count, Work work)
        : count_(count), work_(std::move(work)), limit_(4 * std::max(1, pool_.maxThreadCount())) {}
    // Waits for the work under way; its results are dropped.
    ~WorkAhead() { pool_.waitForDone(); }
    WorkAhead(const WorkAhead &) = delete;
    WorkAhead &operator=(const WorkAhead &) = delete;

    // The result of the next item, once its work is done; valid until the next call. At most
    // `count` calls.
    Result &next() {
        // A slot is taken again rather than freed: its worker may still be leaving it.
        if (current_) spare_.push_back(std::move(current_));
        fill();
        current_ = std::move(ahead_.front());
        ahead_.pop_front();
        fill();
        current_->ready.acquire();
        return current_->result;
    }

private:
    struct Slot {
        Result result;
        std::binary_semaphore ready{0};
    };

    void fill() {
        for (; started_ < count_ && qsizetype(ahead_.size()) < limit_; ++started_) {
            std::unique_ptr<Slot> slot;
            if (spare_.empty()) {
                slot = std::make_unique<Slot>();
            } else {
                slot = std::move(spare_.back());
                spare_.pop_back();
            }
            pool_.start([this, item = slot.get(), index = started_] {
                work_(index, item->result);
                item->ready.release();
            });
            ahead_.push_back(std::move(slot));
        }
    }

    // The pool comes first so that it is made before the limit is taken from it, and the
    // destructor waits for it before the slots go.
    QThreadPool pool_;
    const qsizetype count_;
    const Work work_;
    const qsizetype limit_;
    qsizetype started_ = 0;
    std::deque<std::unique_ptr<Slot>> ahead_;
    std::unique_ptr<Slot> current_;
    std::vector<std::unique_ptr<Slot>> spare_;
};

}  // namespace cvx
