#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QTest>

#include "KitSampleController.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYUpdateView.h"

namespace {

// Grabs the window; with CVX_SCREENSHOT_DIR set the picture is also kept there for people to look at.
QImage grabWindow(QWidget *window, const QString &name) {
    QImage image = window->grab().toImage();
    QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
    return image;
}

TEST(MessageScreenshot, MessageAndUpdatePanelAreDrawnOverTheWindow) {
    for (const char *name : {"box", "画面_メッセージ", "E407", "ボタン_OK_", "自動バージョンアップ3"})
        ASSERT_FALSE(kit::picture(QString::fromUtf8(name)).isNull()) << name;

    KitSampleController con;
    con.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(con.window()));
    QImage plain = grabWindow(con.window(), QStringLiteral("kit_window"));

    TYAlertView *message = TYAlertView::showErrorAlertView(QStringLiteral("E407"));
    ASSERT_TRUE(message);
    EXPECT_EQ(message->errorImageView()->pixmap().toImage(), kit::picture(QStringLiteral("E407")).toImage());
    QImage withMessage = grabWindow(con.window(), QStringLiteral("kit_message_E407"));
    EXPECT_NE(withMessage.pixelColor(480, 300), plain.pixelColor(480, 300));
    message->okButtonClicked();

    TYUpdateView *update =
        TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ3"), false, {}, false, {},
                                     [](QLabel *text) { text->setText(QStringLiteral(" [1/2] (12/240)")); });
    ASSERT_TRUE(update);
    EXPECT_EQ(update->updateImageView()->pixmap().toImage(),
              kit::picture(QStringLiteral("自動バージョンアップ3")).toImage());
    grabWindow(con.window(), QStringLiteral("kit_update_panel3"));
    ASSERT_TRUE(
        TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ1"), true, {}, true, {}, {}));
    grabWindow(con.window(), QStringLiteral("kit_update_panel1"));
}

}  // namespace
