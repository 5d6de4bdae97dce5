#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include "KitSampleController.h"
#include "link/UsbManager.h"
#include "platform/NotificationCenter.h"
#include "shell/BackNotifications.h"
#include "shell/MainMenuObject.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/WindowList.h"

namespace {

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// With CVX_SCREENSHOT_DIR set the picture is also kept there for people to look at.
QImage grabWindow(QWidget *window, const QString &name) {
    QImage image = window->grab().toImage();
    QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
    return image;
}

// A work window that posts its Back notification as it closes, as every real one does.
class BackPostingController : public KitSampleController {
public:
    explicit BackPostingController(QString back) : back_(std::move(back)) {}

protected:
    void windowWillClose() override {
        cvx::NotificationCenter::defaultCenter().postNotificationName(back_);
        KitSampleController::windowWillClose();
    }

private:
    QString back_;
};

struct Button {
    const char *name;
    CustomButton *(MainMenuObject::*button)() const;
    void (MainMenuObject::*setFactory)(MainMenuObject::WindowFactory);
    const char *back;
};

const Button kButtons[] = {
    {"patient entry", &MainMenuObject::testBtn, &MainMenuObject::setOpretionFactory,
     "BackSetMenuObjectFromOperation"},
    {"result review", &MainMenuObject::outputBtn, &MainMenuObject::setOutputFactory,
     "BackMainMenuObjectFromOutput"},
    {"data management", &MainMenuObject::managerBtn, &MainMenuObject::setManagerFactory,
     "BackMainMenuObject"},
    {"settings", &MainMenuObject::settingBtn, &MainMenuObject::setSettingFactory,
     "BackMainMenuObjectFromSet"},
};

class MainMenuTest : public testing::Test {
protected:
    MainMenuTest() {
        menu = std::make_unique<MainMenuObject>();
        menu->setQuitApplication([this] { ++quitCount; });
        menu->setDataLinkImport([this] { ++importCount; });
        for (const Button &b : kButtons) {
            QString back = QString::fromUtf8(b.back);
            (menu.get()->*b.setFactory)([this, back](TYWindow *mainWindow) {
                factoryArgs.append(mainWindow);
                auto *con = new BackPostingController(back);
                made.append(con);
                return con;
            });
        }
        menu->mainWindow()->makeKeyAndOrderFront();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(menu->mainWindow()));
    }
    ~MainMenuTest() override {
        menu.reset();
        settle();
        UsbManager::sharedUsbManager().setMode(-1);
    }

    CustomButton *button(const Button &b) const { return (menu.get()->*b.button)(); }
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 20)); }
    QList<TYWindow *> visibleWindows() const {
        QList<TYWindow *> shown;
        for (TYWindow *w : kit::applicationWindows())
            if (w->isVisible()) shown.append(w);
        return shown;
    }
    QList<QWidget *> panel() const {
        return {menu->bacImg(), menu->messSubImg(), menu->messImg(), menu->okTap(), menu->caBtn()};
    }
    void setDataLinkMode(int mode) {
        QDir().mkpath(QDir::home().filePath(QStringLiteral(".Corvadenix")));
        QFile file(QDir::home().filePath(QStringLiteral(".Corvadenix/ModeSetting.xml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA><MODE>%1</MODE></DATA>\n")
                .arg(mode)
                .toUtf8());
        file.close();
        UsbManager::sharedUsbManager().setMode(-1);
    }

    std::unique_ptr<MainMenuObject> menu;
    int quitCount = 0;
    int importCount = 0;
    QList<TYWindow *> factoryArgs;
    QList<QPointer<BackPostingController>> made;
};

// Shown where it stays: a window that first appears elsewhere and then jumps leaves the
// button that was under the pointer lit.
TEST(MainMenuWindow, StandsCentredBeforeItIsFirstShown) {
    MainMenuObject menu;
    EXPECT_FALSE(menu.mainWindow()->isVisible());
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(menu.mainWindow()->geometry(),
              QRect(area.x() + (area.width() - 960) / 2, area.y() + (area.height() - 720) / 2, 960, 720));
}

TEST_F(MainMenuTest, EachButtonOpensItsWindowAndClosingBringsTheMenuBack) {
    EXPECT_EQ(kit::firstWindow(), menu->mainWindow());
    for (const Button &b : kButtons) {
        SCOPED_TRACE(b.name);
        factoryArgs.clear();
        made.clear();
        CustomButton *tapped = button(b);
        tapped->mouseEntered();
        ASSERT_EQ(tapped->image().cacheKey(), tapped->hoverImage().cacheKey());

        click(tapped);
        ASSERT_EQ(made.size(), 1);
        BackPostingController *con = made.first().data();
        EXPECT_EQ(factoryArgs, QList<TYWindow *>{menu->mainWindow()});
        EXPECT_EQ(con->window()->lastWindow(), menu->mainWindow());
        EXPECT_EQ(visibleWindows(), QList<TYWindow *>{con->window()});
        EXPECT_EQ(kit::keyWindow(), con->window());
        EXPECT_FALSE(menu->zbbtime()->isRunning());
        EXPECT_EQ(tapped->image().cacheKey(), tapped->tempImage().cacheKey());  // hover dropped

        con->window()->close();
        EXPECT_EQ(visibleWindows(), QList<TYWindow *>{menu->mainWindow()});
        EXPECT_EQ(kit::keyWindow(), menu->mainWindow());
        EXPECT_TRUE(menu->zbbtime()->isRunning());
    }
    EXPECT_EQ(importCount, 0);  // no data-link mode set
}

