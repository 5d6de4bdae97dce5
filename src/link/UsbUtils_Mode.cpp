// The data-link mode, read once from the settings and kept by the link's session.
#include "link/UsbManager.h"
#include "records/UsbUtils.h"

std::int32_t UsbUtils::isHaveMODE() {
    UsbManager &session = UsbManager::sharedUsbManager();
    if (session.mode() >= 0) return session.mode();
    const std::int32_t mode = modeSetting();
    session.setMode(mode);
    return mode;
}
