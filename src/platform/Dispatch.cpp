#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace cvx {

namespace {

QObject *targetFor(QObject *context) {
    return context ? context : QCoreApplication::instance();
}

}  // namespace

void Dispatch::mainAsync(Block block) {
    mainAsync(nullptr, std::move(block));
}

void Dispatch::mainAsync(QObject *context, Block block) {
    QObject *target = targetFor(context);
    if (!target || !block) return;
    // A queued call posted to the target is discarded with the target's pending events.
    QMetaObject::invokeMethod(target, std::move(block), Qt::QueuedConnection);
}

void Dispatch::mainAfter(int msec, Block block) {
    mainAfter(msec, nullptr, std::move(block));
}

void Dispatch::mainAfter(int msec, QObject *context, Block block) {
    QObject *target = targetFor(context);
    if (!target || !block) return;
    // The timer is started from the target's own thread, which owns an event loop; a worker
    // thread that asks for the delay may have none.
    auto start = [msec, target, block = std::move(block)]() mutable {
        QTimer::singleShot(std::max(msec, 0), target, std::move(block));
    };
    if (QThread::currentThread() == target->thread())
        start();
    else
        QMetaObject::invokeMethod(target, std::move(start), Qt::QueuedConnection);
}

void Dispatch::globalAsync(Block block) {
    if (block) globalPool().start(std::move(block));
}

QThreadPool &Dispatch::globalPool() {
    // At least four workers, so that a few long file jobs cannot hold every other job back on
    // a two-core machine. Destroyed at exit after waiting for running jobs, so that none is cut
    // off half way through its files.
    struct GlobalPool : QThreadPool {
        GlobalPool() { setMaxThreadCount(std::max(4, QThread::idealThreadCount())); }
    };
    static GlobalPool pool;
    return pool;
}

bool Dispatch::isMainThread() {
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

SerialQueue::SerialQueue() {
    pool_.setMaxThreadCount(1);
}

SerialQueue::~SerialQueue() {
    pool_.waitForDone();
}

void SerialQueue::async(Dispatch::Block block) {
    if (block) pool_.start(std::move(block));
}

void SerialQueue::waitForIdle() {
    pool_.waitForDone();
}

}  // namespace cvx
