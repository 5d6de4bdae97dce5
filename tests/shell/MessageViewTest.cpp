#include <gtest/gtest.h>

#include <QLabel>
#include <QPointer>
#include <QTest>

#include "platform/NotificationCenter.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitNotifications.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertTransView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/ViewTags.h"

namespace {

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct ShownWindow {
    ShownWindow() {
        control = new CustomButton(QRect(424, 300, 112, 112), &window);
        window.makeKeyAndOrderFront();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    TYWindow window;
    CustomButton *control;
};

void clickOk(CustomButton *ok) {
    QTest::mouseClick(ok, Qt::LeftButton, {}, QPoint(56, 56));
}

TEST(MessageView, CoversTheKeyWindowAndKeepsClicksFromTheControlsBelow) {
    ShownWindow w;
    int controlClicks = 0;
    QObject::connect(w.control, &CustomButton::clicked, [&] { ++controlClicks; });
    TYAlertView *view = TYAlertView::showErrorAlertView(QStringLiteral("W302"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->parentWidget(), &w.window);
    EXPECT_EQ(view->geometry(), QRect(0, 0, 960, 720));
    EXPECT_EQ(view->okButton()->geometry(), QRect(494, 360, 112, 112));
    EXPECT_EQ(view->errorImageView()->geometry(), QRect(243, 260, 475, 85));
    EXPECT_EQ(kit::topMostSubview(&w.window), view);

    // Where the control lies but the OK button does not.
    QTest::mouseClick(&w.window, Qt::LeftButton, {}, QPoint(430, 310));
    EXPECT_EQ(controlClicks, 0);
}

TEST(MessageView, ASecondMessageIsNotStackedAndItsBlockNeverRuns) {
    ShownWindow w;
    QStringList ran;
    QPointer<TYAlertView> first =
        TYAlertView::showErrorAlertView(QStringLiteral("W302"), [&] { ran << QStringLiteral("first"); });
    TYAlertView *second =
        TYAlertView::showErrorAlertView(QStringLiteral("E407"), [&] { ran << QStringLiteral("second"); });
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(w.window.findChildren<TYAlertView *>().size(), 1);
    clickOk(first->okButton());
    settle();
    EXPECT_EQ(ran, QStringList{QStringLiteral("first")});
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(w.window.findChildren<TYAlertView *>().isEmpty());
}

TEST(MessageView, OkPostsErrorOKClickedWhileTheViewIsThereThenRunsItsBlock) {
    ShownWindow w;
    QObject owner;
    QStringList order;
    cvx::NotificationCenter::defaultCenter().addObserver(&owner, kit::kErrorOKClicked, [&](const auto &note) {
        order << QStringLiteral("posted with view %1, object %2")
                     .arg(w.window.findChildren<TYAlertView *>().size())
                     .arg(note.object.isValid());
    });
    TYAlertView *view = TYAlertView::showErrorAlertView(QStringLiteral("E407"), [&] {
        order << QStringLiteral("block with view %1").arg(w.window.findChildren<TYAlertView *>().size());
        // A message shown from the block is not held back by the one just dismissed.
        EXPECT_TRUE(TYAlertView::showErrorAlertView(QStringLiteral("update_success")));
    });
    clickOk(view->okButton());
    EXPECT_EQ(order, (QStringList{"posted with view 1, object 0", "block with view 0"}));
}

TEST(MessageView, AnObserverMayCloseTheWindowUnderTheMessage) {
    auto *window = new TYWindow;
    window->makeKeyAndOrderFront();
    QObject owner;
    cvx::NotificationCenter::defaultCenter().addObserver(&owner, kit::kErrorOKClicked,
                                                         [&](const auto &) { delete window; });
    bool ran = false;
    TYAlertView *view = TYAlertView::showErrorAlertView(QStringLiteral("T504"), [&] { ran = true; });
    ASSERT_TRUE(view);
    clickOk(view->okButton());
    settle();
    EXPECT_TRUE(ran);
}

TEST(MessageView, NothingIsShownWithoutAVisibleWorkWindow) {
    TYWindow hidden;
    bool posted = false;
    QObject owner;
    cvx::NotificationCenter::defaultCenter().addObserver(&owner, kit::kErrorOKClicked,
                                                         [&](const auto &) { posted = true; });
    EXPECT_EQ(TYAlertView::showErrorAlertView(QStringLiteral("W302"), [] {}), nullptr);
    EXPECT_TRUE(hidden.findChildren<TYAlertView *>().isEmpty());
    EXPECT_FALSE(posted);
}

TEST(MessageView, ShownOverTheFrontWindowEvenWhenTheProgramIsInTheBackground) {
    ShownWindow back;
    ShownWindow front;
    // No window of the program holds the keyboard focus.
    front.window.setWindowState(Qt::WindowNoState);
    QApplication::setActiveWindow(nullptr);
    TYAlertView *view = TYAlertView::showErrorAlertView(QStringLiteral("W304"));
    ASSERT_TRUE(view);
    EXPECT_EQ(view->parentWidget(), &front.window);
}

struct UpdateLog {
    QStringList events;
    TYUpdateView::Block note(const QString &what) {
        return [this, what] { events << what; };
    }
};

TEST(UpdateView, OkAndCancelRemoveTheViewThenRunTheirBlock) {
    ShownWindow w;
    UpdateLog log;
    for (bool ok : {true, false}) {
        QPointer<QLabel> text;
        TYUpdateView *view =
            TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ2"), true, log.note("ok"), true,
                                         log.note("cancel"), [&](QLabel *field) {
                                             text = field;
                                             field->setText(QStringLiteral(" [1/2] (5/100)"));
                                         });
        ASSERT_TRUE(view);
        EXPECT_EQ(kit::tag(view), 999);
        EXPECT_TRUE(TYUpdateView::isExistUpdateView());
        EXPECT_EQ(text->text(), " [1/2] (5/100)");
        EXPECT_EQ(text->geometry(), QRect(430, 372, 430, 60));
        // The panel picture's white card leaves 16 pixels at the sides, 8 above and 12 below.
        const QRect card = view->updateImageView()->geometry().adjusted(16, 8, -16, -12);
        EXPECT_TRUE(card.contains(view->okButton()->geometry())) << view->okButton()->y();
        EXPECT_TRUE(card.contains(view->cancelButton()->geometry())) << view->cancelButton()->y();
        CustomButton *button = ok ? view->okButton() : view->cancelButton();
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(40, 40));
        EXPECT_FALSE(TYUpdateView::isExistUpdateView());
        settle();
        EXPECT_TRUE(text.isNull());
    }
    EXPECT_EQ(log.events, (QStringList{"ok", "cancel"}));
}

TEST(UpdateView, ReplacingAndRemovingFollowTheirRules) {
    ShownWindow w;
    UpdateLog log;
    // Neither button shown: the newer view cancels it all the same.
    TYUpdateView *first = TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ3"), false,
                                                       log.note("ok1"), false, log.note("cancel1"), nullptr);
    EXPECT_TRUE(first->okButton()->isHidden());
    EXPECT_TRUE(first->cancelButton()->isHidden());
    TYUpdateView *second = TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ4"), true,
                                                        log.note("ok2"), false, log.note("cancel2"), nullptr);
    EXPECT_EQ(log.events, QStringList{"cancel1"});
    EXPECT_EQ(w.window.findChildren<TYUpdateView *>().size(), 1);
    EXPECT_EQ(kit::topMostSubview(&w.window), second);

    // A message view takes its place without running its blocks.
    TYAlertView *message = TYAlertView::showErrorAlertView(QStringLiteral("T504"));
    EXPECT_EQ(kit::topMostSubview(&w.window), message);
    EXPECT_FALSE(TYUpdateView::isExistUpdateView());

    TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ1"), true, log.note("ok3"), true,
                                 log.note("cancel3"), nullptr);
    TYUpdateView::removeUpdateView();
    EXPECT_FALSE(TYUpdateView::isExistUpdateView());
    EXPECT_EQ(log.events, QStringList{"cancel1"});
}

