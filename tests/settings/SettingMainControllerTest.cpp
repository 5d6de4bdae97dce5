#include <gtest/gtest.h>

#include <QDir>
#include <QTest>

#include "platform/NotificationCenter.h"
#include "settings/SettingMainController.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/WindowList.h"

namespace {

TEST(SettingMainController, BackStopsTheClockPostsAndBringsTheLastWindowBack) {
    TYWindow mainWindow;
    mainWindow.makeKeyAndOrderFront();
    QObject owner;
    QStringList posted;
    for (const char *name : {"BackMainMenuObjectFromSet", "BackMainMenuObject"})
        cvx::NotificationCenter::defaultCenter().addObserver(
            &owner, QString::fromLatin1(name),
            [&posted](const cvx::Notification &n) { posted.append(n.name); });

    SettingMainController con;
    con.window()->setLastWindow(&mainWindow);
    con.setRootWind(&mainWindow);
    con.showWindow();
    mainWindow.orderOut();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(con.window()));
    EXPECT_EQ(con.rootWind(), &mainWindow);
    EXPECT_TRUE(con.zbbtime()->isRunning());
    QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) con.window()->grab().save(QDir(dir).filePath(QStringLiteral("setting_main.png")));

    QTest::mouseClick(con.backButton(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(posted, QStringList{"BackMainMenuObjectFromSet"});
    EXPECT_FALSE(con.zbbtime()->isRunning());
    EXPECT_FALSE(con.window()->isVisible());
    EXPECT_EQ(kit::keyWindow(), &mainWindow);
}

}  // namespace
