// The patient-entry window, driven as the user drives it: keys typed into its fields, clicks
// on its buttons and lists, the instrument played by the simulator.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTime>

#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/HidManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/OpretionController.h"
#include "shell/ShellNotifications.h"
#include "shell/entry/BirthDateLists.h"
#include "shell/entry/EntryNotifications.h"
#include "shell/entry/MeasuringWindowStandIn.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "support/FileSizeLimit.h"
#include "support/InstrumentSimulator.h"

namespace {

QString patientPath(const QString &chartNo) {
    return UsbUtils::customerFolder() + "/" + chartNo + ".xml";
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writePatient(const QString &chartNo, const QByteArray &xml) {
    ASSERT_TRUE(cvx::FileManager::createDirectory(UsbUtils::customerFolder()));
    ASSERT_TRUE(cvx::FileManager::writeAtomically(patientPath(chartNo), xml));
}

QByteArray patientXml(const char *name, const char *birthday, const char *age, const char *sex,
                      const char *remark = "") {
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"") + name + "\" birthday=\"" +
           birthday + "\" age=\"" + age + "\" sex=\"" + sex +
           "\">\n    <comment date=\"2026/01/02\" time=\"10:00\">\n        <Remark>" + remark +
           "</Remark>\n    </comment>\n</DATA>\n";
}

// Types as a keyboard does: Latin characters as key presses, the rest as the input method
// hands over converted text.
void type(QWidget *widget, const QString &text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(c));
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QCoreApplication::sendEvent(widget, &commit);
        }
    }
}

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

class EntryWindow : public testing::Test {
protected:
    EntryWindow() {
        entry::setNowProvider([] { return QDateTime(QDate(2026, 3, 5), QTime(10, 0)); });
        AppDelegate::shared().setIsTest(true);
        UsbManager::sharedUsbManager().connectHID();
        sim.attach();
        EXPECT_TRUE(sim.run());
        menu.makeKeyAndOrderFront();
    }
    ~EntryWindow() override {
        delete con;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sim.detach();
        cvx::HidManager::processPendingEvents();
        UsbManager::resetSharedForTesting();
        entry::setNowProvider({});
        OpretionController::setDefaultMeasuringWindowFactory({});
    }

    // The instrument stands by, as after the start-up's state request.
    void standBy(int state = 1) {
        sim.sendState(state, QStringLiteral("V1.00"));
        ASSERT_TRUE(sim.run());
        ASSERT_EQ(UsbHID::sharedManager().deviceStatus(), state);
    }

    OpretionController &open() {
        con = new OpretionController;
        con->window()->setLastWindow(&menu);
        con->showWindow();
        menu.orderOut();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(con->window()));
        return *con;
    }

    QComboBox *listFor(int tag) {
        switch (tag) {
            case 100:
                return con->listIDCombobox();
            case 101:
                return con->yearComboBox();
            case 102:
                return con->monthComboBox();
            default:
                return con->dayComboBox();
        }
    }

    QStringList items(int tag) {
        QStringList texts;
        for (int i = 0; i < listFor(tag)->count(); ++i) texts.append(listFor(tag)->itemText(i));
        return texts;
    }

    // Opens the list with its arrow button and clicks the entry.
    void choose(int tag, const QString &text) {
        QTest::mouseClick(con->listButton(tag), Qt::LeftButton);
        QComboBox *list = listFor(tag);
        QAbstractItemView *view = list->view();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }));
        const int row = list->findText(text, Qt::MatchExactly);
        ASSERT_GE(row, 0) << qPrintable(text);
        const QModelIndex index = list->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isVisible(); }));
    }

    void chooseDate(const char *year, const char *month, const char *day) {
        choose(101, year);
        choose(102, month);
        choose(103, day);
    }

    bool showsMessage(const char *code) {
        return con->alertInfoView()->isVisible() &&
               con->alertInfoImageView()->pixmap().toImage() == kit::picture(code).toImage();
    }

    // Everything the form shows: chart number, names, date parts, age, sex, remark.
    QStringList shown() {
        const QString sex = con->maleCheckbox()->isChecked()     ? "0"
                            : con->femaleCheckbox()->isChecked() ? "1"
                                                                 : "";
        return {con->userIDTextField()->text(),
                con->firstNameTextField()->text(),
                con->lastNameTextField()->text(),
                con->yearLabel()->text(),
                con->monthLabel()->text(),
                con->dayLabel()->text(),
                con->ageLabel()->text(),
                sex,
                con->remarkTestView()->toPlainText()};
    }

    void dismissMessage() {
        con->hiddenAlertInfoView();
        ASSERT_FALSE(con->alertInfoView()->isVisible());
    }

    cvxtest::InstrumentSimulator sim;
    TYWindow menu;
    OpretionController *con = nullptr;
};

