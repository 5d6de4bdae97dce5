#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>

#include "platform/NotificationCenter.h"
#include "platform/XmlDocument.h"
#include "review/OutputController.h"
#include "review/ResultTableController.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/WindowList.h"

namespace {

// Two measurements, newest first, as the patient file keeps them.
const char *const kPatientFile = R"(<?xml version="1.0" encoding="UTF-8" standalone="no"?>
<DATA name="山田 花子" birthday="1980-04-01" age="46" sex="1">
    <comment date="2026-12-06" time="10:30:00">
        <Hospital>中央歯科</Hospital><Doctor>佐藤</Doctor><SheetFlg>-</SheetFlg><Remark></Remark><TotalComment></TotalComment>
        <MS>多め</MS><DataValue1>31.4|55</DataValue1><Content1>a</Content1>
        <pH>平均レベル</pH><DataValue2>6.8|50</DataValue2><Content2>b</Content2>
        <BFC>弱め</BFC><DataValue3>12.0|20</DataValue3><Content3>c</Content3>
        <BLD>少なめ</BLD><DataValue4>0.5|10</DataValue4><Content4>d</Content4>
        <LEU>平均レベル</LEU><DataValue5>40.0|45</DataValue5><Content5>e</Content5>
        <ALB>多め</ALB><DataValue6>80.2|90</DataValue6><Content6>f</Content6>
        <NH3>少なめ</NH3><DataValue7>3.3|15</DataValue7><Content7>g</Content7>
        <RsvData></RsvData><SaveDate>2026-12-06 10:35:12</SaveDate>
    </comment>
    <comment date="2026-11-01" time="09:00:00">
        <MS>少なめ</MS><DataValue1>1.0|5</DataValue1>
        <pH>高め</pH><DataValue2>7.9|95</DataValue2>
    </comment>
</DATA>
)";

struct ResultScreen {
    ResultScreen() {
        opener.move(40, 30);
        opener.makeKeyAndOrderFront();
        con.window()->setLastWindow(&opener);
        con.setDataXML(
            cvx::XmlDocument::fromText(QString::fromUtf8(kPatientFile), cvx::XmlDocument::Option::Tidy));
        con.setXmlPath(QString());
        con.setSavePath(QStringLiteral("/nowhere/Customer/A-100.xml"));
        con.setNoString(QStringLiteral("A-100"));
        con.setNoStr(QStringLiteral("A-100"));
    }
    TYWindow opener;  // the first window, standing in for the measuring window
    ResultTableController con;
};

void setSixItemMode(bool six) {
    QDir().mkpath(QDir::home().filePath(QStringLiteral(".Corvadenix")));
    QFile file(QDir::home().filePath(QStringLiteral(".Corvadenix/ModeSetting.xml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<?xml version=\"1.0\" "
                              "encoding=\"UTF-8\"?>\n<DATA><MODE>0</MODE><DeleteBLD>%1</DeleteBLD></DATA>\n")
                   .arg(six ? 1 : 0)
                   .toUtf8());
}

TEST(ResultTableController, ShowsThePatientAndTheChosenMeasurement) {
    struct Case {
        const char *dateStr;
        qint64 selectRow;
        bool sixItems;
        const char *shownDate;
        QStringList firstRow;  // empty: no measurement shown
        int rows;
    };
    const Case cases[] = {
        {"2026-12-06 10:30:00", 0, false, "2026-12-06 10:30:00", {"MS　むし歯菌", "31.4", "多め"}, 7},
        {"2026-11-01 09:00:00", 0, false, "2026-11-01 09:00:00", {"MS　むし歯菌", "1.0", "少なめ"}, 7},
        {"", 1, false, "2026-11-01 09:00:00", {"MS　むし歯菌", "1.0", "少なめ"}, 7},  // counted from the
                                                                                      // newest
        {"2026-12-06 10:30:00", 0, true, "2026-12-06 10:30:00", {"MS　むし歯菌", "31.4", "多め"}, 6},
        {"2020-01-01 00:00:00", 0, false, "2020-01-01 00:00:00", {}, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dateStr);
        setSixItemMode(c.sixItems);
        ResultScreen screen;
        screen.con.setDateStr(QString::fromUtf8(c.dateStr));
        screen.con.setSelectRow(c.selectRow);
        screen.con.showWindow();
        EXPECT_EQ(screen.con.chartValue()->text(), "A-100");
        EXPECT_EQ(screen.con.nameValue()->text(), "山田 花子");
        EXPECT_EQ(screen.con.dateValue()->text(), QString::fromUtf8(c.shownDate));
        QList<QStringList> rows = screen.con.itemRows();
        ASSERT_EQ(rows.size(), c.rows);
        if (c.rows == 0) {
            EXPECT_EQ(screen.con.emptyText(), "この測定結果は見つかりません。");
            continue;
        }
        EXPECT_TRUE(screen.con.emptyText().isEmpty());
        EXPECT_EQ(rows.first(), c.firstRow);
        EXPECT_EQ(rows[3].first().section(u'　', 0, 0), c.sixItems ? "LEU" : "BLD");
        EXPECT_EQ(rows.last(), (c.selectRow == 0 && c.firstRow[1] == "31.4"
                                    ? QStringList{"NH3　アンモニア", "3.3", "少なめ"}
                                    : QStringList{"NH3　アンモニア", "", ""}));
    }
}

TEST(ResultTableController, BackClosesAndBringsTheLastWindowBack) {
    ResultScreen screen;
    QObject owner;
    QStringList posted;
    cvx::NotificationCenter::defaultCenter().addObserver(
        &owner, QStringLiteral("BackMainMenuObjectFromResult"),
        [&posted](const cvx::Notification &n) { posted.append(n.name); });
    screen.con.setDateStr(QStringLiteral("2026-12-06 10:30:00"));
    screen.con.showWindow();
    screen.opener.orderOut();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(screen.con.window()));

    QImage shot = screen.con.window()->grab().toImage();
    QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) shot.save(QDir(dir).filePath(QStringLiteral("result_table.png")));

    QTest::mouseClick(screen.con.backButton(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(posted, QStringList{"BackMainMenuObjectFromResult"});
    EXPECT_FALSE(screen.con.zbbtime()->isRunning());
    EXPECT_FALSE(screen.con.window()->isVisible());
    EXPECT_TRUE(screen.opener.isVisible());
    EXPECT_EQ(kit::keyWindow(), &screen.opener);
}

TEST(OutputController, BackReturnsToTheFirstWindowWhoeverOpenedIt) {
    // Windows that earlier controllers let go must not count as the first one.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    TYWindow mainWindow;  // made first: the main menu's window
    mainWindow.makeKeyAndOrderFront();
    TYWindow other;
    QObject owner;
    QStringList posted;
    cvx::NotificationCenter::defaultCenter().addObserver(
        &owner, QStringLiteral("BackMainMenuObjectFromOutput"),
        [&posted](const cvx::Notification &n) { posted.append(n.name); });

    OutputController con;
    con.setMWindow(&mainWindow);
    EXPECT_FALSE(con.isWindowLoaded());
    con.window()->setLastWindow(&other);
    con.showWindow();
    mainWindow.orderOut();
    EXPECT_EQ(con.mWindow(), &mainWindow);

    QTest::mouseClick(con.backButton(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(posted, QStringList{"BackMainMenuObjectFromOutput"});
    EXPECT_FALSE(con.zbbtime()->isRunning());
    EXPECT_FALSE(con.window()->isVisible());
    EXPECT_EQ(con.window()->lastWindow(), &mainWindow);
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(other.isVisible());
}

}  // namespace
