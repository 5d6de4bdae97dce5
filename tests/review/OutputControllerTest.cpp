#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableView>
#include <QTest>

#include "link/UsbManager.h"
#include "platform/NotificationCenter.h"
#include "review/OutputController.h"
#include "review/ResultTableController.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/WindowList.h"

namespace {

QString result(const QString &date, const QString &time, const QString &sheet, const QString &remark) {
    QString xml = QStringLiteral("<comment date=\"%1\" time=\"%2\"><Hospital/><Doctor/>").arg(date, time);
    if (!sheet.isNull()) xml += QStringLiteral("<SheetFlg>%1</SheetFlg>").arg(sheet);
    if (!remark.isNull()) xml += QStringLiteral("<Remark>%1</Remark>").arg(remark);
    return xml + QStringLiteral("<TotalComment/></comment>");
}

void writePatient(const QString &chartNo, const QString &name, const QString &results) {
    const QString folder = QDir::home().filePath(QStringLiteral(".Corvadenix/Customer"));
    QDir().mkpath(folder);
    QFile file(QDir(folder).filePath(chartNo + QStringLiteral(".xml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"%1\">%2</DATA>\n")
                   .arg(name, results)
                   .toUtf8());
}

// A-100 was stored older first and has a result with an impossible date; B-200 has no result.
void writeFixtures() {
    writePatient(
        QStringLiteral("A-100"), QStringLiteral("山田 花子"),
        result(QStringLiteral("2015-04-21"), QStringLiteral("10:32"), QStringLiteral("済"),
               QStringLiteral("初回")) +
            result(QStringLiteral("2016-01-05"), QStringLiteral("09:00"), QStringLiteral("-"), QString()) +
            result(QStringLiteral("2015-13-01"), QStringLiteral("08:00"), QStringLiteral("-"), QString()));
    writePatient(QStringLiteral("B-200"), QStringLiteral("山本 太郎"), QString());
    writePatient(QStringLiteral("C-300"), QStringLiteral("山本 次郎"),
                 result(QStringLiteral("2020-02-02"), QStringLiteral("08:15"), QStringLiteral("-"),
                        QStringLiteral("再検")));
    writePatient(
        QStringLiteral("Check_Measure_Result"), QStringLiteral("山本 検査"),
        result(QStringLiteral("2020-02-02"), QStringLiteral("08:15"), QStringLiteral("-"), QString()));
}

// Typed key by key; QTest::keyClicks knows only ASCII keys.
void typeText(QWidget *field, const QString &text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

struct Finder {
    Finder() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        mainWindow.makeKeyAndOrderFront();
        con.setMWindow(&mainWindow);
        con.window()->setLastWindow(&mainWindow);
        con.showWindow();
        mainWindow.orderOut();
    }
    void search(const QString &chartNo, const QString &first = {}, const QString &last = {}) {
        for (QLineEdit *field : {static_cast<QLineEdit *>(con.noTxtFid()), con.firstName(), con.lastName()})
            field->clear();
        con.noTxtFid()->setLastStringValue(QStringLiteral(""));
        typeText(con.noTxtFid(), chartNo);
        typeText(con.firstName(), first);
        typeText(con.lastName(), last);
        QTest::mouseClick(con.searchButton(), Qt::LeftButton);
    }
    void clickRow(int row, int column = 1) {
        QTableView *table = con.tabView();
        const QRect cell = table->visualRect(table->model()->index(row, column));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }
    TYWindow mainWindow;
    OutputController con;
};

TEST(OutputController, FindsPatientsByNumberOrNameWithTheRightMessage) {
    writeFixtures();
    struct Case {
        const char *chartNo, *first, *last;
        QStringList hits;  // of the name search, as the pull-down list keeps them
        const char *shown;
        int rows;
        const char *panel;  // message on the window's own panel
        bool overlay;       // "W304" over the whole window
    };
    const Case cases[] = {
        {"A-100", "", "", {}, "A-100", 2, nullptr, false},
        {"a-100", "", "", {}, "A-100", 2, nullptr, false},        // the file found, by its own name
        {"", "山田", "", {"A-100"}, "A-100", 3, nullptr, false},  // every result of a first hit
        {"", "山", "子", {"A-100"}, "A-100", 3, nullptr, false},
        // B-200 comes first but has no result: the second hit is loaded as a number search.
        {"", "山本", "", {}, "C-300", 1, nullptr, false},
        {"", "", "次郎", {"C-300"}, "C-300", 1, nullptr, false},
        {"", "yama", "", {}, "", 0, nullptr, true},
        {"", "", "", {}, "", 0, "W302", false},
        {"Check_Measure_Result ", "", "", {}, "Check_Measure_Result ", 0, "W304", false},
        {"Z-999", "", "", {}, "Z-999", 0, "W304", false},
        {"B-200", "", "", {}, "B-200", 0, "W304", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1/%2/%3").arg(c.chartNo, c.first, c.last).toStdString());
        Finder finder;
        finder.search(QString::fromUtf8(c.chartNo), QString::fromUtf8(c.first), QString::fromUtf8(c.last));
        OutputController &con = finder.con;
        EXPECT_EQ(con.comboxAry(), c.hits);
        EXPECT_EQ(con.comBox()->count(), c.hits.size());
        EXPECT_EQ(con.noTxtFid()->text(), QString::fromUtf8(c.shown));
        EXPECT_EQ(con.numberOfRowsInTableView(), c.rows);
        EXPECT_EQ(con.tabView()->isVisible(), c.rows > 0);
        EXPECT_EQ(con.panelMessage(), c.panel ? QString::fromUtf8(c.panel) : QString());
        auto *overlay = con.window()->findChild<TYAlertView *>();
        EXPECT_EQ(overlay != nullptr, c.overlay);
        if (overlay) overlay->okButtonClicked();
        if (c.rows > 0) {
            EXPECT_EQ(con.resultInfo().custInfo().customerNo(), QString::fromUtf8(c.shown));
            EXPECT_FALSE(con.firstName()->text().isEmpty());
            EXPECT_EQ(con.firstName()->text() + u' ' + con.lastName()->text(),
                      con.dataXML()->rootElement().attribute(QStringLiteral("name")));
        }
    }
}

TEST(OutputController, DataLinkModesKeepTheStoredNameWhole) {
    writePatient(
        QStringLiteral("P-1"), QStringLiteral("Alpha Beta"),
        result(QStringLiteral("2020-01-01"), QStringLiteral("10:00"), QStringLiteral("-"), QString()));
    writePatient(
        QStringLiteral("P-2"), QStringLiteral("A B C"),
        result(QStringLiteral("2020-01-01"), QStringLiteral("10:00"), QStringLiteral("-"), QString()));
    struct Case {
        int mode;
        const char *first, *last;
        QStringList hits;
    };
    const Case cases[] = {
        {0, "Alp", "", {"P-1"}},  {0, "", "eta", {"P-1"}}, {0, "Alpha", "Beta", {"P-1"}},
        {0, "alp", "", {}},       {0, "B", "", {}},        {0, "", "B", {"P-1"}},
        {3, "Beta", "", {"P-1"}}, {3, "", "Beta", {}},     {3, "Alpha", "Beta", {"P-1"}},
        {4, "B C", "", {"P-2"}},  {4, "A", "C", {"P-2"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2/%3").arg(c.mode).arg(c.first, c.last).toStdString());
        UsbManager::sharedUsbManager().setMode(c.mode);
        Finder finder;
        finder.search(QString(), QString::fromUtf8(c.first), QString::fromUtf8(c.last));
        // A single hit is loaded at once, so the list of hits shows what the search found.
        EXPECT_EQ(finder.con.comBox()->count(), c.hits.size());
        EXPECT_EQ(finder.con.noStr(), c.hits.value(0));
        if (auto *overlay = finder.con.window()->findChild<TYAlertView *>()) overlay->okButtonClicked();
    }
    UsbManager::sharedUsbManager().setMode(-1);
}

TEST(OutputController, ListsNewestFirstAndKeepsExactlyOneTick) {
    writeFixtures();
    Finder finder;
    OutputController &con = finder.con;
    finder.search(QStringLiteral("A-100"));
    EXPECT_EQ(con.timeMuAry(), QStringList({"2016-01-05 09:00", "2015-04-21 10:32"}));
    EXPECT_EQ(con.sheetMuAry(), QStringList({"-", "済"}));
    EXPECT_EQ(con.remarkMuAry(), QStringList({"-", "初回"}));
    EXPECT_EQ(con.checkTableAry(), QStringList({"1", "0"}));
    EXPECT_EQ(con.listHeight(), 2 * 53 + 2);
    EXPECT_EQ(con.tabView()->height(), 2 * 53 + 2);
    EXPECT_TRUE(con.objectValue(QStringLiteral("sheetCell"), 2).isNull());

    // The tick box twice (it stays ticked), then another row's date.
    for (auto [row, column] : {std::pair{1, 0}, {1, 0}, {0, 1}}) {
        finder.clickRow(row, column);
        EXPECT_EQ(con.selectRow(), row);
        EXPECT_EQ(con.checkTableAry().count(QStringLiteral("1")), 1);
        EXPECT_EQ(con.objectValue(QStringLiteral("chekCell"), row), QStringLiteral("1"));
    }
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) con.window()->grab().save(QDir(dir).filePath(QStringLiteral("finder.png")));

    // A value in a column that is not the list's changes nothing.
    con.tableViewSetObjectValue(QStringLiteral("other"), 1);
    EXPECT_EQ(con.selectRow(), 0);

    // Typing refused characters leaves the fields as they were.
    typeText(con.noTxtFid(), QStringLiteral("/あ"));
    EXPECT_EQ(con.noTxtFid()->text(), QStringLiteral("A-100"));
    con.firstName()->clear();
    typeText(con.firstName(), QStringLiteral("0123456789abcdef"));
    EXPECT_EQ(con.firstName()->text(), QStringLiteral("0123456789abcde"));
}

TEST(OutputController, OpensTheTickedMeasurementOnTheResultScreen) {
    writeFixtures();
    Finder finder;
    OutputController &con = finder.con;

    QTest::mouseClick(con.editButton(), Qt::LeftButton);
    EXPECT_EQ(con.panelMessage(), QStringLiteral("W308"));
    EXPECT_EQ(con.resultTableCon(), nullptr);
    QTest::mouseClick(con.okBtn(), Qt::LeftButton);
    EXPECT_TRUE(con.panelMessage().isNull());

    finder.search(QStringLiteral("A-100"));
    finder.clickRow(1);
    QTest::mouseClick(con.editButton(), Qt::LeftButton);
    ResultTableController *screen = con.resultTableCon();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->noString(), QStringLiteral("A-100"));
    EXPECT_EQ(screen->dateStr(), QStringLiteral("2015-04-21 10:32"));
    // The file keeps that result first, though the list shows it second.
    EXPECT_EQ(screen->selectRow(), 0);
    EXPECT_EQ(screen->savePath(), QDir::home().filePath(QStringLiteral(".Corvadenix/Customer/A-100.xml")));
    ASSERT_TRUE(screen->dataXML().has_value());
    EXPECT_EQ(screen->dataXML()->rootElement().elements().size(), 3);
    EXPECT_EQ(screen->window()->lastWindow(), con.window());
    EXPECT_EQ(screen->mWindow(), &finder.mainWindow);
    EXPECT_TRUE(screen->window()->isVisible());
    EXPECT_FALSE(con.window()->isVisible());
    EXPECT_FALSE(con.zbbtime()->isRunning());
    screen->window()->close();
}

TEST(OutputController, EitherBackButtonReturnsToTheMainMenu) {
    for (bool second : {false, true}) {
        Finder finder;
        QObject owner;
        QStringList posted;
        cvx::NotificationCenter::defaultCenter().addObserver(
            &owner, QStringLiteral("BackMainMenuObjectFromOutput"),
            [&posted](const cvx::Notification &n) { posted.append(n.name); });
        OutputController &con = finder.con;
        QTest::mouseClick(second ? con.backTwoButton() : con.backButton(), Qt::LeftButton);
        EXPECT_EQ(posted, QStringList{"BackMainMenuObjectFromOutput"});
        EXPECT_FALSE(con.zbbtime()->isRunning());
        EXPECT_FALSE(con.window()->isVisible());
        EXPECT_TRUE(finder.mainWindow.isVisible());
        cvx::NotificationCenter::defaultCenter().removeObserver(&owner);
    }
}

}  // namespace
