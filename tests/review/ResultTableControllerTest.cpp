#include <gtest/gtest.h>

#include <functional>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QTest>

#include "charts/BBColumnView.h"
#include "charts/BBNetView.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/Numbers.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/BBInitDatas.h"
#include "records/CalcSettingDatas.h"
#include "records/UsbUtils.h"
#include "review/OutputController.h"
#include "review/ResultTableController.h"
#include "review/TableViewDatas.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/WindowList.h"
#include "support/FileSizeLimit.h"
#include "support/LabelFit.h"

namespace {

// One stored measurement: date, time, level words and chart positions in item order, the
// temperature field, hospital and dentist.
QString result(const char *date, const char *time, const QStringList &words, const QStringList &positions,
               const char *temperature, const char *hospital, const char *doctor, const char *rsvTail = "",
               const QStringList &contents = {}) {
    const char *items[] = {"MS", "pH", "BFC", "BLD", "LEU", "ALB", "NH3"};
    QString body = QStringLiteral(
                       "<Hospital>%1</Hospital><Doctor>%2</Doctor><SheetFlg>-</SheetFlg><Remark></Remark>"
                       "<TotalComment></TotalComment>")
                       .arg(QString::fromUtf8(hospital), QString::fromUtf8(doctor));
    for (int i = 0; i < 7; ++i)
        body += QStringLiteral("<%1>%2</%1><DataValue%3>1.0|%4</DataValue%3><Content%3>%5</Content%3>")
                    .arg(QLatin1String(items[i]), words[i])
                    .arg(i + 1)
                    .arg(positions[i], contents.value(i, QStringLiteral("c%1").arg(i + 1)).toHtmlEscaped());
    body += QStringLiteral("<RsvData>R1:V1,%1,%2,7,%3%4</RsvData><SaveDate>x</SaveDate>")
                .arg(QLatin1String(date), QLatin1String(time), QString::fromUtf8(temperature),
                     QLatin1String(rsvTail));
    return QStringLiteral("<comment date=\"%1\" time=\"%2\">%3</comment>")
        .arg(QLatin1String(date), QLatin1String(time), body);
}

const QStringList kWords = {"多め", "低め", "強め", "平均レベル", "平均レベル", "少なめ", "多め"};
const QStringList kPositions = {"55", "20", "30", "40", "45", "10", "70"};

// Every range its own chart-position average (NH3, I_NH3, LEU, I_LEU more, I_LEU less), so a
// wrong range shows a wrong number.
void giveRangesTheirOwnAverages(const QString &path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    qsizetype at = text.indexOf(QStringLiteral("<DATA title=\"ChgData\">"));
    for (const char *average : {"51", "57", "47", "44", "46"}) {
        at = text.indexOf(QStringLiteral("<AvgData>"), at) + 9;
        const qsizetype end = text.indexOf(u'<', at);
        text.replace(at, end - at, QLatin1String(average));
    }
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

void writeFixture(const char *deleteBld, const QString &oldest = QString(),
                  const QStringList &positions = kPositions, const QStringList &contents = {}) {
    const QDir data(QDir::home().filePath(QStringLiteral(".Corvadenix")));
    data.mkpath(QStringLiteral("Customer"));
    for (const char *name : {"Comment.xml", "HisSetting.xml", "CalcSetting.xml", "ModeSetting.xml"})
        QFile::copy(QStringLiteral(":/settings/") + QLatin1String(name), data.filePath(QLatin1String(name)));
    QFile::setPermissions(data.filePath(QStringLiteral("Comment.xml")), QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(data.filePath(QStringLiteral("HisSetting.xml")),
                          QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(data.filePath(QStringLiteral("CalcSetting.xml")),
                          QFile::ReadOwner | QFile::WriteOwner);
    giveRangesTheirOwnAverages(data.filePath(QStringLiteral("CalcSetting.xml")));
    QFile mode(data.filePath(QStringLiteral("ModeSetting.xml")));
    mode.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(mode.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mode.write(QStringLiteral(
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA><MODE>0</MODE><DeleteBLD>%1</DeleteBLD>"
                   "</DATA>\n")
                   .arg(QLatin1String(deleteBld))
                   .toUtf8());
    const QStringList older = {"少なめ", "高め", "弱め", "少なめ", "少なめ", "多め", "少なめ"};
    QString file =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"山田 花子\">") +
        result("2026-12-06", "10:30", kWords, positions, "23.4 ℃", "中央歯科", "佐藤", "", contents) +
        result("2026-11-01", "09:00", older, kPositions, "18.6 ℃", "", "") +
        result("2026-10-01", "08:00", older, kPositions, "20.0 ℃", "", "") +
        result("2026-09-01", "07:00", older, kPositions, "21.0 ℃", "", "") + oldest +
        QStringLiteral("</DATA>\n");
    CalcSettingDatas::discardSharedForTesting();  // read the ranges just copied
    QFile patient(data.filePath(QStringLiteral("Customer/A-100.xml")));
    ASSERT_TRUE(patient.open(QIODevice::WriteOnly));
    patient.write(file.toUtf8());
}

struct ResultScreen {
    explicit ResultScreen(const char *dateStr = "2026-12-06 10:30", const char *deleteBld = "0",
                          const QString &oldest = QString(), const QStringList &positions = kPositions,
                          const std::function<void()> &afterFixture = {}, const QStringList &contents = {}) {
        // Windows that earlier screens let go must not count as the first one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        writeFixture(deleteBld, oldest, positions, contents);
        if (afterFixture) afterFixture();
        opener.makeKeyAndOrderFront();
        con.setDataXML(UsbUtils::getCustomerXml(QStringLiteral("A-100")));
        con.setXmlPath(QString());
        con.setSavePath(UsbUtils::getXmlPath(QStringLiteral("A-100")));
        con.setNoString(QStringLiteral("A-100"));
        con.setNoStr(QStringLiteral("A-100"));
        con.setDateStr(QString::fromUtf8(dateStr));
        con.window()->setLastWindow(&opener);
        con.showWindow();
        opener.orderOut();
    }
    // The screen's background saves end in this test's home, not in the next one's.
    ~ResultScreen() { TableViewDatas::waitForSaves(); }
    template <typename T>
    T *find(const char *name) {
        return con.window()->findChild<T *>(QString::fromLatin1(name));
    }
    QString cell(const char *table, int row, int column) {
        auto *label = qobject_cast<QLabel *>(find<QTableWidget>(table)->cellWidget(row, column));
        return label ? label->text() : QStringLiteral("<none>");
    }
    void click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton); }
    QString stored(const char *element) {
        auto document = UsbUtils::getCustomerXml(QStringLiteral("A-100"));
        return document
                   ? document->firstNodeForXPath(QStringLiteral("/DATA/comment[1]/") + QLatin1String(element))
                         .stringValue()
                   : QString();
    }
    TYAlertView *message() {
        const QList<TYAlertView *> views = con.window()->findChildren<TYAlertView *>();
        return views.isEmpty() ? nullptr : views.last();
    }
    TYWindow opener;  // the first window, standing in for the main window
    ResultTableController con;
};

const QString kOutsideBasicPlane = QString::fromUcs4(U"\U0001F9B7");

// One key press that types a whole character, as an input method hands it over.
void typeCharacter(QWidget *field, const QString &character) {
    QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, character, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, field, Qt::Key_unknown, character, Qt::NoModifier);
}

bool shows(TYAlertView *view, const char *picture) {
    return view &&
           view->errorImageView()->pixmap().toImage() == kit::picture(QString::fromLatin1(picture)).toImage();
}

TEST(ResultTableController, ShowsValuesLevelsAveragesAndHistory) {
    struct Case {
        const char *deleteBld;  // any text but "0" leaves BLD out, as on the sheet
        bool six;
        const char *dateStr;
        QStringList group2Names;
        QString shownDate;
        QStringList history;
        QStringList ticks;  // after layout A, the default, kept only the first
    };
    const Case cases[] = {
        {"0",
         false,
         "2026-12-06 10:30",
         {"潜血", "白血球", "タンパク質"},
         "2026-12-06 10:30",
         {"2026-11-01 09:00", "2026-10-01 08:00", "2026-09-01 07:00"},
         {"1", "0", "0"}},
        {"1",
         true,
         "2026-12-06 10:30",
         {"白血球", "タンパク質"},
         "2026-12-06 10:30",
         {"2026-11-01 09:00", "2026-10-01 08:00", "2026-09-01 07:00"},
         {"1", "0", "0"}},
        {"2",
         true,
         "2026-12-06 10:30",
         {"白血球", "タンパク質"},
         "2026-12-06 10:30",
         {"2026-11-01 09:00", "2026-10-01 08:00", "2026-09-01 07:00"},
         {"1", "0", "0"}},
        // A date the file does not hold shows the newest measurement.
        {"0",
         false,
         "2020-01-01 00:00",
         {"潜血", "白血球", "タンパク質"},
         "2026-12-06 10:30",
         {"2026-11-01 09:00", "2026-10-01 08:00", "2026-09-01 07:00"},
         {"1", "0", "0"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.dateStr);
        ResultScreen screen(c.dateStr, c.deleteBld);
        EXPECT_EQ(screen.con.dateStr(), c.shownDate);
        EXPECT_EQ(screen.find<QLabel>("timeMainLab")->text(), c.shownDate);
        EXPECT_EQ(screen.cell("tabView", 0, 0), "むし歯菌");
        EXPECT_EQ(screen.cell("tabView", 0, 1), "55");
        const QString ms = screen.cell("tabView", 0, 2);
        EXPECT_TRUE(ms.contains("多め") && ms.contains("#ec6a83") && ms.contains("平均値:37"))
            << ms.toStdString();
        EXPECT_TRUE(screen.cell("tabView", 2, 2).contains("#509427"));  // BFC strong: green
        EXPECT_TRUE(screen.cell("tabView", 1, 2).contains("#509427"));  // pH low: green
        EXPECT_EQ(screen.cell("tabView", 0, 3), "c1");
        QTableWidget *group2 = screen.find<QTableWidget>("tabView2");
        ASSERT_EQ(group2->rowCount(), c.group2Names.size());
        for (int r = 0; r < group2->rowCount(); ++r)
            EXPECT_EQ(screen.cell("tabView2", r, 0), c.group2Names[r]);
        const QString leu = screen.cell("tabView2", c.six ? 0 : 1, 2);
        EXPECT_TRUE(leu.contains("平均値:47") && leu.contains("#f8a501")) << leu.toStdString();
        EXPECT_TRUE(screen.cell("tabView3", 0, 2).contains("平均値:51"));
        EXPECT_EQ(screen.find<BBColumnView>("columnView6")->isHidden(), c.six);
        EXPECT_EQ(screen.find<BBNetView>("netView")->isSix(), c.six ? 6 : 0);
        EXPECT_EQ(screen.con.digiAry().size(), 7);

        EXPECT_EQ(screen.con.tabTimeAry(), c.history);
        EXPECT_EQ(screen.con.tabTimeCkAry(), c.ticks);
        EXPECT_EQ(screen.con.aryDU(), (QStringList{"18", "20", "21"}));
        EXPECT_TRUE(screen.cell("tabTimeView", 0, 1).startsWith("18"));
        EXPECT_TRUE(
            screen.find<QTableWidget>("tabTimeView")->cellWidget(0, 1)->styleSheet().contains("blue"));
        EXPECT_FALSE(
            screen.find<QTableWidget>("tabTimeView")->cellWidget(1, 1)->styleSheet().contains("blue"));
        EXPECT_EQ(screen.find<QLabel>("hanLab")->text(), "23℃");
        EXPECT_EQ(screen.find<QLineEdit>("hospitalLab")->text(), "中央歯科");
        EXPECT_TRUE(screen.find<CustomButton>("modifyBtn")->isEnabled());
        const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
        if (!dir.isEmpty() && !c.six)
            screen.con.window()->grab().save(QDir(dir).filePath(QStringLiteral("result.png")));
    }
}

// Numbers far out of range in the patient file and the calculation settings are shown as out of
// range, not taken into arithmetic that overflows.
TEST(ResultTableController, HostileNumbersInTheFilesDoNotOverflow) {
    const QStringList positions = {"999999999999", "2147483648", "-999999999999", "-2147483648", "1e999",
                                   "nan",          "+30"};
    const auto hostileAverages = [] {
        const QString path = QDir::home().filePath(QStringLiteral(".Corvadenix/CalcSetting.xml"));
        QFile file(path);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll();
        file.close();
        ASSERT_TRUE(text.contains("<AvgData>47</AvgData>") && text.contains("<AvgData>51</AvgData>"));
        text.replace("<AvgData>47</AvgData>", "<AvgData>-1e300</AvgData>")
            .replace("<AvgData>51</AvgData>", "<AvgData>99999999999</AvgData>");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        CalcSettingDatas::discardSharedForTesting();
    };
    ResultScreen screen("2026-12-06 10:30", "0", QString(), positions, hostileAverages);
    EXPECT_EQ(screen.con.digiAry(), positions);
    const float scale = 0.06f;
    EXPECT_FLOAT_EQ(screen.find<BBColumnView>("columnView1")->x3(), cvx::kReadLimit * scale);  // MS
    EXPECT_FLOAT_EQ(screen.find<BBColumnView>("columnView2")->x3(), cvx::kReadLimit * scale);  // pH
    EXPECT_FLOAT_EQ(screen.find<BBColumnView>("columnView3")->x3(), (100 + cvx::kReadLimit) * scale);
    EXPECT_FLOAT_EQ(screen.find<BBColumnView>("columnView6")->x3(), -cvx::kReadLimit * scale);  // BLD
    EXPECT_FLOAT_EQ(screen.find<BBColumnView>("columnView4")->x3(), 0);                         // ALB
    EXPECT_FLOAT_EQ(screen.find<BBColumnView>("columnView7")->x3(), 30 * scale);                // NH3
    EXPECT_TRUE(screen.cell("tabView2", 1, 2).contains(QString::number(-cvx::kReadLimit)));
    EXPECT_TRUE(screen.cell("tabView3", 0, 2).contains(QString::number(cvx::kReadLimit)));
}

TEST(ResultTableController, OpensOnAnOlderMeasurementWithTheTwoBeforeItTicked) {
    cvx::UserDefaults::standard().setObject(QStringLiteral("1"), QStringLiteral("resultChoiceNum"));
    ResultScreen screen("2026-11-01 09:00");
    EXPECT_EQ(screen.con.isNO(), 2);
    EXPECT_EQ(screen.con.tabTimeAry(),
              (QStringList{"2026-12-06 10:30", "2026-10-01 08:00", "2026-09-01 07:00"}));
    EXPECT_EQ(screen.con.tabTimeCkAry(), (QStringList{"0", "1", "1"}));
    EXPECT_EQ(screen.find<QLineEdit>("hospitalLab")->text(), "");
    EXPECT_FALSE(screen.find<CustomButton>("modifyBtn")->isEnabled());
    EXPECT_EQ(screen.find<CustomButton>("modifyBtn")->imageName(), "ボタン_次へ_OFF");

    // Layout B takes two: a third tick is refused with W309 and changes nothing.
    screen.click(screen.find<QTableWidget>("tabTimeView")->cellWidget(0, 0));
    EXPECT_TRUE(shows(screen.message(), "W309"));
    EXPECT_EQ(screen.con.tabTimeCkAry(), (QStringList{"0", "1", "1"}));
    EXPECT_EQ(screen.find<QLabel>("date2Lab")->text(), "2026/10/01 08:00");
    EXPECT_EQ(screen.find<QLabel>("date1Lab")->text(), "2026/09/01 07:00");
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        screen.message()->okButtonClicked();
        screen.con.window()->grab().save(QDir(dir).filePath(QStringLiteral("result_b.png")));
        screen.click(screen.find<QCheckBox>("check3"));
        screen.con.window()->grab().save(QDir(dir).filePath(QStringLiteral("result_c.png")));
    }
}

// The longest stored stock comment of each item, over its three levels.
QStringList longestStockComments() {
    writeFixture("0");  // installs the stored comments
    const BBInitDatas::Lists lists = BBInitDatas::getTableDetail();
    QStringList longest;
    for (int n = 1; n <= 7; ++n) {
        QString best;
        for (int level = 0; level < 3; ++level)
            for (const QString &text : lists.value(TableViewDatas::keyOf(n, level)))
                if (text.size() > best.size()) best = text;
        longest << best;
    }
    return longest;
}

TEST(ResultTableController, EveryTextIsReadableWithLongStockComments) {
    const QStringList comments = longestStockComments();
    ASSERT_GE(comments.first().size(), 50);
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    for (const char *deleteBld : {"0", "1"}) {
        SCOPED_TRACE(deleteBld);
        ResultScreen screen("2026-12-06 10:30", deleteBld, QString(), kPositions, {}, comments);
        EXPECT_EQ(screen.cell("tabView", 0, 3), comments.first());
        for (int layout : {1, 2}) {
            SCOPED_TRACE(layout);
            layout == 1 ? screen.con.checkTap() : screen.con.checkTap2();
            QCoreApplication::processEvents();  // the tables place their cells
            EXPECT_EQ(cvxtest::clippedLabels(screen.con.window()).join(u'|').toStdString(), "");
            EXPECT_EQ(screen.con.window()->size(), QSize(960, 720));

            // Beside every radar shown, the names of the axes it does not name itself, clear of
            // one another and inside the panel.
            QWidget *panel = screen.find<QWidget>("mainContent");
            QList<QRect> names;
            for (const char *view : {"netView", "netView1", "netView2", "netView3"}) {
                if (!screen.find<BBNetView>(view)->isVisibleTo(panel)) continue;
                for (int item : {1, 5, 6}) {
                    auto *name = panel->findChild<QLabel *>(QStringLiteral("%1_name%2").arg(view).arg(item));
                    ASSERT_TRUE(name && name->isVisibleTo(panel)) << view << item;
                    for (const QRect &other : names) EXPECT_FALSE(other.intersects(name->geometry())) << view;
                    EXPECT_TRUE(panel->rect().contains(name->geometry())) << view << item;
                    names << name->geometry();
                }
            }
            EXPECT_EQ(names.size(), layout == 1 ? 3 : 9);
            if (!dir.isEmpty()) {
                const QString name = QStringLiteral("result_%1_%2")
                                         .arg(deleteBld[0] == '0' ? "seven" : "six", layout == 1 ? "A" : "B");
                screen.con.window()->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
                panel->grab().save(QDir(dir).filePath(name + QStringLiteral("_panel.png")));
            }
        }
    }
}

TEST(ResultTableController, StoredLayoutChoiceRunsItsLayoutOrNone) {
    struct Case {
        const char *stored;  // null: no such key
        int isNO;
        QStringList ticks;
        const char *storedAfter;
        int isDraw2;
    };
    const Case cases[] = {
        {"2", 3, {"1", "1", "0"}, "2", 0},
        {nullptr, 1, {"1", "0", "0"}, "0", 1},
        // Names no layout: no layout action runs, the first ticks and the stored value stay.
        {"7", 1, {"1", "1", "0"}, "7", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "none");
        cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
        if (c.stored)
            defaults.setObject(QString::fromLatin1(c.stored), QStringLiteral("resultChoiceNum"));
        else
            defaults.removeObjectForKey(QStringLiteral("resultChoiceNum"));
        ResultScreen screen;
        EXPECT_EQ(screen.con.isNO(), c.isNO);
        EXPECT_EQ(screen.con.tabTimeCkAry(), c.ticks);
        EXPECT_EQ(defaults.stringForKey(QStringLiteral("resultChoiceNum")), c.storedAfter);
        EXPECT_EQ(screen.con.isDraw2(), c.isDraw2);
        EXPECT_EQ(screen.find<BBNetView>("netView")->isDrawTwo(), c.isDraw2);
    }
}

// A measurement whose stored date fails the date check is shown when it is the one asked for,
// and left out of the history; its LEU and NH3 averages follow its record line's ranges.
TEST(ResultTableController, ShowsTheAskedMeasurementWhateverItsDateAndItsOwnAverages) {
    struct Case {
        const char *rsvTail;  // appended to the record line
        const char *leu, *nh3;
    };
    const Case cases[] = {
        {"", "47", "51"},                                        // no I_LEU: the LEU and NH3 ranges
        {",I_LEU,0,0,0,0,0,0,0,0,0,0,0,0,0,0,100", "44", "57"},  // 10 %, under the threshold: more
        {",I_LEU,0,0,0,0,0,0,0,0,0,0,0,0,0,0,500", "46", "57"},  // 50 %: less
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rsvTail);
        // BFC without a chart position: position 0, the full bar.
        const QString invalid = result("2026-02-30", "06:00", kWords,
                                       {"50", "50", "", "50", "50", "50", "50"}, "22.0 ℃", "", "", c.rsvTail);
        ResultScreen screen("2026-02-30 06:00", "0", invalid);
        ASSERT_TRUE(screen.con.tabData().has_value());
        EXPECT_EQ(screen.con.dateStr(), "2026-02-30 06:00");
        EXPECT_EQ(screen.cell("tabView", 0, 1), "50");
        EXPECT_EQ(screen.con.tabTimeAry(), (QStringList{"2026-12-06 10:30", "2026-11-01 09:00",
                                                        "2026-10-01 08:00", "2026-09-01 07:00"}));
        EXPECT_EQ(screen.find<BBColumnView>("columnView3")->x3(), 6.0f);
        EXPECT_EQ(screen.find<BBColumnView>("columnView1")->x3(), 3.0f);
        EXPECT_TRUE(screen.cell("tabView2", 1, 2).contains(QStringLiteral("平均値:") + c.leu));
        EXPECT_TRUE(screen.cell("tabView3", 0, 2).contains(QStringLiteral("平均値:") + c.nh3));
        const QStringList reference = screen.find<BBNetView>("netView")->tabAry();
        EXPECT_EQ(reference.value(4), c.leu);
        EXPECT_EQ(reference.value(6), c.nh3);
    }
    // Opened on another measurement, the one with the refused date is not in the history.
    ResultScreen screen("2026-12-06 10:30", "0",
                        result("2026-02-30", "06:00", kWords, kPositions, "22.0 ℃", "", ""));
    EXPECT_EQ(screen.con.tabTimeAry(),
              (QStringList{"2026-11-01 09:00", "2026-10-01 08:00", "2026-09-01 07:00"}));
}

