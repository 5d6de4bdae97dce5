#include <gtest/gtest.h>

#include "link/UsbManager.h"
#include "records/SettingsFixture.h"
#include "records/UsbUtils.h"

namespace {

void writeMode(const char *mode) {
    settingsfixture::installText("ModeSetting.xml", QStringLiteral("<DATA><MODE>%1</MODE></DATA>").arg(mode));
}

TEST(UsbUtilsModeTest, ModeIsReadOnceAndKeptUntilTheCacheIsCleared) {
    UsbManager::resetSharedForTesting();
    UsbManager &session = UsbManager::sharedUsbManager();
    EXPECT_EQ(UsbUtils::isHaveMODE(), 0);  // no file yet: 0 is kept all the same
    writeMode(" 3 ");
    EXPECT_EQ(UsbUtils::isHaveMODE(), 0);
    session.setMode(-1);
    EXPECT_EQ(UsbUtils::isHaveMODE(), 3);
    EXPECT_EQ(session.mode(), 3);
    writeMode("5");
    EXPECT_EQ(UsbUtils::isHaveMODE(), 3);
    session.setMode(-1);
    EXPECT_EQ(UsbUtils::isHaveMODE(), 5);
    UsbManager::resetSharedForTesting();
}

}  // namespace
