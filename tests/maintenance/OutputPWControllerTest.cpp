#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "link/MaintenanceMode.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/DataLinkFolders.h"
#include "maintenance/OutputPWController.h"
#include "maintenance/RomWriter.h"
#include "platform/Bundle.h"
#include "platform/HidManager.h"
#include "platform/NotificationCenter.h"
#include "platform/TextEncoding.h"
#include "platform/XmlDocument.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"
#include "settings/SettingMainController.h"
#include "shell/MainMenuObject.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/WindowList.h"
#include "support/RomSimulator.h"

namespace {

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void click(QAbstractButton *button) {
    ASSERT_TRUE(button);
    ASSERT_TRUE(button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    settle();
}

bool shows(kit::PictureView *view, const QString &name) {
    return view->isVisible() && view->pixmap().toImage() == kit::picture(name).toImage();
}

// The message shown over the window, dismissed; empty when none.
QString takeMessage(TYWindow *window) {
    TYAlertView *message = window->findChild<TYAlertView *>();
    if (!message || !message->isVisible()) return QString();
    QString name = QStringLiteral("?");
    for (const char *code : {"W307", "W311", "made_data_stop", "T504"})
        if (message->errorImageView()->pixmap().toImage() ==
            kit::picture(QString::fromLatin1(code)).toImage())
            name = QString::fromLatin1(code);
    click(message->okButton());
    return name;
}

void writeSetting(const QString &name, const QByteArray &xml) {
    QFile file(SettingsFiles::preparedPath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(xml);
}

class OutputPWControllerTest : public ::testing::Test {
public:
    void SetUp() override {
        for (const char *name : {"ModeSetting.xml", "CommSetting.xml", "DataTransfer.xml"})
            ASSERT_TRUE(cvx::Bundle::copyResource(QString::fromLatin1(name),
                                                  SettingsFiles::preparedPath(QString::fromLatin1(name))));
        menu.setSettingFactory([](TYWindow *mainWindow) {
            auto *con = new SettingMainController;
            con->window();
            con->setRootWind(mainWindow);
            return con;
        });
        SettingMainController::setMaintenanceFactory([](TYWindow *settingsMenuWindow) {
            auto *con = new OutputPWController;
            con->setLastWindow(settingsMenuWindow);
            return con;
        });
        for (const char *name : {"BackMainMenuObjectFromSet", "BackSetMenuObjectFromPutPutPW"})
            cvx::NotificationCenter::defaultCenter().addObserver(
                &owner, QString::fromLatin1(name),
                [this](const cvx::Notification &n) { posted.append(n.name); });
        menu.mainWindow()->makeKeyAndOrderFront();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.mainWindow()));
    }
    void TearDown() override {
        SettingMainController::setMaintenanceFactory(nullptr);
        OutputPWController::setSavePanel(nullptr);
        OutputPWController::setFolderPanel(nullptr);
        OutputPWController::setErrorAlertPresenter({});
        RomWriter::setTimingsForTesting(-1, -1, -1);
        MaintenanceMode::sharedMode().setMode(0);
        UsbManager::resetSharedForTesting();
    }

    OutputPWController *openScreen() {
        if (!settings || !settings->window()->isVisible()) {
            click(menu.settingBtn());
            settings = static_cast<SettingMainController *>(menu.settingMainCon());
        }
        click(settings->bsButton());
        return static_cast<OutputPWController *>(settings->outputPWCon());
    }

    void enterCode(OutputPWController *screen, CustomButton *function, const QString &code) {
        click(function);
        EXPECT_TRUE(screen->messTxtFid()->hasFocus());
        QTest::keyClicks(screen->messTxtFid(), code);
        click(screen->OKBtn());
    }

    MainMenuObject menu;
    SettingMainController *settings = nullptr;
    QObject owner;
    QStringList posted;
};

TEST_F(OutputPWControllerTest, OpensFromTheSettingsMenuBehindItsAccessCodes) {
    OutputPWController *screen = openScreen();
    ASSERT_TRUE(screen);
    EXPECT_EQ(kit::keyWindow(), screen->window());
    EXPECT_EQ(screen->window()->lastWindow(), menu.mainWindow());
    EXPECT_EQ(screen->versionLabel()->text(), QStringLiteral("Quimbarel\nVersion V1.0.0K"));
    EXPECT_FALSE(screen->userBtn()->isVisible()) << "no data-link mode";
    EXPECT_EQ(screen->msgBtn()->y(), 228);
    EXPECT_EQ(MaintenanceMode::sharedMode().getMode(), 1) << "attached instruments wait for the ROM code";

    struct Row {
        CustomButton *function;
        QString code;
        QString message;
    };
    for (const Row &row : {Row{screen->sysBtn(), "QK-73", "W307"}, Row{screen->msgBtn(), "48213", "W307"},
                           Row{screen->msgBtn(), "qk-73", "W307"}}) {
        enterCode(screen, row.function, row.code);
        EXPECT_EQ(takeMessage(screen->window()), row.message) << row.code.toStdString();
        EXPECT_EQ(screen->isCou(), 1);
        EXPECT_TRUE(screen->messTxtFid()->isVisible());
        EXPECT_EQ(screen->messTxtFid()->text(), QString());
        click(screen->cancelBtn());
        EXPECT_EQ(takeMessage(screen->window()), QString()) << "Cancel without a write says nothing";
    }

    click(screen->sysBtn());
    QTest::keyClicks(screen->messTxtFid(), OutputPWController::kRomAccessCode);
    screen->window()->grab().save(QDir::home().filePath(QStringLiteral("mnt_code.png")));
    click(screen->OKBtn());
    EXPECT_TRUE(shows(screen->signImg(), QStringLiteral("rom_update")));
    EXPECT_EQ(screen->isCou(), 2);
    EXPECT_EQ(MaintenanceMode::sharedMode().getMode(), 0);
    screen->window()->grab().save(QDir::home().filePath(QStringLiteral("mnt_rom.png")));
    click(screen->cancelBtn());
    EXPECT_FALSE(screen->backImg()->isVisible());
    EXPECT_EQ(screen->isCou(), 1);
    EXPECT_EQ(MaintenanceMode::sharedMode().getMode(), 1) << "a cancelled update writes into no instrument";
}

TEST_F(OutputPWControllerTest, VersionTextTellsAnyItemSettingButSevenItems) {
    const struct {
        const char *modeSetting;
        const char *version;
    } cases[] = {
        {"<DATA><MODE>0</MODE><DeleteBLD>0</DeleteBLD></DATA>", "Quimbarel\nVersion V1.0.0K"},
        {"<DATA><MODE>0</MODE><DeleteBLD>1</DeleteBLD></DATA>", "Quimbarel\nVersion V1.0.0KB"},
        {"<DATA><MODE>0</MODE><DeleteBLD>2</DeleteBLD></DATA>", "Quimbarel\nVersion V1.0.0KB"},
        {"<DATA><MODE>0</MODE></DATA>", "Quimbarel\nVersion V1.0.0K"},
    };
    for (const auto &c : cases) {
        writeSetting(QStringLiteral("ModeSetting.xml"), c.modeSetting);
        OutputPWController *screen = openScreen();
        EXPECT_EQ(screen->versionLabel()->text(), QString::fromUtf8(c.version)) << c.modeSetting;
        click(screen->backButton());
    }
}

TEST_F(OutputPWControllerTest, SendDataCsvIsWrittenIntoTheChosenFile) {
    const QString customer = UsbUtils::customerFolder();
    QDir().mkpath(customer);
    QFile patient(customer + QStringLiteral("/P-1.xml"));
    ASSERT_TRUE(patient.open(QIODevice::WriteOnly));
    patient.write(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA name=\"a b\" birthday=\"\" age=\"\" sex=\"\">"
        "<comment date=\"2024-05-01\" time=\"10:00\"><Hospital>さくら歯科</Hospital>"
        "<DataValue1>12.5|80</DataValue1><MS>多め</MS><RsvData>A1:V1,I_LEU</RsvData></comment></DATA>\n");
    patient.close();
    const QString target = QDir::homePath() + QStringLiteral("/out/送信.csv");
    QDir().mkpath(QDir::homePath() + QStringLiteral("/out"));
    QString proposed;
    OutputPWController::setSavePanel([&](QWidget *, const QString &name) {
        proposed = name;
        return target;
    });

    OutputPWController *screen = openScreen();
    enterCode(screen, screen->msgBtn(), OutputPWController::kSendDataAccessCode);
    EXPECT_TRUE(shows(screen->messImg(), QStringLiteral("画面_送信データ作成")));
    click(screen->OKBtn());
    EXPECT_EQ(proposed, QStringLiteral("唾液検査結果　送信データ.csv"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->isCou() == 3; }, 10000));