// A comment list opens under a row near the top and above a row lower down, framed and as tall
// as its rows.
TEST(ResultTableController, CommentListHangsByItsRowAndFitsItsRows) {
    ResultScreen screen("2026-12-06 10:30", "0", QString(), kPositions, {}, longestStockComments());
    enum Hang { Below, Above };
    const struct {
        const char *table;
        int row;
        Hang hang;
    } cases[] = {{"tabView", 0, Below}, {"tabView2", 2, Above}, {"tabView3", 0, Above}};
    QWidget *list = screen.find<QWidget>("zTvMainScr");
    QTableWidget *rows = screen.find<QTableWidget>("zTv");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.table);
        QTableWidget *table = screen.find<QTableWidget>(c.table);
        screen.find<QScrollArea>("mainScroll1")->ensureWidgetVisible(table);  // as the user scrolls
        screen.click(table->cellWidget(c.row, 4));
        ASSERT_TRUE(list->isVisible());
        const QRect cell = table->visualRect(table->model()->index(c.row, 0));
        const int top = table->viewport()->mapTo(screen.con.window(), cell.topLeft()).y();
        const int expected[] = {top + cell.height() + 2, top - list->height()};
        EXPECT_EQ(list->y(), expected[c.hang]) << top;
        int height = 2 + 2 * 2;  // the list's own frame, the panel's
        for (int r = 0; r < rows->rowCount(); ++r) height += rows->rowHeight(r);
        if (screen.find<QWidget>("zTvMainScrSub")->isVisible()) height += 60;
        EXPECT_EQ(list->height(), height);
        screen.click(screen.find<QPushButton>("bgButton"));
    }
}

