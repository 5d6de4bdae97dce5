#include "link/LogClock.h"

#include <mutex>

namespace cvx {

namespace {

std::mutex &providerMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<QDateTime()> &provider() {
    static std::function<QDateTime()> fn;
    return fn;
}

}  // namespace

QDateTime LogClock::now() {
    std::function<QDateTime()> fn;
    {
        std::lock_guard lock(providerMutex());
        fn = provider();
    }
    return fn ? fn() : QDateTime::currentDateTime();
}

bool LogClock::isSystemClock() {
    std::lock_guard lock(providerMutex());
    return !provider();
}

void LogClock::setNowProvider(std::function<QDateTime()> fn) {
    std::lock_guard lock(providerMutex());
    provider() = std::move(fn);
}

}  // namespace cvx