TEST_F(EntryWindow, ChartNumberTakesOnlyWhatNamesAPatient) {
    open();
    IDTextField *field = con->userIDTextField();
    EXPECT_TRUE(field->hasFocus());
    type(field, "A-12/");
    type(field, QStringLiteral("あ"));
    EXPECT_EQ(field->text(), "A-12");
    EXPECT_EQ(field->cursorPosition(), 4);
    field->setCursorPosition(1);  // a refused key in the middle leaves the caret where it was
    type(field, ":");
    EXPECT_EQ(field->text(), "A-12");
    EXPECT_EQ(field->cursorPosition(), 1);

    field->end(false);
    type(field, QString(27, u'9'));
    EXPECT_EQ(field->text(), "A-12" + QString(26, u'9'));

    // Clearing is accepted, and the empty field is what a refused key then brings back.
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    type(field, " ");
    EXPECT_EQ(field->text(), "");
}

TEST_F(EntryWindow, NamesAndRemarkAreCut) {
    open();
    type(con->firstNameTextField(), QStringLiteral("山田山田山田山田山田山田山田山田"));
    EXPECT_EQ(con->firstNameTextField()->text(), QStringLiteral("山田山田山田山田山田山田山田山"));
    type(con->lastNameTextField(), "abcdefghijklmnop");
    EXPECT_EQ(con->lastNameTextField()->text(), "abcdefghijklmno");

    QPlainTextEdit *remark = con->remarkTestView();
    remark->setFocus();
    type(remark, QString(39, u'x'));
    type(remark, QStringLiteral("メモ"));
    settle();
    EXPECT_EQ(remark->toPlainText(), QString(39, u'x') + QStringLiteral("メ"));
}

TEST_F(EntryWindow, BirthDateListsFollowTheCalendar) {
    open();
    const QStringList years = items(101);
    ASSERT_EQ(years.size(), 2026 - 1900 + 2);
    EXPECT_EQ(years.first(), "1900");
    EXPECT_EQ(years.last(), "");
    EXPECT_TRUE(items(102).isEmpty());

    const struct {
        const char *year, *month;
        int days;
    } februaries[] = {{"2000", "02", 29}, {"1900", "02", 28}, {"2024", "02", 29}, {"2023", "02", 28}};
    for (const auto &c : februaries) {
        choose(101, c.year);
        choose(102, c.month);
        const QStringList days = items(103);
        ASSERT_EQ(days.size(), c.days + 1) << c.year;
        EXPECT_EQ(days.first(), "");
        EXPECT_EQ(days.last(), QString::number(c.days));
    }
    EXPECT_EQ(items(102).first(), "");
    EXPECT_EQ(items(102).last(), "12");

    chooseDate("2000", "01", "31");
    EXPECT_EQ(con->dayLabel()->text(), "31");
    EXPECT_EQ(con->ageLabel()->text(), "26");
    choose(102, "04");
    EXPECT_EQ(con->dayLabel()->text(), "01");
    EXPECT_EQ(items(103).size(), 31);
    EXPECT_EQ(con->ageLabel()->text(), "25");

    // The empty year empties the day and the age; the month stays.
    choose(101, "");
    EXPECT_EQ(con->yearLabel()->text(), "");
    EXPECT_EQ(con->monthLabel()->text(), "04");
    EXPECT_EQ(con->dayLabel()->text(), "");
    EXPECT_EQ(con->ageLabel()->text(), "");
    EXPECT_TRUE(items(103).isEmpty());
}

