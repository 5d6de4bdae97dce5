#pragma once

#include <QDateTime>

#include <functional>

namespace cvx {

// The present moment as the traffic logs see it. Tests put a fixed or stepping clock in
// its place to cross midnight or reach a purge date; an empty function restores the system
// clock. Any thread.
class LogClock {
public:
    static QDateTime now();
    // No provider is set: now() is the system's clock.
    static bool isSystemClock();
    static void setNowProvider(std::function<QDateTime()> provider);
};

}  // namespace cvx