    EXPECT_TRUE(shows(screen->signImg(), QStringLiteral("made_data_success")));
    EXPECT_EQ(screen->isSucc2(), 200);
    EXPECT_FALSE(screen->cancelBtn()->isVisible());
    EXPECT_TRUE(screen->OKBtn()->isEnabled());
    screen->window()->grab().save(QDir::home().filePath(QStringLiteral("mnt_senddata.png")));
    QFile written(target);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QStringList lines =
        cvx::TextEncoding::decode(written.readAll(), "CP932").value_or(QString()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("測定日,医院名,歯科医師名,むし歯菌,")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("2024-05-01 10:00,さくら歯科,,80,多め,,")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("A1:V1,LEU  ")));
    auto comm = cvx::XmlDocument::fromFile(SettingsFiles::preparedPath(QStringLiteral("CommSetting.xml")),
                                           cvx::XmlDocument::Option::Tidy);
    ASSERT_TRUE(comm);
    EXPECT_EQ(comm->stringsForXPath(QStringLiteral("/DATA/SendCsvFolder")),
              QStringList{QDir::homePath() + QStringLiteral("/out")});

    click(screen->OKBtn());
    EXPECT_EQ(screen->isCou(), 1);
    EXPECT_FALSE(screen->backImg()->isVisible());
}

