#include <gtest/gtest.h>

#include <QTest>

#include "datamanage/ManagerMainController.h"
#include "platform/NotificationCenter.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/TYWindow.h"

namespace {

TEST(ManagerMainControllerTest, BackClosesTheWindowAndReturnsToTheMainMenu) {
    TYWindow mainWindow;
    mainWindow.makeKeyAndOrderFront();
    int backs = 0;
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    const auto id = center.addObserver("BackMainMenuObject", [&](const cvx::Notification &) { ++backs; });

    ManagerMainController controller;
    controller.window()->setLastWindow(&mainWindow);
    controller.showWindow();
    mainWindow.orderOut();
    EXPECT_EQ(controller.window()->objectName(), "ManagerMainController");
    EXPECT_EQ(controller.window()->size(), QSize(960, 720));
    EXPECT_TRUE(controller.zbbtime()->isRunning());

    QTest::mouseClick(controller.backButton(), Qt::LeftButton);

    EXPECT_EQ(backs, 1);
    EXPECT_FALSE(controller.zbbtime()->isRunning());
    EXPECT_FALSE(controller.window()->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    center.removeObserver(id);
}

}  // namespace
