#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "datamanage/ManagerMainController.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "records/SettingsFixture.h"
#include "records/UsbUtils.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/TYWindow.h"

namespace {

using cvx::FileManager;
using Kind = ManagerMainController::ChooserKind;

const char *kPatient =
    "<DATA name=\"山田 花子\" birthday=\"1980-04-01\" age=\"44\" sex=\"1\"><comment date=\"2024-05-06\" "
    "time=\"10:00\"><Hospital>h</Hospital><Doctor>d</Doctor><SheetFlg>-</SheetFlg><Remark/><TotalComment/>"
    "<MS>多め</MS><DataValue1>1.0|50</DataValue1><Content1/></comment></DATA>";

class ManagerMainControllerTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    void TearDown() override {
        delete controller;
        UsbManager::resetSharedForTesting();
    }
    void open() {
        delete controller;
        controller = new ManagerMainController;
        controller->setChooser([this](Kind kind, QWidget *) {
            asked.append(kind);
            return chosen;
        });
        controller->showWindow();
    }
    void setMode(int mode) {
        UsbManager::resetSharedForTesting();
        settingsfixture::installText("ModeSetting.xml",
                                     QStringLiteral("<DATA><MODE>%1</MODE></DATA>").arg(mode));
    }
    void click(QAbstractButton *button) {
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->objectName().toStdString();
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QString folder(const QString &name) {
        const QString path = FileManager::homeDirectory() + u'/' + name;
        EXPECT_TRUE(FileManager::createDirectory(path));
        return path;
    }
    // Picks the mode, chooses `path` and starts the job; waits for its completion.
    void run(QAbstractButton *mode, const QString &path) {
        click(mode);
        chosen = path;
        click(controller->inputFileButton());
        click(controller->okButton());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isRunning(); }, 20000));
    }
    TYAlertView *alert() const { return controller->window()->findChild<TYAlertView *>(); }

    ManagerMainController *controller = nullptr;
    QString chosen;
    QList<Kind> asked;
};

TEST_F(ManagerMainControllerTest, EachModeButtonShowsItsPanelAndChooser) {
    struct Case {
        CustomButton *(ManagerMainController::*button)() const;
        int sign;
        const char *picture;
        Kind chooser;
    };
    const Case cases[] = {
        {&ManagerMainController::inputButton, 1, "画面_読込み", Kind::Folder},
        {&ManagerMainController::outputButton, 2, "画面_取出し", Kind::Folder},
        {&ManagerMainController::userInfoButton, 3, "画面_患者情報読込み", Kind::CsvFile},
        {&ManagerMainController::tableButton, 4, "画面_一覧表作成", Kind::Folder},
    };
    EXPECT_FALSE(controller->backImg()->isVisible());
    chosen = QStringLiteral("/some/where");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.picture);
        controller->filePathLab()->setText(QStringLiteral("left over"));
        click((controller->*c.button)());
        EXPECT_EQ(controller->sign(), c.sign);
        EXPECT_EQ(controller->inputPicture(), QString::fromUtf8(c.picture));
        EXPECT_TRUE(controller->backImg()->isVisible());
        EXPECT_TRUE(controller->okButton()->isVisible());
        EXPECT_EQ(controller->filePathLab()->text(), "");
        EXPECT_FALSE(controller->checkBoxBtn()->isVisible());
        click(controller->inputFileButton());
        EXPECT_EQ(asked.last(), c.chooser);
        EXPECT_EQ(controller->filePathLab()->text(), chosen);
    }
}

