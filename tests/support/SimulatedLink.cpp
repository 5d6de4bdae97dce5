#include "support/SimulatedLink.h"

#include <gtest/gtest.h>

#include "link/UsbManager.h"
#include "platform/HidManager.h"

namespace cvxtest {

SimulatedLink::SimulatedLink(bool attach) {
    UsbManager::sharedUsbManager().connectHID();
    if (!attach) return;
    sim.attach();
    EXPECT_TRUE(sim.run());
}

SimulatedLink::~SimulatedLink() {
    sim.detach();
    cvx::HidManager::processPendingEvents();
    UsbManager::resetSharedForTesting();
}

}  // namespace cvxtest
