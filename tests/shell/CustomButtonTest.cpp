#include <gtest/gtest.h>

#include <QTest>

#include "shell/kit/CustomButton.h"
#include "shell/kit/TYWindow.h"

namespace {

QPixmap solid(Qt::GlobalColor color) {
    QPixmap pixmap(20, 20);
    pixmap.fill(color);
    return pixmap;
}

QColor centreColour(QWidget *widget) {
    return widget->grab().toImage().pixelColor(widget->width() / 2, widget->height() / 2);
}

struct ButtonWindow {
    ButtonWindow() {
        button = new CustomButton(QRect(100, 100, 112, 112), &window);
        button->setImage(solid(Qt::blue));
        button->setHoverImage(solid(Qt::green));
        button->setAlternateImage(solid(Qt::red));
        window.makeKeyAndOrderFront();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::mouseMove(&window, QPoint(5, 5));
    }
    void enterButton() { QTest::mouseMove(button, QPoint(50, 50)); }
    void leaveButton() { QTest::mouseMove(&window, QPoint(5, 5)); }

    TYWindow window;
    CustomButton *button;
};

TEST(CustomButton, ShowsHoverWhilePointerIsInsideAndPressedWhileHeld) {
    ButtonWindow w;
    EXPECT_EQ(centreColour(w.button), QColor(Qt::blue));
    w.enterButton();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::green));

    int clicks = 0;
    QObject::connect(w.button, &CustomButton::clicked, [&] { ++clicks; });
    QTest::mousePress(w.button, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(centreColour(w.button), QColor(Qt::red));
    QTest::mouseRelease(w.button, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(centreColour(w.button), QColor(Qt::green));

    w.leaveButton();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::blue));
}

TEST(CustomButton, NoHoverWhileAWindowSizedViewLiesAbove) {
    ButtonWindow w;
    auto *cover = new QWidget(&w.window);
    cover->setGeometry(0, 0, 960, 720);
    // Let the pointer reach the button as if through the cover.
    cover->setAttribute(Qt::WA_TransparentForMouseEvents);
    cover->show();
    w.enterButton();
    EXPECT_EQ(w.button->image().cacheKey(), w.button->tempImage().cacheKey());
    w.leaveButton();

    // A smaller view above, or the cover hidden, leaves the hover alone.
    struct Case {
        QSize coverSize;
        bool hidden;
        bool hover;
    } cases[] = {{{960, 720}, false, false}, {{960, 719}, false, true}, {{960, 720}, true, true}};
    for (const Case &c : cases) {
        cover->resize(c.coverSize);
        cover->setHidden(c.hidden);
        w.enterButton();
        EXPECT_EQ(centreColour(w.button) == QColor(Qt::green), c.hover) << c.coverSize.width();
        w.leaveButton();
        EXPECT_EQ(centreColour(w.button), QColor(Qt::blue));
    }

    // Beneath the button the cover does not count.
    cover->resize(960, 720);
    cover->show();
    cover->lower();
    w.enterButton();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::green));
}

TEST(CustomButton, SettingTheHoverPictureKeepsTheRestingOne) {
    ButtonWindow w;
    w.button->setImage(w.button->hoverImage());
    w.button->mouseExited();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::blue));

    w.button->setImage(solid(Qt::yellow));
    w.enterButton();
    w.leaveButton();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::yellow));
}

TEST(CustomButton, ButtonWithoutHoverPictureGetsItsPictureBackOnLeaving) {
    ButtonWindow w;
    w.button->setHoverImage(QPixmap());
    w.enterButton();
    w.leaveButton();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::blue));
    w.enterButton();
    w.leaveButton();
    EXPECT_EQ(centreColour(w.button), QColor(Qt::blue));
}

}  // namespace