TEST_F(ManagerMainControllerTest, JobsRunWithTheChosenFolderAndShowTheirOutcome) {
    settingsfixture::installText("Customer/1001.xml", QString::fromUtf8(kPatient));
    const QString lists = folder("lists"), exports = folder("exports");

    run(controller->tableButton(), lists);
    EXPECT_EQ(controller->signPicture(), "made_list");
    EXPECT_TRUE(controller->sureImg()->isVisible());
    EXPECT_TRUE(FileManager::fileExists(lists + "/検査結果一覧.xls"));
    click(controller->sureButton());  // a success goes back to the mode buttons
    EXPECT_FALSE(controller->sureImg()->isVisible());
    EXPECT_FALSE(controller->backImg()->isVisible());

    run(controller->outputButton(), exports);
    EXPECT_EQ(controller->signPicture(), "export_success");
    EXPECT_EQ(FileManager::contentsOfDirectory(exports).size(), 1);
    click(controller->sureButton());

    // A folder without patient data fails; Confirm goes back to no mode, since the export
    // before left its 200. In a fresh window it goes back to the same job.
    run(controller->inputButton(), folder("empty"));
    EXPECT_EQ(controller->signPicture(), "E404");
    click(controller->sureButton());
    EXPECT_FALSE(controller->backImg()->isVisible());
    open();
    run(controller->inputButton(), folder("empty"));
    click(controller->sureButton());
    EXPECT_TRUE(controller->backImg()->isVisible());
    EXPECT_TRUE(controller->okButton()->isEnabled());

    // Only Customer: the patients are merged, and the import still fails.
    folder("only/Customer");
    ASSERT_TRUE(
        FileManager::writeAtomically(FileManager::homeDirectory() + "/only/Customer/3003.xml", kPatient));
    run(controller->inputButton(), FileManager::homeDirectory() + "/only");
    EXPECT_EQ(controller->signPicture(), "E404");
    EXPECT_TRUE(FileManager::fileExists(settingsfixture::dataPath("Customer/3003.xml")));
    click(controller->sureButton());

    const QString list = FileManager::homeDirectory() + "/list.csv";
    ASSERT_TRUE(FileManager::writeAtomically(list, "2002,Taro,Suzuki,1990/1/2,M,\n"));
    run(controller->userInfoButton(), list);
    EXPECT_EQ(controller->signPicture(), "import_success");
    EXPECT_TRUE(FileManager::fileExists(settingsfixture::dataPath("Customer/2002.xml")));
}

TEST_F(ManagerMainControllerTest, OkWithoutAPathWarnsAndResetsTheSelectionKeys) {
    cvx::UserDefaults::standard().setObject(QStringLiteral("ticked before"), "ztotal");
    ASSERT_TRUE(cvx::UserDefaults::standard().flush());
    click(controller->inputButton());
    click(controller->okButton());
    EXPECT_EQ(controller->signPicture(), "W306");
    EXPECT_EQ(controller->signResult(), 306);
    EXPECT_EQ(cvx::UserDefaults::standard().stringForKey("ztotal"), "");
    EXPECT_EQ(cvx::UserDefaults(cvx::UserDefaults::defaultFilePath()).stringForKey("ztotal"), "");  // at once
    click(controller->sureButton());
    EXPECT_TRUE(controller->okButton()->isVisible());

    click(controller->outputButton());
    click(controller->okButton());
    EXPECT_EQ(controller->lastAlert(), "W305");
    EXPECT_NE(alert(), nullptr);
    EXPECT_FALSE(controller->isRunning());
}

TEST_F(ManagerMainControllerTest, NothingToListWarnsW311) {
    run(controller->tableButton(), folder("lists"));
    EXPECT_EQ(controller->lastAlert(), "W311");
    EXPECT_FALSE(controller->sureImg()->isVisible());
    EXPECT_FALSE(controller->backImg()->isVisible());
}

TEST_F(ManagerMainControllerTest, CancelStopsTheJobAndShowsTheStopOnce) {
    settingsfixture::installText("Customer/1001.xml", QString::fromUtf8(kPatient));
    const QString exports = folder("exports");
    click(controller->outputButton());
    chosen = exports;
    click(controller->inputFileButton());
    click(controller->okButton());
    EXPECT_TRUE(controller->isRunning());
    EXPECT_FALSE(controller->okButton()->isEnabled());
    EXPECT_TRUE(controller->tiSLab()->isVisible());
    // One job at a time, and no way out while it runs.
    EXPECT_FALSE(controller->inputButton()->isEnabled());
    EXPECT_FALSE(controller->backButton()->isEnabled());
    // Nor through the window manager: the job would be dropped without a word.
    EXPECT_FALSE(controller->window()->close());
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_TRUE(controller->isRunning());

    click(controller->cancelButton());
    EXPECT_EQ(controller->lastAlert(), "made_data_stop");
    EXPECT_FALSE(controller->backImg()->isVisible());
    EXPECT_FALSE(controller->tiSLab()->isVisible());
    alert()->okButtonClicked();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !controller->isRunning(); }, 20000));
    EXPECT_EQ(alert(), nullptr);  // shown once
    EXPECT_FALSE(controller->sureImg()->isVisible());
    EXPECT_TRUE(controller->inputButton()->isEnabled());
}

