#include <gtest/gtest.h>

#include <QPointer>
#include <QTest>

#include "KitSampleController.h"
#include "shell/kit/TYWindowController.h"
#include "shell/kit/WindowList.h"

namespace {

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The main menu's window: the first work window of the application.
struct MainWindow {
    MainWindow() {
        window.move(100, 80);
        window.makeKeyAndOrderFront();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    TYWindow window;
};

TEST(WindowKit, NewWindowOpensAtTheFirstWindowsOrigin) {
    MainWindow main;
    KitSampleController con;
    EXPECT_EQ(con.window()->pos(), QPoint(100, 80));
    EXPECT_EQ(con.window()->size(), QSize(960, 720));
    EXPECT_EQ(con.window()->objectName(), "KitSampleController");
    EXPECT_TRUE(con.window()->windowFlags() & Qt::FramelessWindowHint);
}

TEST(WindowKit, DraggingOneWindowMovesTheOthersAndTheFirst) {
    MainWindow main;
    KitSampleController a, b, c;
    for (auto *con : {&a, &b, &c}) con->window()->setLastWindow(&main.window);
    a.showWindow();
    b.window();  // loaded but never shown
    c.showWindow();
    c.window()->orderOut();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(a.window()));

    // Drag a's background with the mouse.
    QWidget *background = a.ui.background;
    QTest::mousePress(background, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(background, QPoint(60, 40));
    QTest::mouseRelease(background, Qt::LeftButton, {}, QPoint(60, 40));
    settle();

    QPoint moved = a.window()->pos();
    ASSERT_NE(moved, QPoint(100, 80));
    for (TYWindow *w : {&main.window, b.window(), c.window()}) {
        EXPECT_EQ(w->pos(), moved);
        EXPECT_EQ(w->size(), QSize(960, 720));
    }

    // A window that is not a work window moves alone.
    QWidget panel;
    panel.show();
    panel.move(5, 5);
    settle();
    EXPECT_EQ(main.window.pos(), moved);
}

TEST(WindowKit, ControllerThatIsClosedOrGoneNoLongerFollows) {
    MainWindow main;
    KitSampleController stays, closed;
    auto *gone = new KitSampleController;
    stays.showWindow();
    closed.showWindow();
    QPointer<TYWindow> goneWindow = gone->window();
    gone->window()->makeKeyAndOrderFront();
    delete gone;
    closed.close();
    EXPECT_TRUE(closed.window()->isVisible());  // close() of the controller leaves its window open

    stays.window()->move(300, 200);
    settle();
    EXPECT_EQ(main.window.pos(), QPoint(300, 200));
    EXPECT_EQ(closed.window()->pos(), QPoint(100, 80));
    EXPECT_TRUE(goneWindow.isNull());
}

TEST(WindowKit, ClosingBringsBackTheLastWindow) {
    MainWindow main;
    KitSampleController first, second;
    first.window()->setLastWindow(&main.window);
    first.showWindow();
    main.window.orderOut();
    second.window()->setLastWindow(first.window());
    second.showWindow();
    first.window()->orderOut();
    EXPECT_EQ(kit::keyWindow(), second.window());

    second.window()->close();
    EXPECT_EQ(second.willCloseCount, 1);
    EXPECT_FALSE(second.window()->isVisible());
    EXPECT_TRUE(first.window()->isVisible());
    EXPECT_EQ(kit::keyWindow(), first.window());
    EXPECT_FALSE(second.ui.zbbtime->isRunning());

    first.window()->close();
    EXPECT_TRUE(main.window.isVisible());
    EXPECT_EQ(kit::keyWindow(), &main.window);
}

TEST(WindowKit, ControllerCanRefuseToClose) {
    MainWindow main;
    KitSampleController busy;
    busy.window()->setLastWindow(&main.window);
    busy.showWindow();
    main.window.orderOut();

    busy.refusesClose = true;
    EXPECT_FALSE(busy.window()->close());
    EXPECT_EQ(busy.willCloseCount, 0);
    EXPECT_TRUE(busy.window()->isVisible());
    EXPECT_FALSE(main.window.isVisible());

    busy.refusesClose = false;
    EXPECT_TRUE(busy.window()->close());
    EXPECT_EQ(busy.willCloseCount, 1);
    EXPECT_TRUE(main.window.isVisible());
}

TEST(WindowKit, KeyWindowIsTheFrontMostVisibleWorkWindow) {
    EXPECT_EQ(kit::keyWindow(), nullptr);
    MainWindow main;
    KitSampleController con;
    EXPECT_EQ(kit::keyWindow(), &main.window);  // loading alone does not bring it forward
    con.showWindow();
    EXPECT_EQ(kit::keyWindow(), con.window());
    main.window.makeKeyAndOrderFront();
    EXPECT_EQ(kit::keyWindow(), &main.window);
    main.window.orderOut();
    EXPECT_EQ(kit::keyWindow(), con.window());
    EXPECT_EQ(kit::applicationWindows(), (QList<TYWindow *>{&main.window, con.window()}));
}

}  // namespace
