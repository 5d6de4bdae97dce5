#pragma once

// Shared by the HID manager and its backends; not for use outside src/platform.

#include <QLoggingCategory>

#include <functional>

namespace cvx {

Q_DECLARE_LOGGING_CATEGORY(lcHid)

// Runs fn on the main thread through the event loop. Callable from any thread; every
// HID callback goes this way so that order is kept and no callback runs inside a
// backend's own handler.
void hidPost(std::function<void()> fn);

}  // namespace cvx