TEST_F(EntryWindow, SearchByChartNumber) {
    writePatient("P-100", patientXml("Yamada Taro", "1980-05-06", "45", "0", "allergy"));
    writePatient("lower", patientXml("Lee Ann", "1990-01-02", "36", "1"));
    open();

    type(con->userIDTextField(), "P-100");
    QTest::mouseClick(con->searchButton(), Qt::LeftButton);
    EXPECT_FALSE(con->alertInfoView()->isVisible());
    const QStringList found{"P-100", "Yamada", "Taro", "1980", "05", "06", "45", "0", "allergy"};
    EXPECT_EQ(shown(), found);
    // The day list belongs to the shown month once opened.
    QTest::mouseClick(con->listButton(103), Qt::LeftButton);
    EXPECT_EQ(items(103).size(), 32);
    con->dayComboBox()->hidePopup();

    // The number matches ignoring case, and the file found is opened under its own name, so
    // that OK writes to that patient's file.
    con->userIDTextField()->clear();
    type(con->userIDTextField(), "LOWER");
    QTest::mouseClick(con->searchButton(), Qt::LeftButton);
    EXPECT_FALSE(con->alertInfoView()->isVisible());
    EXPECT_EQ(shown().mid(0, 7), QStringList({"lower", "Lee", "Ann", "1990", "01", "02", "36"}));

    for (const char *missing : {"P-101", "Check_Measure_Result", "check_measure_result"}) {
        con->userIDTextField()->clear();
        type(con->userIDTextField(), missing);
        QTest::mouseClick(con->searchButton(), Qt::LeftButton);
        EXPECT_TRUE(showsMessage("W301")) << missing;
        EXPECT_EQ(shown(), QStringList({missing, "", "", "", "", "", "", "", ""}));
        dismissMessage();
    }

    con->userIDTextField()->clear();
    QTest::mouseClick(con->searchButton(), Qt::LeftButton);
    EXPECT_TRUE(showsMessage("W302"));
}