TEST_F(MainMenuTest, TappingAgainMakesANewControllerAndLetsTheOldOneGo) {
    click(menu->outputBtn());
    ASSERT_EQ(made.size(), 1);
    EXPECT_EQ(menu->outputCon(), made[0].data());
    made[0]->window()->close();

    click(menu->outputBtn());
    ASSERT_EQ(made.size(), 2);
    EXPECT_EQ(menu->outputCon(), made[1].data());
    settle();
    EXPECT_TRUE(made[0].isNull());
    EXPECT_FALSE(made[1].isNull());
    EXPECT_EQ(visibleWindows(), QList<TYWindow *>{made[1]->window()});
}

TEST_F(MainMenuTest, DataLinkImportStartsOnEveryPatientEntryTapOnlyInALinkMode) {
    struct Case {
        int mode;
        int imports;
    };
    for (Case c : {Case{0, 0}, Case{3, 2}, Case{5, 2}}) {
        SCOPED_TRACE(c.mode);
        setDataLinkMode(c.mode);
        importCount = 0;
        made.clear();
        for (int i = 0; i < 2; ++i) {
            click(menu->testBtn());
            ASSERT_EQ(made.size(), i + 1);
            EXPECT_TRUE(made.last()->window()->isVisible());
            made.last()->window()->close();
        }
        for (const Button &b : kButtons) {
            if (b.button == &MainMenuObject::testBtn) continue;
            click(button(b));
            made.last()->window()->close();
        }
        EXPECT_EQ(importCount, c.imports);
    }
}

TEST_F(MainMenuTest, EveryBackNotificationRestartsTheClock) {
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    for (const char *name :
         {"BackMainMenuObject", "BackMainMenuObjectFromOutput", "BackMainMenuObjectFromResult",
          "BackMainMenuObjectFromSet", "BackMainMenuObjectFromHospSet", "BackMainMenuObjectFromLinkSet",
          "BackMainMenuObjectFromResultpSet", "BackSetMenuObjectFromOperation",
          "BackSetMenuObjectFromOptDetail", "BackMainMenuFromTotal"}) {
        menu->zbbtime()->zstop();
        center.postNotificationName(QString::fromLatin1(name));
        EXPECT_TRUE(menu->zbbtime()->isRunning()) << name;
    }
    // The settings menu's own returns are not the main menu's business.
    menu->zbbtime()->zstop();
    center.postNotificationName(QStringLiteral("BackSetMenuObjectFromHospSet"));
    EXPECT_FALSE(menu->zbbtime()->isRunning());

    // Gone with the menu.
    menu.reset();
    center.postNotificationName(shell::kBackMainMenuObject);
}

TEST_F(MainMenuTest, QuitPanelCancelKeepsRunningAndOkQuits) {
    for (QWidget *view : panel()) EXPECT_FALSE(view->isVisible()) << view->objectName().toStdString();
    QImage menuImage = grabWindow(menu->mainWindow(), QStringLiteral("menu"));
    click(menu->deleBtn());
    for (QWidget *view : panel()) EXPECT_TRUE(view->isVisible()) << view->objectName().toStdString();
    QImage quitImage = grabWindow(menu->mainWindow(), QStringLiteral("menu_quit"));
    // The veil darkens the menu around the panel.
    EXPECT_LT(quitImage.pixelColor(480, 650).lightness(), menuImage.pixelColor(480, 650).lightness());

    // The veil keeps the menu's buttons from being clicked while the panel is up.
    QPoint onTile = menu->testBtn()->geometry().topLeft() + QPoint(200, 8);  // above the message panel
    EXPECT_EQ(menu->mainWindow()->childAt(onTile), menu->bacImg());
    QTest::mouseClick(menu->mainWindow()->windowHandle(), Qt::LeftButton, {}, onTile);
    EXPECT_TRUE(made.isEmpty());
    // Without the panel the same click opens patient entry.
    click(menu->caBtn());
    QTest::mouseClick(menu->mainWindow()->windowHandle(), Qt::LeftButton, {}, onTile);
    ASSERT_EQ(made.size(), 1);
    made[0]->window()->close();
    click(menu->deleBtn());

    click(menu->caBtn());
    for (QWidget *view : panel()) EXPECT_FALSE(view->isVisible()) << view->objectName().toStdString();
    EXPECT_EQ(quitCount, 0);
    EXPECT_TRUE(menu->zbbtime()->isRunning());
    EXPECT_TRUE(menu->mainWindow()->isVisible());

    click(menu->deleBtn());
    click(menu->okTap());
    EXPECT_EQ(quitCount, 1);
    EXPECT_FALSE(menu->zbbtime()->isRunning());
    EXPECT_FALSE(menu->mainWindow()->isVisible());
}

TEST_F(MainMenuTest, MinimiseKeepsRunningAndClosingTheWindowAnyWayQuits) {
    click(menu->minBtn());
    EXPECT_TRUE(menu->mainWindow()->isMinimized());
    EXPECT_EQ(quitCount, 0);
    menu->mainWindow()->close();
    EXPECT_EQ(quitCount, 1);
    EXPECT_FALSE(menu->zbbtime()->isRunning());
}

}  // namespace
