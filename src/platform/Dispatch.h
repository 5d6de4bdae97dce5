#pragma once

#include <QThreadPool>
#include <functional>
#include <mutex>
#include <utility>

class QObject;

namespace cvx {

// Queues for work that must run later, on the main thread, or away from it.
class Dispatch {
public:
    using Block = std::function<void()>;

    // Runs the block on the main thread's event loop once the current work is done. Callable
    // from any thread; without an application object the block is dropped.
    static void mainAsync(Block block);
    // The same, but dropped when `context` is destroyed first; the block runs in the context's
    // thread, the main thread for every widget.
    static void mainAsync(QObject *context, Block block);
    // Runs the block on the main loop after `msec` milliseconds; with a context, it is dropped
    // when the context is destroyed first, which is how a delayed block is cancelled.
    static void mainAfter(int msec, Block block);
    static void mainAfter(int msec, QObject *context, Block block);

    // Runs the block on a worker thread, concurrently with other global blocks.
    static void globalAsync(Block block);
    // The workers behind globalAsync(); waitForDone() on it lets a caller join them.
    static QThreadPool &globalPool();

    static bool isMainThread();

    // Runs `f` exactly once per flag, even when several threads arrive together.
    template <typename F>
    static void once(std::once_flag &flag, F &&f) {
        std::call_once(flag, std::forward<F>(f));
    }
};

// Blocks run one at a time, in the order queued, on a worker thread: for work on shared files
// that must not overlap, such as consecutive saves of one settings file.
class SerialQueue {
public:
    SerialQueue();
    // Runs what is still queued before returning.
    ~SerialQueue();
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    void async(Dispatch::Block block);
    // Returns once every block queued so far has run.
    void waitForIdle();

private:
    QThreadPool pool_;
};

}  // namespace cvx