TEST_F(EntryWindow, SearchByNameInEachMode) {
    writePatient("T1", patientXml("Tanaka Taro", "1970-01-01", "56", "0"));
    writePatient("T2", patientXml("Tanabe Takeshi", "1975-02-03", "51", "1"));
    writePatient("T3", patientXml("Sato Ichiro Jiro", "1960-12-31", "65", "2"));
    writePatient("BAD", "DATA name=Tanaka Taro");                 // no element, even when repaired
    writePatient("CUT", "<DATA name=\"Tanaka Taro\"><comment>");  // read as repaired
    ASSERT_TRUE(cvx::FileManager::createDirectory(UsbUtils::customerFolder() + "/old"));
    ASSERT_TRUE(cvx::FileManager::writeAtomically(UsbUtils::customerFolder() + "/old/T9.xml",
                                                  patientXml("Tanaka Hanako", "1999-09-09", "26", "1")));
    ASSERT_TRUE(cvx::FileManager::writeAtomically(UsbUtils::customerFolder() + "/Check_Measure_Result.xml",
                                                  patientXml("Tanaka", "", "", "0")));
    const struct {
        int mode;
        const char *first, *last;
        QStringList matches;
    } cases[] = {
        {0, "Tan", "", {"CUT", "T1", "T2", "old/T9"}},
        {0, "Tanaka", "", {"CUT", "T1", "old/T9"}},
        {0, "", "Ta", {"CUT", "T1", "T2"}},
        {0, "Tanaka", "taro", {}},  // case counts
        {0, "Sato", "Jiro", {"T3"}},
        {0, "", "Ichiro", {}},  // the middle word is no name
        {5, "Tanaka", "Taro", {"CUT", "T1"}},
        {3, "Tanaka Taro", "", {"CUT", "T1"}},
        {3, "", "Taro", {}},  // in modes 3 and 4 the whole name is the first name
        {4, "Tanabe T", "", {"T2"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " " << c.first << "/" << c.last);
        UsbManager::sharedUsbManager().setMode(c.mode);
        open();
        type(con->firstNameTextField(), c.first);
        type(con->lastNameTextField(), c.last);
        QTest::mouseClick(con->searchButton(), Qt::LeftButton);
        QStringList found;
        for (const OCMCustInfo &record : con->userArray()) found.append(record.customerNo());
        found.sort();
        EXPECT_EQ(found, c.matches);
        EXPECT_EQ(items(100).size(), c.matches.size());
        if (c.matches.isEmpty()) {
            EXPECT_TRUE(showsMessage("W301"));
        } else {
            EXPECT_FALSE(con->alertInfoView()->isVisible());
            EXPECT_EQ(con->userIDTextField()->text(), con->userArray().first().customerNo());
        }
        delete con;
        con = nullptr;
    }

    // A match chosen from the list is shown, its age worked out again.
    UsbManager::sharedUsbManager().setMode(0);
    open();
    type(con->lastNameTextField(), "Ta");
    QTest::mouseClick(con->searchButton(), Qt::LeftButton);
    const QString second = con->userArray().at(1).customerNo();
    choose(100, second);
    EXPECT_EQ(con->userIDTextField()->text(), second);
    const OCMCustInfo &shown = con->userArray().at(1);
    EXPECT_EQ(con->firstNameTextField()->text(), shown.firstname());
    EXPECT_EQ(con->ageLabel()->text(), second == "T1" ? "56" : "51");
}

TEST_F(EntryWindow, OkRegistersThePatientAndSendsTheChartNumber) {
    standBy();
    open();
    ASSERT_TRUE(con->okButton()->isEnabled());
    type(con->userIDTextField(), "A-0123");
    type(con->firstNameTextField(), QStringLiteral("山田"));
    type(con->lastNameTextField(), QStringLiteral("花子"));
    chooseDate("2000", "02", "29");
    EXPECT_EQ(con->ageLabel()->text(), "26");
    QTest::mouseClick(con->femaleCheckbox(), Qt::LeftButton);
    con->remarkTestView()->setFocus();
    type(con->remarkTestView(), QStringLiteral(" 金属アレルギー "));
    sim.clearHistory();
    QTest::mouseClick(con->okButton(), Qt::LeftButton);

    const OCMCustInfo &info = UsbManager::sharedUsbManager().currentCustInfo();
    EXPECT_EQ(info.customerNo(), "A-0123");
    EXPECT_EQ(info.birthday(), "2000-02-29");
    EXPECT_EQ(info.sex(), "1");
    EXPECT_EQ(info.remark(), QStringLiteral(" 金属アレルギー "));
    EXPECT_EQ(
        QString::fromUtf8(readAll(patientPath("A-0123"))),
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                       "<DATA name=\"山田 花子\" birthday=\"2000-02-29\" age=\"26\" sex=\"1\"></DATA>\n"));
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("A-0123_remark"), QStringLiteral("金属アレルギー"));
    EXPECT_EQ(cvx::UserDefaults(cvx::UserDefaults::defaultFilePath()).stringForKey("A-0123_remark"),
              QStringLiteral("金属アレルギー"));  // on disk at once

    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.chartNo(), "A-0123");
    ASSERT_FALSE(sim.reports().isEmpty());
    EXPECT_EQ(sim.reports().first(), QByteArray("\x05"));
    bool karte = false;
    for (const cvxtest::Frame &frame : sim.requests()) {
        if (frame.text != "002002X|KARTE\rY|ID^A-0123\r") continue;
        karte = true;
        EXPECT_TRUE(frame.checksumOk());
        EXPECT_EQ(frame.terminator, '\x03');
    }
    EXPECT_TRUE(karte);

    // The measuring window replaces this one, which stays hidden, not closed.
    auto *measuring = qobject_cast<MeasuringWindowStandIn *>(con->testViewController());
    ASSERT_TRUE(measuring);
    EXPECT_EQ(measuring->windowNibName(), "TestViewController");
    EXPECT_EQ(measuring->chartNo(), "A-0123");
    EXPECT_TRUE(measuring->window()->isVisible());
    EXPECT_EQ(measuring->window()->lastWindow(), con->window());
    EXPECT_FALSE(con->window()->isVisible());
    EXPECT_FALSE(con->btime()->isRunning());

    // Back from the measuring window: this window and its clock return.
    QTest::mouseClick(measuring->backButton(), Qt::LeftButton);
    EXPECT_TRUE(con->window()->isVisible());
    EXPECT_TRUE(con->btime()->isRunning());
}