TEST_F(OutputPWControllerTest, RomUpdateWaitsForTheInstrumentAndWritesIt) {
    RomWriter::setTimingsForTesting(20, 400, 300);
    OutputPWController::setErrorAlertPresenter(
        [](const QString &code) { TYAlertView::showErrorAlertView(code); });
    cvxtest::RomSimulator rom;
    UsbManager::sharedUsbManager().connectHID();
    OutputPWController *screen = openScreen();

    // Nothing attached within the wait: "T504" and the screen back at its start.
    enterCode(screen, screen->sysBtn(), OutputPWController::kRomAccessCode);
    click(screen->OKBtn());
    EXPECT_EQ(screen->confirmConnectLabel()->text(), QStringLiteral("接続確認中"));
    QString message;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !(message = takeMessage(screen->window())).isEmpty(); }, 3000));
    EXPECT_EQ(message, QStringLiteral("T504"));
    EXPECT_FALSE(screen->backImg()->isVisible());
    EXPECT_EQ(screen->isCou(), 1);

    enterCode(screen, screen->sysBtn(), OutputPWController::kRomAccessCode);
    click(screen->OKBtn());
    rom.attach();
    ASSERT_TRUE(rom.runUntil([&] { return rom.sawQuit(); }));
    settle();
    EXPECT_EQ(screen->confirmConnectLabel()->text(), QStringLiteral("終了"));
    screen->window()->grab().save(QDir::home().filePath(QStringLiteral("mnt_written.png")));
    click(screen->burnRomOkButton());
    EXPECT_FALSE(screen->confirmConnectLabel()->isVisible());
    EXPECT_FALSE(screen->backImg()->isVisible());
    EXPECT_EQ(takeMessage(screen->window()), QString());
}

TEST_F(OutputPWControllerTest, CancelOrSecondOkWhileAnEarlyAttachedInstrumentIsWrittenLeaveTheWriteAlone) {
    RomWriter::setTimingsForTesting(20, 400, 300);
    QStringList messages;
    OutputPWController::setErrorAlertPresenter([&](const QString &code) { messages.append(code); });
    cvxtest::RomSimulator rom;
    UsbManager::sharedUsbManager().connectHID();
    OutputPWController *screen = openScreen();

    // Attached once the code is accepted: the write starts before the second OK.
    enterCode(screen, screen->sysBtn(), OutputPWController::kRomAccessCode);
    rom.attach();
    ASSERT_TRUE(rom.runUntil([&] { return rom.frames().size() >= 3; }));
    // The flash may be erased already: Cancel cannot stop the write, nor hide it.
    click(screen->cancelBtn());
    EXPECT_EQ(screen->isCou(), 2);
    EXPECT_TRUE(screen->backImg()->isVisible());
    EXPECT_TRUE(screen->OKBtn()->isVisible());
    click(screen->OKBtn());
    ASSERT_TRUE(rom.runUntil([&] { return rom.sawQuit() || !messages.isEmpty(); }));
    QTest::qWait(400);
    settle();
    EXPECT_TRUE(rom.sawQuit());
    EXPECT_EQ(messages, QStringList());
    EXPECT_EQ(screen->confirmConnectLabel()->text(), QStringLiteral("終了"));
}