TEST(ResultTableController, ChosenCommentAndTotalGoIntoThePatientFile) {
    ResultScreen screen;
    // MS is "多め": its pull-down lists the high-level comments.
    screen.click(screen.find<QTableWidget>("tabView")->cellWidget(0, 4));
    QTableWidget *list = screen.find<QTableWidget>("zTv");
    ASSERT_TRUE(list->isVisible());
    const QStringList high = BBInitDatas::getTableDetail().value(QStringLiteral("ms0"));
    ASSERT_GE(list->rowCount(), 2);
    EXPECT_EQ(qobject_cast<QPlainTextEdit *>(list->cellWidget(1, 1))->toPlainText(), high.value(1));
    if (const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR"); !dir.isEmpty())
        screen.con.window()->grab().save(QDir(dir).filePath(QStringLiteral("result_pulldown.png")));
    screen.click(list->cellWidget(1, 0));
    screen.click(screen.find<QPushButton>("bgButton"));
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(screen.cell("tabView", 0, 3), high.value(1));
    EXPECT_EQ(screen.stored("Content1"), high.value(1));
    EXPECT_EQ(screen.stored("Content2"), "c2");

    // A comment typed into the list's free row, ticked, is what pH gets.
    screen.click(screen.find<QTableWidget>("tabView")->cellWidget(1, 4));
    const int free = list->rowCount() - 1;
    auto *typing = qobject_cast<QPlainTextEdit *>(list->cellWidget(free, 1));
    ASSERT_FALSE(typing->isReadOnly());
    EXPECT_TRUE(qobject_cast<QPlainTextEdit *>(list->cellWidget(0, 1))->isReadOnly());
    QTest::keyClicks(typing, QStringLiteral("Rinse after meals") + QString(47, u'.'));
    typeCharacter(typing, kOutsideBasicPlane);  // would end at 66: cut before the pair, not in it
    EXPECT_EQ(typing->toPlainText().size(), 64);
    typeCharacter(typing, QStringLiteral("."));
    EXPECT_EQ(typing->toPlainText().size(), 65);
    screen.click(list->cellWidget(free, 0));
    screen.click(screen.find<QPushButton>("bgButton"));
    EXPECT_TRUE(screen.stored("Content2").startsWith("Rinse after meals"));

    // The total comment: open its list, tick the first entry, close.
    screen.click(screen.find<CustomButton>("detailBtn"));
    ASSERT_TRUE(list->isVisible());
    const QStringList totals = BBInitDatas::getTotal().value(QStringLiteral("total"));
    ASSERT_FALSE(totals.isEmpty());
    screen.click(list->cellWidget(0, 0));
    screen.click(screen.find<CustomButton>("detailBtn"));
    EXPECT_EQ(screen.stored("TotalComment"), totals.first());
}

TEST(ResultTableController, BackSavesTheNamesAndPostsTheReturn) {
    ResultScreen screen;
    QObject owner;
    QStringList posted;
    cvx::NotificationCenter::defaultCenter().addObserver(
        &owner, QStringLiteral("BackMainMenuObjectFromResult"),
        [&posted](const cvx::Notification &n) { posted.append(n.name); });
    QLineEdit *hospital = screen.find<QLineEdit>("hospitalLab");
    hospital->clear();
    QTest::keyClicks(hospital, QStringLiteral("Minato Dental ") + QString(15, u'x'));
    typeCharacter(hospital, kOutsideBasicPlane);  // 29 + 2: cut before the pair
    EXPECT_EQ(hospital->text().size(), 29);
    QTest::keyClicks(hospital, QString(40, u'x'));
    EXPECT_EQ(hospital->text().size(), 30);
    // The main window the finder handed over is where Back leads, whichever window is first.
    TYWindow mainWindow;
    screen.con.setMWindow(&mainWindow);

    QTest::mouseClick(screen.find<CustomButton>("backButton"), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(posted, QStringList{"BackMainMenuObjectFromResult"});
    EXPECT_FALSE(screen.con.zbbtime()->isRunning());
    EXPECT_FALSE(screen.con.window()->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(screen.opener.isVisible());
    EXPECT_EQ(screen.stored("Hospital"), hospital->text());
    EXPECT_EQ(screen.stored("Doctor"), "佐藤");
    EXPECT_TRUE(BBInitDatas::getHospital().value(QStringLiteral("hospital")).contains(hospital->text()));
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey(QStringLiteral("zhospital")), hospital->text());
}

TEST(ResultTableController, BackOnAFullDiskLeavesThePatientFileAndSaysSo) {
    ResultScreen screen;
    const QString path = UsbUtils::getXmlPath(QStringLiteral("A-100"));
    const std::optional<QByteArray> before = cvx::FileManager::readFile(path);
    QLineEdit *hospital = screen.find<QLineEdit>("hospitalLab");
    hospital->clear();
    QTest::keyClicks(hospital, QStringLiteral("Minato Dental"));
    TYWindow mainWindow;
    screen.con.setMWindow(&mainWindow);
    {
        const cvxtest::FileSizeLimit full(0);
        if (!full.active()) GTEST_SKIP() << "no file size limit can be set here";
        QTest::mouseClick(screen.find<CustomButton>("backButton"), Qt::LeftButton, {}, QPoint(20, 20));
    }
    EXPECT_FALSE(screen.con.window()->isVisible());
    EXPECT_EQ(cvx::FileManager::readFile(path), before);
    EXPECT_EQ(cvx::FileManager::contentsOfDirectory(UsbUtils::customerFolder()), QStringList{"A-100.xml"});
    EXPECT_TRUE(mainWindow.findChild<TYAlertView *>());
}

// Back on layout A with every row unticked elsewhere, the sheet must not compare with the
// result that was ticked before.
TEST(ResultTableController, LayoutAWithoutATickComparesWithNothing) {
    ResultScreen screen;
    ASSERT_EQ(screen.con.isDraw2(), 1);
    screen.con.checkTap3();
    screen.con.timeTap(0);
    ASSERT_EQ(screen.con.tabTimeCkAry(), (QStringList{"0", "0", "0"}));
    screen.con.checkTap();
    EXPECT_EQ(screen.con.isDraw2(), 0);
    EXPECT_EQ(screen.find<BBNetView>("netView")->isDrawTwo(), 0);
}

TEST(ResultTableController, NextOpensTheSheetOnlyThroughItsFactory) {
    {
        ResultScreen screen;
        screen.click(screen.find<CustomButton>("modifyBtn"));
        EXPECT_TRUE(shows(screen.message(), "sheet_unavailable"));
        EXPECT_TRUE(screen.con.window()->isVisible());
        EXPECT_TRUE(QDir(QDir::home().filePath(QStringLiteral("ResultData"))).exists());
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    std::optional<ResultSheetRequest> asked;
    ResultTableController::setTotalTableFactory([&asked](const ResultSheetRequest &request) {
        asked = request;
        return new TYWindowController(QStringLiteral("TotalTableController"));
    });
    ResultScreen screen;
    screen.click(screen.find<CustomButton>("modifyBtn"));
    ResultTableController::setTotalTableFactory({});
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->isNO, 1);
    EXPECT_EQ(asked->C22->dateT(), "2026-11-01 09:00");
    EXPECT_FALSE(asked->C23.has_value());
    EXPECT_EQ(asked->digiAry, kPositions);
    EXPECT_EQ(asked->lastWindow, &screen.opener);
    EXPECT_FALSE(screen.con.window()->isVisible());

    // The sheet gave the patient a new chart number.
    cvx::NotificationCenter::defaultCenter().postNotificationName(
        QStringLiteral("BackBeforeFromTotal"), QVariantMap{{QStringLiteral("nos"), QStringLiteral("B-200")}});
    EXPECT_EQ(screen.con.noString(), "B-200");
    EXPECT_TRUE(screen.con.savePath().endsWith("/Customer/B-200.xml"));
    EXPECT_TRUE(screen.con.zbbtime()->isRunning());
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