TEST_F(EntryWindow, OkKeepsStoredResultsAndWritesOnlyTheFourAttributes) {
    const QByteArray stored = R"(<?xml version="1.0" encoding="UTF-8"?>
<DATA name="Old Name" birthday="1950-01-01" age="76" sex="0" memo="x">
    <comment date="2026/01/02" time="10:00">
        <Remark>r1</Remark>
    </comment>
    <comment date="2025/12/01" time="09:00">
        <Remark>r0</Remark>
    </comment>
</DATA>
)";
    writePatient("B7", stored);
    standBy(6);
    open();
    type(con->userIDTextField(), "B7");
    QTest::mouseClick(con->okButton(), Qt::LeftButton);
    QByteArray expected = stored;
    expected.replace(R"(name="Old Name" birthday="1950-01-01" age="76" sex="0" memo="x")",
                     R"(name="" birthday="" age="" sex="2")");
    EXPECT_EQ(readAll(patientPath("B7")), expected);
    EXPECT_EQ(cvx::UserDefaults::standard().objectForKey("B7_remark"), QVariant(QString("")));
}

TEST_F(EntryWindow, OkOnAFullDiskKeepsTheFileSaysSoAndStays) {
    const QByteArray stored = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"Old\"></DATA>\n";
    writePatient("B8", stored);
    standBy();
    open();
    type(con->userIDTextField(), "B8");
    type(con->firstNameTextField(), "Taro");
    sim.clearHistory();
    {
        const cvxtest::FileSizeLimit full(0);
        if (!full.active()) GTEST_SKIP() << "no file size limit can be set here";
        QTest::mouseClick(con->okButton(), Qt::LeftButton);
    }
    EXPECT_EQ(readAll(patientPath("B8")), stored);
    EXPECT_TRUE(con->window()->findChild<TYAlertView *>());
    EXPECT_EQ(con->firstNameTextField()->text(), "Taro");  // kept for another try
    EXPECT_FALSE(con->testViewController());
    EXPECT_TRUE(con->window()->isVisible());
    ASSERT_TRUE(sim.run());
    EXPECT_TRUE(sim.reports().isEmpty());
}

TEST_F(EntryWindow, OkRefusesWhatNamesNoPatientFile) {
    standBy();
    open();
    const struct {
        const char *chartNo;
        const char *message;
    } cases[] = {{"", "W302"}, {"Check_Measure_Result", "W301"}, {"CHECK_MEASURE_RESULT", "W301"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.chartNo);
        con->userIDTextField()->clear();
        type(con->userIDTextField(), c.chartNo);
        type(con->firstNameTextField(), "Taro");
        sim.clearHistory();
        QTest::mouseClick(con->okButton(), Qt::LeftButton);
        EXPECT_TRUE(showsMessage(c.message));
        EXPECT_EQ(shown(), QStringList({c.chartNo, "", "", "", "", "", "", "", ""}));
        EXPECT_FALSE(con->testViewController());
        EXPECT_TRUE(con->window()->isVisible());
        ASSERT_TRUE(sim.run());
        EXPECT_TRUE(sim.reports().isEmpty());
        dismissMessage();
    }
    EXPECT_TRUE(cvx::FileManager::subpaths(UsbUtils::customerFolder()).isEmpty());
    EXPECT_TRUE(UsbManager::sharedUsbManager().currentCustInfo().customerNo().isEmpty());
}

