// The measuring window: state pictures, countdown phases, returns, storing and "E407".
#include <gtest/gtest.h>

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QTest>

#include "MeasuringFixture.h"
#include "records/UsbUtils.h"
#include "shell/CircularTimer.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/GifView.h"
#include "shell/kit/WindowList.h"
#include "support/LabelFit.h"

using namespace shelltest;

namespace {

const QString kWaiting = QStringLiteral("表示_装置状態_待機中");
const QString kReady = QStringLiteral("測定可能です");

class TestViewControllerTest : public MeasuringWindowFixture {
protected:
    QString prompt() const { return con->promptLabel()->text(); }
    bool menuUsable() const {
        const CustomButton *b = con->backButton();
        return b->isEnabled() && b->imageName() == QStringLiteral("ボタン_メニュー_") &&
               b->hoverImageName() == QStringLiteral("ボタン_メニュー_ON") &&
               b->alternateImageName() == QStringLiteral("ボタン_メニュー_DOWN");
    }
    bool menuOff() const {
        const CustomButton *b = con->backButton();
        const QString off = QStringLiteral("ボタン_メニュー_OFF");
        return !b->isEnabled() && b->imageName() == off && b->hoverImageName() == off &&
               b->alternateImageName() == off;
    }
    bool idleCountdown() const {
        return con->countdownLabel()->isHidden() && con->currentStep() == 1 &&
               con->progressPictureName() == QStringLiteral("Stepback1") && !con->circularTimer()->running();
    }
};

TEST_F(TestViewControllerTest, OpensWaitingWithThePatientsChartNumber) {
    open(QStringLiteral("A-7"));
    EXPECT_EQ(con->userIDLabel()->text(), QStringLiteral("カルテ番号：A-7"));
    EXPECT_EQ(con->statePictureName(), kWaiting);
    EXPECT_FALSE(con->gifView()->isGif());
    EXPECT_EQ(prompt(), kReady);
    EXPECT_TRUE(idleCountdown());
    EXPECT_TRUE(menuUsable());
    EXPECT_EQ(con->lastDeviceStatus(), 1);
    EXPECT_EQ(con->backTestInput(), 1);
    EXPECT_FLOAT_EQ(con->radius(), 130);
    EXPECT_FLOAT_EQ(con->internalRadius(), 110);
    EXPECT_EQ(con->circularTimer()->parentWidget(), con->circleBgView());
    EXPECT_EQ(con->circularTimer()->pos(), QPoint(10, 10));
}

TEST_F(TestViewControllerTest, EachStateShowsItsPictureAndPrompt) {
    const struct {
        qint64 state;
        const char *picture;  // null: unchanged
        const char *prompt;
        bool animated;
    } cases[] = {
        {-1, "表示_装置状態_機器未接続", "機器を接続し、機器の電源をいれてください", false},
        {0, "表示_装置状態_準備中", "しばらくお待ちください", false},
        {1, "表示_装置状態_待機中", "測定可能です", false},
        {2, "表示_装置状態_測定中", "", true},
        {3, "表示_装置状態_エラー", "", false},
        {4, "表示_装置状態_機器未接続", "機器を接続し、機器の電源をいれてください", false},
        {5, "表示_装置状態_待機中", "測定可能です", false},
        {6, "表示_装置状態_待機中", "測定可能です", false},
        {7, nullptr, "", false},
        {9, nullptr, "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.state);
        open();
        state(0);  // so that 6 does not count as the return to the main menu
        const QString before = con->statePictureName();
        state(c.state);
        EXPECT_TRUE(measuringOpen());
        EXPECT_EQ(con->lastDeviceStatus(), c.state);
        EXPECT_EQ(con->statePictureName().section(QLatin1Char('.'), 0, 0),
                  c.picture ? QString::fromUtf8(c.picture) : before);
        EXPECT_EQ(prompt(), QString::fromUtf8(c.prompt));
        EXPECT_EQ(con->gifView()->isGif(), c.animated);
        EXPECT_EQ(con->circularTimer()->running(), c.state == 2);
        if (c.state == 2) clock.advanceSeconds(1);  // the countdown's first text
        // Every text of the window whole in its label, at the window's fonts.
        EXPECT_EQ(cvxtest::clippedLabels(con->window()).join(u'|').toStdString(), "");
        if (const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR"); !dir.isEmpty())
            con->window()->grab().save(
                QDir(dir).filePath(QStringLiteral("measuring_state_%1.png").arg(c.state)));
        delete con;
    }
}

TEST_F(TestViewControllerTest, CountdownTextsAndPhasesThroughTheWholeRun) {
    writeSetting(QStringLiteral("USBSetting.xml"), QStringLiteral("Timeout"), QStringLiteral("15500"));
    open();
    state(2);
    EXPECT_TRUE(menuOff());
    EXPECT_FALSE(con->countdownLabel()->isHidden());
    EXPECT_EQ(con->statePictureName(), QStringLiteral("表示_装置状態_測定中"));
    EXPECT_TRUE(con->gifView()->isGif());

    const struct {
        qint64 second;  // since the start; the count shown is second + 1
        const char *text;
        const char *progress;
        int step;
    } marks[] = {
        {0, "9秒\n残り299秒", "Stepback2", 2},   {8, "1秒\n残り291秒", "Stepback2", 2},
        {9, "30秒\n残り290秒", "Stepback3", 3},  {38, "1秒\n残り261秒", "Stepback3", 3},
        {39, " \t \n残り260秒", "Stepback4", 4}, {258, " \t \n残り41秒", "Stepback4", 4},
        {259, " \t \n残り40秒", "Stepback4", 4}, {298, " \t \n残り1秒", "Stepback4", 4},
        {299, " \t \n残り0秒", "Stepback5", 4},  {313, " \t \n残り0秒", "Stepback5", 4},
    };
    qint64 at = 0;
    for (const auto &m : marks) {
        SCOPED_TRACE(m.second);
        clock.advanceSeconds(m.second - at);
        at = m.second;
        EXPECT_EQ(countdownText(), QString::fromUtf8(m.text));
        EXPECT_EQ(con->progressPictureName(), QString::fromUtf8(m.progress));
        EXPECT_EQ(con->currentStep(), m.step);
        EXPECT_EQ(messages(), 0);
    }
    EXPECT_TRUE(menuOff());

    // 15 s after the run: no data, "E407"; the window stays with the patient.
    clock.advanceSeconds(1);
    EXPECT_EQ(messages(), 1);
    EXPECT_TRUE(measuringOpen());
    EXPECT_TRUE(idleCountdown());
    EXPECT_TRUE(menuUsable());
    EXPECT_EQ(con->statePictureName(), kWaiting);
    EXPECT_EQ(prompt(), kReady);
    EXPECT_EQ(session().currentCustInfo().customerNo(), QStringLiteral("P-1"));
    EXPECT_FALSE(QFile::exists(UsbUtils::getXmlPath(QStringLiteral("P-1"))));
    EXPECT_TRUE(posted.isEmpty());
}

TEST_F(TestViewControllerTest, LeavingTheMeasuringStateResetsUnlessTheSecondPassArrived) {
    open();
    state(2);
    clock.advanceSeconds(30);
    state(1);
    EXPECT_TRUE(idleCountdown());
    EXPECT_TRUE(menuUsable());

    state(2);
    EXPECT_EQ(countdownText(), QStringLiteral("9秒\n残り299秒"));
    session().testInfo().secondTest().setTyData(QStringLiteral("2026-03-05"));
    state(1);
    EXPECT_TRUE(con->circularTimer()->running());
    EXPECT_FALSE(con->countdownLabel()->isHidden());

    // Trouble before the data: reset, but the menu button stays off.
    session().setTestInfo(nullptr);
    state(2);
    state(3);
    EXPECT_FALSE(con->circularTimer()->running());
    EXPECT_TRUE(menuOff());
}

TEST_F(TestViewControllerTest, RepeatedMeasuringStateKeepsOneCount) {
    open();
    state(2);
    clock.advanceSeconds(20);
    state(2);
    EXPECT_EQ(clock.ticking(), 1);
    const QString before = countdownText();
    clock.advanceSeconds(1);
    EXPECT_NE(countdownText(), before);
    clock.advanceSeconds(400);
    EXPECT_EQ(messages(), 1);  // one end, reported once
}

TEST_F(TestViewControllerTest, StateSequencesReturnToEntryOrMainMenu) {
    enum class Outcome { Stays, Entry, MainMenu };
    const struct {
        std::initializer_list<qint64> sequence;
        Outcome outcome;
    } cases[] = {
        {{6}, Outcome::MainMenu},       {{1, 6}, Outcome::MainMenu},
        {{5, 6}, Outcome::Stays},       {{3, 1}, Outcome::Entry},
        {{3, -1}, Outcome::Entry},      {{3, 2}, Outcome::Stays},
        {{4, 0, 6}, Outcome::Entry},    {{4, -1, 0, -1, 6}, Outcome::Entry},
        {{4, 3, 0, 6}, Outcome::Entry},  // 3 then 0 already returns
        {{4, 1, 0, 6}, Outcome::Stays}, {{4, 0, 2, 6}, Outcome::Stays},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::vector<qint64>(c.sequence)));
        remakeEntry();
        open();
        posted.clear();
        states(c.sequence);
        switch (c.outcome) {
            case Outcome::Stays:
                EXPECT_TRUE(measuringOpen());
                EXPECT_TRUE(posted.isEmpty());
                break;
            case Outcome::Entry:
                EXPECT_FALSE(measuringOpen());
                EXPECT_TRUE(entry->window()->isVisible());
                EXPECT_EQ(kit::keyWindow(), entry->window());
                EXPECT_EQ(posted, (QStringList{shell::kBackSetMenuObjectFromOptDetail,
                                               entry::kBackOprationFromTest}));
                break;
            case Outcome::MainMenu:
                EXPECT_FALSE(measuringOpen());
                EXPECT_FALSE(entry->window()->isVisible());
                EXPECT_EQ(entry->willCloseCount, 1);
                EXPECT_EQ(kit::keyWindow(), menu);
                EXPECT_EQ(con->rootWindow(), nullptr);
                EXPECT_EQ(con->opretionController(), nullptr);
                break;
        }
        // A closed window no longer follows the instrument.
        if (c.outcome != Outcome::Stays) {
            state(2);
            EXPECT_FALSE(con->circularTimer()->running());
        }
        delete con;
    }
}

TEST_F(TestViewControllerTest, ClosedWindowsCountdownStaysSilent) {
    open();
    state(2);
    session().testInfo() = completeMeasurement(QStringLiteral("P-1"));
    state(1);  // the data are in: the countdown keeps running
    ASSERT_TRUE(con->circularTimer()->running());
    con->back();
    clock.advanceSeconds(400);
    announceData();
    EXPECT_FALSE(QFile::exists(UsbUtils::getXmlPath(QStringLiteral("P-1"))));
    EXPECT_TRUE(result.isNull());
    EXPECT_EQ(menu->findChildren<TYAlertView *>().size(), 0);
    EXPECT_EQ(messages(), 0);
    EXPECT_TRUE(session().hasTestInfo());  // kept for the patient-entry window
    EXPECT_EQ(session().currentCustInfo().customerNo(), QStringLiteral("P-1"));
}

TEST_F(TestViewControllerTest, DataAnnouncedStoresAndOpensTheResultScreen) {
    const struct {
        std::int32_t mode;
        bool csv;
    } cases[] = {{0, false}, {3, true}, {4, true}, {5, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        const QString chartNo = QStringLiteral("P-%1").arg(c.mode);
        session().setMode(c.mode);
        csvSaves.clear();
        csvBackups.clear();
        open(chartNo);
        state(2);
        clock.advanceSeconds(120);
        session().testInfo() = completeMeasurement(chartNo);
        announceData();

        const auto file = UsbUtils::getCustomerXml(chartNo);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->rootElement().elements().size(), 1);
        EXPECT_EQ(csvBackups, QStringList{chartNo + QStringLiteral("#0")});
        EXPECT_EQ(csvSaves, c.csv ? QStringList{chartNo + QStringLiteral("#0")} : QStringList{});

        ASSERT_FALSE(result.isNull());
        EXPECT_TRUE(result->window()->isVisible());
        EXPECT_EQ(result->window()->lastWindow(), menu);
        EXPECT_EQ(result->request.dateStr, QStringLiteral("2026-03-05 09:08"));
        EXPECT_EQ(result->request.noString, chartNo);
        EXPECT_EQ(result->request.noStr, chartNo);
        EXPECT_TRUE(result->request.xmlPath.isNull());
        EXPECT_EQ(result->request.savePath, UsbUtils::getXmlPath(chartNo));
        EXPECT_EQ(result->request.dataXML.rootElement().elements().value(0).attribute(QStringLiteral("time")),
                  QStringLiteral("09:08"));
        EXPECT_EQ(con->resultTableCon(), result.data());

        EXPECT_FALSE(measuringOpen());
        EXPECT_EQ(con->gifView()->frameInterval(), 0);  // a closed window's picture stands still
        EXPECT_FALSE(entry->window()->isVisible());     // stays hidden behind the result screen
        EXPECT_EQ(kit::keyWindow(), result->window());
        EXPECT_EQ(messages(), 0);
        EXPECT_FALSE(session().hasTestInfo());
        EXPECT_FALSE(session().hasCurrentCustInfo());

        // The result screen lets itself go once it closed.
        result->window()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(result.isNull());
        delete con;
    }
}

TEST_F(TestViewControllerTest, NothingCompleteOrNothingNewShowsE407) {
    const struct {
        const char *what;
        std::function<void(TYTestInfo &)> spoil;
    } cases[] = {
        {"no measurement", nullptr},
        {"second pass not in", [](TYTestInfo &m) { m.secondTest().setTyCount(QStringLiteral("0")); }},
        {"second pass without time", [](TYTestInfo &m) { m.secondTest().setTyTime(QString()); }},
        {"first pass missing", [](TYTestInfo &m) { m.setFirstTest(TYEachTest()); }},
        {"a pad missing", [](TYTestInfo &m) { m.secondTest().setNh3TestData(TYTestData()); }},
        {"no chart number", [](TYTestInfo &m) { m.setUserID(QString()); }},
        {"already stored", nullptr},
        {"another patient's result",
         [](TYTestInfo &m) {
             m.setUserID(QStringLiteral("Q-2"));
             m.secondTest().setTyTime(QStringLiteral("09:30"));
         }},
    };
    const QString path = UsbUtils::getXmlPath(QStringLiteral("P-1"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString what = QString::fromUtf8(c.what);
        open();
        state(2);
        TYTestInfo m = completeMeasurement(QStringLiteral("P-1"));
        if (c.spoil) c.spoil(m);
        if (what == QStringLiteral("already stored")) {
            ASSERT_TRUE(UsbUtils::saveCustomerComment(m, 2));
        }
        const QByteArray before = [&] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        if (what != QStringLiteral("no measurement")) session().testInfo() = m;
        announceData();

        EXPECT_EQ(messages(), 1);
        EXPECT_TRUE(measuringOpen());
        EXPECT_TRUE(idleCountdown());
        EXPECT_TRUE(menuUsable());
        EXPECT_TRUE(result.isNull());
        QFile f(path);
        EXPECT_EQ(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(), before);
        EXPECT_EQ(session().currentCustInfo().customerNo(), QStringLiteral("P-1"));
        for (TYAlertView *v : con->window()->findChildren<TYAlertView *>()) v->okButtonClicked();
        delete con;
        session().setTestInfo(nullptr);
    }
}

TEST_F(TestViewControllerTest, ChangeEndsTheCountdownAtOnce) {
    open();
    state(2);
    clock.advanceSeconds(50);
    con->change();
    EXPECT_EQ(countdownText(), QStringLiteral(" \t \n残り0秒"));
    EXPECT_EQ(con->progressPictureName(), QStringLiteral("Stepback5"));
    clock.advanceSeconds(10);
    EXPECT_EQ(messages(), 1);
}

}  // namespace

namespace {

// With CVX_SCREENSHOT_DIR set, the picture is kept there for people to look at.
TEST_F(TestViewControllerTest, MeasuringScreenshot) {
    open(QStringLiteral("K-1024"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(con->window()));
    state(2);
    clock.advanceSeconds(14);
    const QImage image = con->window()->grab().toImage();
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) image.save(QDir(dir).filePath(QStringLiteral("measuring.png")));

    // The ring is filled at the top right and empty at the left, and the marker of the
    // second phase is lit.
    const QPoint circleOrigin = con->circularTimer()->mapTo(con->window(), QPoint(0, 0));
    const QPoint centre =
        circleOrigin + QPoint(con->circularTimer()->width() / 2, con->circularTimer()->height() / 2);
    const int mid = int(con->circularTimer()->geometry().midRadius);
    EXPECT_EQ(image.pixelColor(centre + QPoint(12, -mid)).rgb(), con->activeCircleStrokeColor().rgb());
    EXPECT_EQ(image.pixelColor(centre + QPoint(-mid, 0)).rgb(), con->circleStrokeColor().rgb());
    QFrame *third = con->stepViews().at(1);
    EXPECT_EQ(image.pixelColor(third->geometry().center()).rgb(), QColor(103, 223, 87).rgb());
}

}  // namespace