// Cancel stays clickable below the outcome of a finished job: it leaves the mode and says
// nothing about a stop, since nothing was running.
TEST_F(ManagerMainControllerTest, CancelAfterTheOutcomeShowsNoStopMessage) {
    settingsfixture::installText("Customer/1001.xml", QString::fromUtf8(kPatient));
    for (QAbstractButton *mode : {controller->outputButton(), controller->inputButton()}) {
        run(mode, folder("chosen"));
        ASSERT_TRUE(controller->sureImg()->isVisible());
        click(controller->cancelButton());
        EXPECT_EQ(alert(), nullptr) << controller->signPicture().toStdString();
        EXPECT_TRUE(controller->lastAlert().isEmpty());
        EXPECT_FALSE(controller->backImg()->isVisible());
    }
}

TEST_F(ManagerMainControllerTest, DataLinkModeHidesPatientImportAndOffersBlankRows) {
    setMode(3);
    settingsfixture::installText("DataTransfer.xml", "<DATA><INPUT>/link/in</INPUT><OUTPUT/></DATA>");
    open();
    EXPECT_FALSE(controller->userInfoButton()->isVisible());
    click(controller->tableButton());
    EXPECT_EQ(controller->inputPicture(), "画面_一覧表作成_データ連携");
    EXPECT_TRUE(controller->checkBoxBtn()->isVisible());
    controller->userInfoTap();
    EXPECT_EQ(controller->inputPicture(), "画面_連携患者情報読込み");
    EXPECT_EQ(controller->filePathLab()->text(), "/link/in");
    EXPECT_FALSE(controller->checkBoxBtn()->isVisible());
}

TEST_F(ManagerMainControllerTest, DataLinkImportStoresTheFolderAndShowsItsFailure) {
    setMode(3);
    const QString input = folder("input");
    ASSERT_TRUE(FileManager::writeAtomically(input + "/bad.csv", "not a patient\n"));
    // The home folder may hold the data folder: refused, as the maintenance panel refuses it.
    for (const auto &[transferFile, path, picture] : {std::tuple{true, input, "E404"},
                                                      {false, input, "E404"},
                                                      {true, QDir::homePath(), "folder_refused"}}) {
        SCOPED_TRACE(path.toStdString() + picture);
        if (transferFile)
            settingsfixture::installText("DataTransfer.xml", "<DATA><INPUT/><OUTPUT/></DATA>");
        else
            ASSERT_TRUE(FileManager::removeItem(settingsfixture::dataPath("DataTransfer.xml")));
        open();
        controller->userInfoTap();
        chosen = path;
        click(controller->inputFileButton());
        EXPECT_EQ(asked.last(), Kind::FolderNoNewFolder);
        click(controller->okButton());
        // A folder that could not be stored is not read: the failure shows at once.
        ASSERT_TRUE(QTest::qWaitFor([&] { return controller->signPicture() == picture; }, 20000));
        EXPECT_TRUE(controller->sureImg()->isVisible());
        EXPECT_EQ(UsbUtils::inputValue(), transferFile && path == input ? input : "");
        EXPECT_TRUE(FileManager::fileExists(input + "/bad.csv"));
    }
}

TEST_F(ManagerMainControllerTest, BackClosesTheWindowAndReturnsToTheMainMenu) {
    TYWindow mainWindow;
    mainWindow.makeKeyAndOrderFront();
    int backs = 0;
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    const auto id = center.addObserver("BackMainMenuObject", [&](const cvx::Notification &) { ++backs; });
    controller->window()->setLastWindow(&mainWindow);
    controller->showWindow();
    mainWindow.orderOut();
    EXPECT_TRUE(controller->zbbtime()->isRunning());

    click(controller->backButton());

    EXPECT_EQ(backs, 1);
    EXPECT_FALSE(controller->zbbtime()->isRunning());
    EXPECT_FALSE(controller->window()->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    center.removeObserver(id);
}

}  // namespace
