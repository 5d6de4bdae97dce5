// The data link as the program wires it: a patient dropped into the input folder by the linked
// program is imported at launch, found on the entry form, measured through the simulated
// instrument, and handed back as a result CSV in the output folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include "AppFlowFixture.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/AutoUpdate.h"
#include "maintenance/OutputPWController.h"
#include "platform/FileManager.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"
#include "shell/CircularTimer.h"
#include "shell/MainMenuObject.h"
#include "shell/OpretionController.h"
#include "shell/TestViewController.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "support/InstrumentSimulator.h"

namespace {

const QString kChartNo = QStringLiteral("12345");
// A mode-3 record as the linked program writes it (Shift-JIS, TAB separated): an empty number
// field, so the file's name gives the chart number; 山田太郎, born 1980/1/1, male.
const QByteArray kPatientRecord =
    QByteArray::fromHex("098e52936391be985909d4cfc0de090909313938302f312f3109926a0909090909780d0a0d0a");

void writeFile(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(cvx::FileManager::writeAtomically(path, bytes));
}

QStringList filesIn(const QString &folder, const QString &pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files);
}

class DataLinkFlow : public appflow::LaunchedApp {
protected:
    DataLinkFlow() {
        const QString data = QDir::home().filePath(QStringLiteral(".Corvadenix"));
        writeFile(data + QStringLiteral("/ModeSetting.xml"),
                  "<DATA><MODE>3</MODE><DeleteBLD>0</DeleteBLD></DATA>");
        writeFile(data + QStringLiteral("/DataTransfer.xml"),
                  QStringLiteral("<DATA><INPUT>%1</INPUT><OUTPUT>%2</OUTPUT></DATA>")
                      .arg(inputFolder(), outputFolder())
                      .toUtf8());
        QDir().mkpath(outputFolder());
        writeFile(inputFile(), kPatientRecord);
        UsbManager::sharedUsbManager().setMode(-1);

        launch();
        waitForStateRequest();
    }

    QString inputFolder() const { return dir.filePath(QStringLiteral("in")); }
    QString outputFolder() const { return dir.filePath(QStringLiteral("out")); }
    QString inputFile() const {
        return inputFolder() + QStringLiteral("/") + kChartNo + QStringLiteral(".csv");
    }

    QTemporaryDir dir;
};

using appflow::click;
using appflow::type;

TEST_F(DataLinkFlow, ImportedPatientIsMeasuredAndHandedBackAsResultCsv) {
    // The launch imports the dropped file and removes it once stored.
    waitUntil([this] { return !cvx::FileManager::fileExists(inputFile()); });
    const auto imported = UsbUtils::getCustomerXml(kChartNo);
    ASSERT_TRUE(imported);
    EXPECT_EQ(imported->rootElement().elements().size(), 0);

    // 測定: the chart number finds the imported patient.
    click(menu.testBtn());
    auto *entry = qobject_cast<OpretionController *>(menu.opretionCon());
    ASSERT_TRUE(entry);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(entry->window()));
    type(entry->userIDTextField(), kChartNo);
    click(entry->searchButton());
    EXPECT_EQ(entry->firstNameTextField()->text(), QStringLiteral("山田太郎"));
    EXPECT_EQ(entry->yearLabel()->text(), QStringLiteral("1980"));
    ASSERT_TRUE(entry->okButton()->isEnabled()) << qPrintable(entry->okStatusLabel()->text());

    sim.clearHistory();
    click(entry->okButton());
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.chartNo(), kChartNo);
    ASSERT_TRUE(qobject_cast<TestViewController *>(entry->testViewController()));

    // Both passes arrive; the result is stored and both result files are written.
    sim.sendState(2, QStringLiteral("V1.00"));
    ASSERT_TRUE(sim.run());
    cvxtest::Measurement m;
    m.state = 2;
    sim.sendMeasurement(m);
    ASSERT_TRUE(sim.run());
    const QString backups = QDir::home().filePath(QStringLiteral("ResultData"));
    waitUntil([&] {
        return !filesIn(outputFolder(), QStringLiteral("*.csv")).isEmpty() &&
               !filesIn(backups, QStringLiteral("*.txt")).isEmpty();
    });
    const auto stored = UsbUtils::getCustomerXml(kChartNo);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->rootElement().elements().size(), 1);

    const QStringList csvs = filesIn(outputFolder(), QStringLiteral("*.csv"));
    ASSERT_EQ(csvs.size(), 1);
    EXPECT_TRUE(csvs.first().startsWith(kChartNo + QStringLiteral("_"))) << qPrintable(csvs.first());
    const QByteArray bytes = cvx::FileManager::readFile(outputFolder() + QStringLiteral("/") + csvs.first())
                                 .value_or(QByteArray());
    ASSERT_GE(bytes.size(), 2);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    EXPECT_TRUE(text.startsWith(QStringLiteral("name,山田太郎"))) << qPrintable(text.left(80));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\nRsvData,"))) << qPrintable(text);
    EXPECT_FALSE(text.contains(QStringLiteral("I_LEU"))) << qPrintable(text);

    // The text backup carries the same name.
    const QString stem = QFileInfo(csvs.first()).completeBaseName();
    EXPECT_EQ(filesIn(backups, QStringLiteral("*.txt")), QStringList{stem + QStringLiteral(".txt")});
}

}  // namespace