TEST_F(EntryWindow, OkButtonFollowsTheInstrumentAndTheFirmware) {
    open();
    const auto okShows = [&](const char *picture) {
        return con->okButton()->image().toImage() == kit::picture(picture).toImage();
    };
    EXPECT_FALSE(con->okButton()->isEnabled());  // no state received yet
    for (int state = -1; state <= 9; ++state) {
        for (bool agrees : {true, false}) {
            SCOPED_TRACE(testing::Message() << "state " << state << (agrees ? "" : ", firmware differs"));
            AppDelegate::shared().setIsTest(agrees);
            cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kChangeOkButtonStatus);
            UsbHID::sharedManager().setDeviceStatus(state);
            const bool enabled = agrees && (state == 1 || state == 6);
            EXPECT_EQ(con->okButton()->isEnabled(), enabled);
            EXPECT_TRUE(okShows(enabled ? "ボタン_OK_" : "ボタン_OK_OFF"));
            EXPECT_EQ(con->okButton()->hoverImageName(), enabled ? "ボタン_OK_ON" : "ボタン_OK_OFF");
            EXPECT_EQ(con->okStatusLabel()->text().isEmpty(), enabled);
        }
    }
    // The firmware check's verdict arrives later than the state.
    AppDelegate::shared().setIsTest(false);
    standBy();
    EXPECT_FALSE(con->okButton()->isEnabled());
    AppDelegate::shared().setIsTest(true);
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kChangeOkButtonStatus);
    EXPECT_TRUE(con->okButton()->isEnabled());
    // A disabled OK does nothing when clicked.
    sim.detach();
    ASSERT_TRUE(sim.run());
    EXPECT_FALSE(con->okButton()->isEnabled());
    type(con->userIDTextField(), "X1");
    QTest::mouseClick(con->okButton(), Qt::LeftButton);
    EXPECT_FALSE(cvx::FileManager::fileExists(patientPath("X1")));
}

TEST_F(EntryWindow, OpeningShowsThePatientOfAnUnfinishedMeasurement) {
    OCMCustInfo &info = UsbManager::sharedUsbManager().currentCustInfo();
    info.setCustomerNo("R-5");
    info.setFirstname("Suzuki");
    info.setLastname("Ken");
    info.setBirthday("1988-07-14");
    info.setAge("37");
    info.setSex("0");
    info.setRemark("retest");
    open();
    EXPECT_EQ(shown(), QStringList({"R-5", "Suzuki", "Ken", "1988", "07", "14", "37", "0", "retest"}));
    // The number put back counts as typed: a refused key keeps it.
    type(con->userIDTextField(), "/");
    EXPECT_EQ(con->userIDTextField()->text(), "R-5");
}

TEST_F(EntryWindow, ClosingReturnsToTheMenu) {
    int posted = 0;
    QObject owner;
    cvx::NotificationCenter::defaultCenter().addObserver(&owner, shell::kBackSetMenuObjectFromOperation,
                                                         [&](const cvx::Notification &) { ++posted; });
    open();
    QTest::mouseClick(con->backButton(), Qt::LeftButton);
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(con->window()->isVisible());
    EXPECT_TRUE(menu.isVisible());
    EXPECT_FALSE(con->btime()->isRunning());
    // No longer following the instrument.
    UsbHID::sharedManager().setDeviceStatus(1);
    EXPECT_FALSE(con->okButton()->isEnabled());
}

// With CVX_SCREENSHOT_DIR set, the pictures are kept there for people to look at.
TEST_F(EntryWindow, Screenshot) {
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    const auto keep = [&](const QImage &image, const char *name) {
        if (!dir.isEmpty()) image.save(QDir(dir).filePath(QString::fromLatin1(name)));
    };
    standBy();
    open();
    type(con->userIDTextField(), "A-0123");
    type(con->firstNameTextField(), QStringLiteral("山田"));
    type(con->lastNameTextField(), QStringLiteral("花子"));
    chooseDate("1985", "11", "03");
    QTest::mouseClick(con->femaleCheckbox(), Qt::LeftButton);
    con->remarkTestView()->setFocus();
    type(con->remarkTestView(), QStringLiteral("金属アレルギーあり"));
    con->userIDTextField()->setFocus();
    settle();
    const QImage image = con->window()->grab().toImage();
    EXPECT_EQ(image.size(), QSize(960, 720));
    keep(image, "entry.png");
    UsbHID::sharedManager().setDeviceStatus(-1);
    keep(con->window()->grab().toImage(), "entry_off.png");
    QTest::mouseClick(con->listButton(101), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return con->yearComboBox()->view()->isVisible(); }));
    keep(con->yearComboBox()->view()->window()->grab().toImage(), "entry_years.png");
    con->yearComboBox()->hidePopup();
    con->showAlertView(QStringLiteral("W301"));
    keep(con->window()->grab().toImage(), "entry_w301.png");
}

}  // namespace