TEST(UpdateView, FallsBackToTheLastWindowMadeAndAnswersNoWithoutWindows) {
    EXPECT_FALSE(TYUpdateView::isExistUpdateView());
    TYUpdateView::removeUpdateView();
    EXPECT_EQ(TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ1"), true, {}, true, {}, {}),
              nullptr);

    TYWindow hiddenFirst, hiddenLast;
    TYUpdateView *view =
        TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ1"), true, {}, true, {}, {});
    ASSERT_TRUE(view);
    EXPECT_EQ(view->parentWidget(), &hiddenLast);
    EXPECT_TRUE(TYUpdateView::isExistUpdateView());
}

TEST(AlertTransView, ReplacesAnOlderOneAndLeavesTheUpdateViewAlone) {
    ShownWindow w;
    TYUpdateView::showUpdateView(QStringLiteral("自動バージョンアップ1"), true, {}, true, {}, {});
    TYAlertTransView *first = TYAlertTransView::showErrorAlertView(QStringLiteral("W302"));
    TYAlertTransView *second = TYAlertTransView::showErrorAlertView(QStringLiteral("W303"));
    settle();
    ASSERT_TRUE(second);
    EXPECT_EQ(w.window.findChildren<TYAlertTransView *>(), QList<TYAlertTransView *>{second});
    Q_UNUSED(first);
    // Its frames are given from the bottom: OK (494, 235) from below is 373 from the top.
    EXPECT_EQ(second->okButton()->geometry(), QRect(494, 373, 112, 112));
    EXPECT_EQ(second->errorImageView()->geometry(), QRect(243, 282, 475, 85));

    bool posted = false;
    QObject owner;
    cvx::NotificationCenter::defaultCenter().addObserver(&owner, kit::kErrorOKClicked,
                                                         [&](const auto &) { posted = true; });
    clickOk(second->okButton());
    settle();
    EXPECT_TRUE(w.window.findChildren<TYAlertTransView *>().isEmpty());
    EXPECT_TRUE(TYUpdateView::isExistUpdateView());
    EXPECT_FALSE(posted);
}

}  // namespace