TEST_F(OutputPWControllerTest, ClosingGivesTheLinkBackAndReturns) {
    struct Row {
        CustomButton *(OutputPWController::*button)() const;
        bool toSettings;
    };
    for (const Row &row :
         {Row{&OutputPWController::rightBacButton, true}, Row{&OutputPWController::backButton, false}}) {
        OutputPWController *screen = openScreen();
        ASSERT_TRUE(screen);
        // Attached while the screen is open: ignored until it closes.
        cvxtest::RomSimulator rom;  // before the link's transport is made
        UsbManager::sharedUsbManager().connectHID();
        rom.attach();
        cvx::HidManager::processPendingEvents();
        EXPECT_EQ(UsbHID::sharedManager().deviceConnectStatus(), 0);
        UsbManager::sharedUsbManager().setIsBurnRom(true);
        posted.clear();
        click((screen->*row.button)());

        EXPECT_FALSE(UsbManager::sharedUsbManager().isBurnRom());
        EXPECT_EQ(MaintenanceMode::sharedMode().getMode(), 0) << "new instruments are taken up again";
        EXPECT_EQ(UsbHID::sharedManager().deviceConnectStatus(), 1) << "the instrument is found";
        EXPECT_EQ(screen->romWriter(), nullptr) << "no write starts once the screen is gone";
        EXPECT_EQ(posted, (QStringList{"BackMainMenuObjectFromSet", "BackSetMenuObjectFromPutPutPW"}));
        EXPECT_EQ(kit::keyWindow(), row.toSettings ? settings->window() : menu.mainWindow());
    }
}

TEST_F(OutputPWControllerTest, DataLinkFoldersAreSetInADataLinkMode) {
    writeSetting(
        QStringLiteral("ModeSetting.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA><MODE>3</MODE><DeleteBLD>1</DeleteBLD></DATA>\n");
    UsbManager::sharedUsbManager().setMode(-1);
    OutputPWController::setFolderPanel([](QWidget *) { return QStringLiteral("/srv/results"); });
    OutputPWController *screen = openScreen();
    EXPECT_EQ(screen->versionLabel()->text(), QStringLiteral("Quimbarel\nVersion V1.0.0KB"));
    EXPECT_EQ(screen->msgBtn()->y(), 340);
    screen->window()->grab().save(QDir::home().filePath(QStringLiteral("mnt.png")));

    click(screen->userBtn());
    EXPECT_FALSE(screen->clearBtn()->isVisible());
    click(screen->csvOkBtn());
    EXPECT_TRUE(shows(screen->csvShowResultImg(), QStringLiteral("W306")));
    click(screen->csvSureBtn());
    EXPECT_FALSE(screen->csvShowView()->isVisible());

    click(screen->csvBtn());
    click(screen->pathBtn());
    screen->window()->grab().save(QDir::home().filePath(QStringLiteral("mnt_output.png")));
    click(screen->csvOkBtn());
    EXPECT_EQ(UsbUtils::outputValue(), QStringLiteral("/srv/results"));
    click(screen->csvBtn());
    EXPECT_EQ(screen->pathTextField()->text(), QStringLiteral("/srv/results"));
    click(screen->clearBtn());
    EXPECT_TRUE(shows(screen->csvShowResultImg(), QStringLiteral("clear_success")));
    EXPECT_EQ(UsbUtils::outputValue(), QString());
}

TEST_F(OutputPWControllerTest, LateImportOutcomeLeavesTheOutputPanelAlone) {
    writeSetting(
        QStringLiteral("ModeSetting.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA><MODE>3</MODE><DeleteBLD>1</DeleteBLD></DATA>\n");
    UsbManager::sharedUsbManager().setMode(-1);
    QString chosen = QStringLiteral("/srv/patients");
    OutputPWController::setFolderPanel([&](QWidget *) { return chosen; });
    DataLinkFolders::ImportDone done;
    DataLinkFolders::setImport([&](DataLinkFolders::ImportDone d) {
        done = std::move(d);
        return true;
    });
    OutputPWController *screen = openScreen();

    // The import runs on after its panel is cancelled; the user goes on to the OUTPUT folder.
    for (bool ok : {false, true}) {
        chosen = QStringLiteral("/srv/patients");
        click(screen->userBtn());
        click(screen->pathBtn());
        click(screen->csvOkBtn());
        ASSERT_TRUE(done);
        click(screen->csvCancelBtn());
        click(screen->csvBtn());
        chosen = QStringLiteral("/srv/results");
        click(screen->pathBtn());
        std::exchange(done, nullptr)(ok);
        QTest::qWait(20);
        settle();
        EXPECT_TRUE(screen->csvShowView()->isVisible()) << ok;
        EXPECT_TRUE(screen->pathTextField()->isVisible()) << ok;
        EXPECT_EQ(screen->pathTextField()->text(), QStringLiteral("/srv/results")) << ok;
        click(screen->csvCancelBtn());
    }
    DataLinkFolders::setImport({});
}

}  // namespace
