// The whole program as main() wires it, with the instrument played by the simulator: a patient
// measured from the main menu to the printed result sheet and back, and the stored
// measurement found again through the result finder.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "AppFlowFixture.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/AutoUpdate.h"
#include "maintenance/OutputPWController.h"
#include "platform/FileLock.h"
#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "records/AppDelegate.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"
#include "review/OutputController.h"
#include "review/ResultTableController.h"
#include "sheet/TotalTableController.h"
#include "shell/MainMenuObject.h"
#include "shell/OpretionController.h"
#include "shell/TestViewController.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "shell/kit/WindowList.h"
#include "support/InstrumentSimulator.h"

namespace {

const QString kChartNo = QStringLiteral("P-100");

using appflow::click;
using appflow::type;

template <typename T>
T *inWindow(TYWindow *window, const char *name) {
    return window ? window->findChild<T *>(QString::fromLatin1(name)) : nullptr;
}

QString pdfText(const QString &pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(process.waitForFinished(60000));
    // The PDF's font names some kanji by their radical code points.
    return QString::fromUtf8(process.readAllStandardOutput())
        .normalized(QString::NormalizationForm_KC)
        .replace(QStringLiteral("⻭"), QStringLiteral("歯"));
}

class ProductFlow : public appflow::LaunchedApp {
protected:
    ProductFlow() {
        countdown.emplace();
        launch();
        TotalTableController::setPrinterSetup([this](QPrinter &printer, QWidget *) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdfPath());
            printer.setPageSize(QPageSize(QPageSize::A4));
            return true;
        });
        waitForStateRequest();
    }

    ~ProductFlow() override { TotalTableController::setPrinterSetup({}); }

    QString pdfPath() const { return dir.filePath(QStringLiteral("sheet.pdf")); }

    void instrument(int state) {
        sim.sendState(state, QStringLiteral("V1.00"));
        ASSERT_TRUE(sim.run());
    }

    // Opens a list of the entry form with its arrow button and clicks the entry.
    static void choose(OpretionController *entry, int tag, QComboBox *list, const QString &text) {
        click(entry->listButton(tag));
        QAbstractItemView *view = list->view();
        ASSERT_TRUE(QTest::qWaitFor([&] { return view->isVisible(); }));
        const int row = list->findText(text, Qt::MatchExactly);
        ASSERT_GE(row, 0) << qPrintable(text);
        const QModelIndex index = list->model()->index(row, 0);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isVisible(); }));
    }

    // Main menu -> 測定 -> the patient typed in -> OK: KARTE goes to the instrument.
    void enterPatient() {
        click(menu.testBtn());
        entry = qobject_cast<OpretionController *>(menu.opretionCon());
        ASSERT_TRUE(entry);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(entry->window()));
        ASSERT_TRUE(entry->okButton()->isEnabled()) << qPrintable(entry->okStatusLabel()->text());
        type(entry->userIDTextField(), kChartNo);
        type(entry->firstNameTextField(), QStringLiteral("佐藤"));
        type(entry->lastNameTextField(), QStringLiteral("花子"));
        choose(entry, 101, entry->yearComboBox(), QStringLiteral("1980"));
        choose(entry, 102, entry->monthComboBox(), QStringLiteral("04"));
        choose(entry, 103, entry->dayComboBox(), QStringLiteral("15"));
        click(entry->femaleCheckbox());
        sim.clearHistory();
        click(entry->okButton());
        ASSERT_TRUE(sim.run());
        EXPECT_EQ(sim.chartNo(), kChartNo);
        measuring = qobject_cast<TestViewController *>(entry->testViewController());
        ASSERT_TRUE(measuring);
        EXPECT_TRUE(measuring->window()->isVisible());
    }

    // The instrument measures and sends both passes; the result screen opens on them.
    void measure() {
        instrument(2);
        EXPECT_EQ(measuring->statePictureName(), QStringLiteral("表示_装置状態_測定中"));
        countdown->advanceSeconds(120);
        EXPECT_EQ(measuring->countdownText(), QStringLiteral(" \t \n残り179秒"));
        cvxtest::Measurement m;
        m.state = 2;
        m.second.time = QStringLiteral("09:12");
        sim.sendMeasurement(m);
        ASSERT_TRUE(sim.run());
        EXPECT_EQ(sim.unacknowledgedFrames(), 0);
        result = keyWindowOf("ResultTableController");
        ASSERT_TRUE(result);
    }

    // The key window, if it is the one made for that controller.
    static TYWindow *keyWindowOf(const char *controller) {
        TYWindow *key = kit::keyWindow();
        return key && key->objectName() == QLatin1String(controller) ? key : nullptr;
    }

    // What the result screen shows of the measurement: its time and its first value.
    static void expectShowsTheMeasurement(TYWindow *screen) {
        ASSERT_TRUE(screen);
        EXPECT_TRUE(screen->isVisible());
        EXPECT_EQ(inWindow<QLabel>(screen, "timeMainLab")->text(), QStringLiteral("2026-03-05 09:12"));
        auto *table = inWindow<QTableWidget>(screen, "tabView");
        ASSERT_TRUE(table);
        auto *value = qobject_cast<QLabel *>(table->cellWidget(0, 1));
        ASSERT_TRUE(value);
        bool number = false;
        value->text().toInt(&number);
        EXPECT_TRUE(number) << qPrintable(value->text());
    }

    static QString sheetFlg() {
        const auto file = UsbUtils::getCustomerXml(kChartNo);
        return file ? file->firstNodeForXPath(QStringLiteral("/DATA/comment[1]/SheetFlg")).stringValue()
                    : QString();
    }

    QTemporaryDir dir;
    QPointer<OpretionController> entry;
    QPointer<TestViewController> measuring;
    QPointer<TYWindow> result;
};

TEST_F(ProductFlow, MeasuredPatientIsPrintedAndTheMenuComesBack) {
    enterPatient();
    measure();
    expectShowsTheMeasurement(result);
    const auto file = UsbUtils::getCustomerXml(kChartNo);
    ASSERT_TRUE(file);
    const cvx::XmlElement patient = file->rootElement();
    EXPECT_EQ(patient.attribute(QStringLiteral("name")), QStringLiteral("佐藤 花子"));
    EXPECT_EQ(patient.attribute(QStringLiteral("birthday")), QStringLiteral("1980-04-15"));
    EXPECT_EQ(patient.attribute(QStringLiteral("sex")), QStringLiteral("1"));
    EXPECT_EQ(patient.elements().size(), 1);
    EXPECT_EQ(sheetFlg(), QStringLiteral("-"));

    // Next: the sheet, printed to a PDF.
    click(inWindow<CustomButton>(result, "modifyBtn"));
    TYWindow *sheet = keyWindowOf("TotalTableController");
    ASSERT_TRUE(sheet);
    EXPECT_FALSE(result->isVisible());
    click(inWindow<CustomButton>(sheet, "printBtn"));
    const QString text = pdfText(pdfPath());
    EXPECT_TRUE(text.contains(QStringLiteral("佐藤 花子 様"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("カルテ番号:P-100"))) << qPrintable(text);
    const QStringList levels = {"多め", "少なめ", "強め", "弱め", "高め", "低め", "平均レベル"};
    EXPECT_TRUE(
        std::any_of(levels.begin(), levels.end(), [&](const QString &w) { return text.contains(w); }));
    EXPECT_EQ(sheetFlg(), QStringLiteral("済"));

    // Back to the result screen, then back to the main menu, whose clock runs again.
    click(inWindow<CustomButton>(sheet, "bacBtn"));
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->isVisible());
    EXPECT_EQ(kit::keyWindow(), result);
    click(inWindow<CustomButton>(result, "backButton"));
    EXPECT_TRUE(menu.mainWindow()->isVisible());
    EXPECT_EQ(kit::keyWindow(), menu.mainWindow());
    EXPECT_TRUE(menu.zbbtime()->isRunning());

    // The instrument stands by again: the next patient starts from an empty entry form.
    instrument(1);
    click(menu.testBtn());
    auto *next = qobject_cast<OpretionController *>(menu.opretionCon());
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->window()->isVisible());
    EXPECT_EQ(kit::keyWindow(), next->window());
    EXPECT_TRUE(next->userIDTextField()->text().isEmpty());
    EXPECT_TRUE(next->okButton()->isEnabled()) << qPrintable(next->okStatusLabel()->text());
}

TEST_F(ProductFlow, StoredMeasurementIsFoundAgainThroughTheFinder) {
    enterPatient();
    measure();
    click(inWindow<CustomButton>(result, "backButton"));
    ASSERT_TRUE(menu.mainWindow()->isVisible());

    click(menu.outputBtn());
    auto *finder = qobject_cast<OutputController *>(menu.outputCon());
    ASSERT_TRUE(finder);
    ASSERT_TRUE(finder->window()->isVisible());
    type(finder->noTxtFid(), kChartNo);
    click(finder->searchButton());
    QTableView *table = finder->tabView();
    ASSERT_EQ(finder->numberOfRowsInTableView(), 1);
    const QRect cell = table->visualRect(table->model()->index(0, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    click(finder->editButton());
    ResultTableController *screen = finder->resultTableCon();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->noString(), kChartNo);
    expectShowsTheMeasurement(screen->window());

    // Back leads past the finder to the main menu.
    click(inWindow<CustomButton>(screen->window(), "backButton"));
    EXPECT_FALSE(finder->window()->isVisible());
    EXPECT_TRUE(menu.mainWindow()->isVisible());
    EXPECT_EQ(kit::keyWindow(), menu.mainWindow());
    EXPECT_TRUE(menu.zbbtime()->isRunning());
}

// Every file and folder below the home with its contents.
QMap<QString, QByteArray> homeSnapshot() {
    QMap<QString, QByteArray> entries;
    const QDir home(cvx::FileManager::homeDirectory());
    QDirIterator it(home.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries.insert(home.relativeFilePath(path), cvx::FileManager::readFile(path).value_or("<folder>"));
    }
    return entries;
}

// The real program started twice on one data folder: the second start finds the first, says
// so and ends without writing anything; the first's lock dies with it.
TEST(ProgramCopies, SecondOnOneDataFolderRefusesAndTouchesNothing) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QStringLiteral(CVX_PROGRAM));
    const QString defaults = cvx::UserDefaults::defaultFilePath();
    // Started up: the start-up's last choice is written.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return cvx::FileManager::readFile(defaults).value_or(QByteArray()).contains("resultChoiceNum");
        },
        60000));
    const QString lockFile = SettingsFiles::lockFilePath();
    EXPECT_TRUE(
        cvx::FileLock(lockFile, cvx::FileLock::Kind::File, cvx::FileLock::Mode::Try).isHeldElsewhere());
    const QMap<QString, QByteArray> before = homeSnapshot();
    // A fresh home: the folder made to hold the lock file is no earlier data to back up.
    EXPECT_TRUE(std::none_of(before.keyBegin(), before.keyEnd(),
                             [](const QString &path) { return path.startsWith(".Corvadenix_"); }));

    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(CVX_PROGRAM));
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(homeSnapshot(), before);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.kill();
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_TRUE(cvx::FileLock(lockFile, cvx::FileLock::Kind::File, cvx::FileLock::Mode::Try).isHeld());
}

}  // namespace
