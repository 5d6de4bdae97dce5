#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>

#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/Bundle.h"
#include "platform/FileIo.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/Version.h"
#include "platform/XmlDocument.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/DefaultChoices.h"
#include "records/SettingsFiles.h"
#include "shell/ShellNotifications.h"
#include "shell/kit/KitNotifications.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "support/FileSizeLimit.h"
#include "support/InstrumentSimulator.h"
#include "support/TestHome.h"

namespace {

using cvx::FileManager;

const QStringList kSettingsFiles = {"DefaultComment.xml", "Comment.xml",      "ModeSetting.xml",
                                    "USBSetting.xml",     "DataTransfer.xml", "HisSetting.xml",
                                    "CommSetting.xml",    "CalcSetting.xml"};

QString home(const QString &relative = QString()) {
    const QString h = FileManager::homeDirectory();
    return relative.isEmpty() ? h : h + "/" + relative;
}

QByteArray read(const QString &path) {
    return FileManager::readFile(path).value_or(QByteArray("<missing>"));
}

void write(const QString &path, const QByteArray &bytes) {
    FileManager::createDirectory(QFileInfo(path).path());
    ASSERT_TRUE(FileManager::writeAtomically(path, bytes)) << qPrintable(path);
}

// What the launch writes for a bundle settings file: the parsed default, pretty-printed.
QByteArray installed(const QString &name) {
    const auto option =
        name == "ModeSetting.xml" ? cvx::XmlDocument::Option::None : cvx::XmlDocument::Option::Tidy;
    const auto doc = cvx::XmlDocument::fromFile(cvx::Bundle::pathForResource(name), option);
    return doc ? doc->toBytes().value_or(QByteArray()) : QByteArray("<no bundle file>");
}

cvx::UserDefaults &defaults() {
    return cvx::UserDefaults::standard();
}

class StartupTest : public testing::Test {
protected:
    void SetUp() override {
        UsbManager::resetSharedForTesting();
        UsbHID::resetSharedForTesting();
    }
    void TearDown() override {
        AppDelegate &d = app();
        d.uninstallExceptionLogger();
        d.setAppShortVersion(QString());
        d.setLaunchClock({});
        d.setNextUpdateStep({});
        d.setDataLinkImport({});
        cvx::NotificationCenter::defaultCenter().removeObserver(d.observerOwner());
        qDeleteAll(d.observerOwner()->children());
        UsbManager::setFirmwareVersionReader({});
        SettingsFiles::releaseDataFolderClaim();
        UsbManager::resetSharedForTesting();
        UsbHID::resetSharedForTesting();
    }

    static AppDelegate &app() { return AppDelegate::shared(); }

    void launch(const QString &shortVersion = QString(),
                QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(9, 15))) {
        app().setAppShortVersion(shortVersion);
        app().setLaunchClock([now] { return now; });
        app().applicationDidFinishLaunching(nullptr);
    }

    QStringList homeEntries() const {
        QStringList entries = FileManager::contentsOfDirectory(home());
        entries.removeAll(".config");
        entries.sort();
        return entries;
    }
};

TEST_F(StartupTest, FirstLaunchOnACleanHomePreparesEverything) {
    QWidget window(nullptr, Qt::FramelessWindowHint);  // as the main menu's window
    for (const char *name : {"bacImg", "messImg", "messBacImg", "okBtn", "cancelBtn"}) {
        auto *view = new QWidget(&window);
        view->setObjectName(name);
    }
    window.show();
    app().setLaunchClock([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 15)); });
    app().applicationDidFinishLaunching(&window);

    const QRect area = window.screen()->availableGeometry();
    EXPECT_EQ(window.geometry(),
              QRect(area.x() + (area.width() - 960) / 2, area.y() + (area.height() - 720) / 2, 960, 720));
    for (QWidget *view : window.findChildren<QWidget *>())
        EXPECT_FALSE(view->isVisible()) << qPrintable(view->objectName());

    EXPECT_TRUE(app().isSetup());
    EXPECT_EQ(homeEntries(),
              QStringList({".Corvadenix", "CommLog", "Corvadenix.flag", "ResultData", "TransferLog"}));
    EXPECT_EQ(read(home("Corvadenix.flag")), "flag");
    for (const char *folder : {"CommLog", "ResultData", "TransferLog"})
        EXPECT_TRUE(FileManager::isDirectory(home(folder)));

    QStringList dataFiles = FileManager::contentsOfDirectory(home(".Corvadenix"));
    dataFiles.sort();
    QStringList expectedFiles = kSettingsFiles;
    expectedFiles.sort();
    EXPECT_EQ(dataFiles, expectedFiles);
    for (const QString &name : kSettingsFiles)
        EXPECT_EQ(read(home(".Corvadenix/" + name)), installed(name)) << qPrintable(name);

    // Exactly the recorded version, the reset sheet layout and the seeded choices, on disk
    // once the quit has written them.
    AppDelegate::shared().applicationWillTerminate();
    QStringList keys = QJsonDocument::fromJson(read(defaults().filePath())).object().keys();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"appVersion", "hos1", "hos2", "resultChoiceNum", "signz", "xyz", "zcontent",
                                 "zdoctor", "zhospital", "zsignData", "ztotAry", "ztotal"}));
    EXPECT_EQ(defaults().stringForKey("appVersion"), QString("V") + cvx::kAppShortVersion);
    EXPECT_EQ(defaults().stringForKey("resultChoiceNum"), "0");
    EXPECT_EQ(defaults().stringForKey("xyz"), "y");
    EXPECT_EQ(defaults().stringForKey("signz"), "isTure");
    // Comment.xml is installed (and seeded) before HisSetting.xml.
    EXPECT_EQ(defaults().stringForKey("ztotal"), DefaultChoices::defaultTotalComment());
    EXPECT_EQ(defaults().arrayForKey("zsignData").size(), 7);
    EXPECT_FALSE(FileManager::fileExists(home("Error.txt")));
    EXPECT_TRUE(app().isTest());
    EXPECT_EQ(app().updateStep(), 0);
}

TEST_F(StartupTest, FreshInstallationBacksUpTheDataFolderByRecordedVersion) {
    const struct {
        const char *recorded;  // nullptr: none recorded
        const char *current;
        const char *backup;
        bool moved;
        bool linked = false;  // the data folder a link to one on another disk
    } cases[] = {
        {"V1.0", "1.0", ".Corvadenix_202612070915", false},
        {nullptr, "1.0", ".Corvadenix_202612070915", false},
        {"V0.9", "1.0", ".Corvadenix_V0.9", false},
        {"V2.0", "1.0", ".Corvadenix_V2.0", true},
        // Versions are ordered by their numbers: 1.9 -> 1.10 is an upgrade.
        {"V1.9", "1.10", ".Corvadenix_V1.9", false},
        {"V1.10", "1.9", ".Corvadenix_V1.10", true},
        {"V9/../../x", "1.0", ".Corvadenix_202612070915", false},
        {"V0.8", "1.0", ".Corvadenix_V0.8", false, true},
        {"V3.0", "1.0", ".Corvadenix_V3.0", true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.backup) + " from " + (c.recorded ? c.recorded : "none"));
        cvxtest::TestHome caseHome;
        launch(c.current);
        ASSERT_TRUE(!c.linked ||
                    (QDir().mkdir(home("disk")) && QDir().rename(home(".Corvadenix"), home("disk/data")) &&
                     QFile::link(home("disk/data"), home(".Corvadenix"))));
        write(home(".Corvadenix/Customer/A-1.xml"), "<patient/>");
        write(home("elsewhere/L-3.xml"), "<linked/>");
        ASSERT_TRUE(QFile::link(home("elsewhere/L-3.xml"), home(".Corvadenix/Customer/L-3.xml")));
        write(home(".Corvadenix/Comment.xml"), "edited comments");
        write(home(".Corvadenix/DefaultComment.xml"), "edited defaults");
        write(home(".Corvadenix/Corvadenix.lock"), "");
        // What a start killed during its backup left: gone at the next start.
        write(home("." + QString(c.backup) + ".partial-" + QString(32, u'a') + "/Comment.xml"), "cut");
        ASSERT_TRUE(FileManager::removeItem(home("Corvadenix.flag")));
        if (c.recorded)
            defaults().setObject(QString(c.recorded), "appVersion");
        else
            defaults().removeObjectForKey("appVersion");
        defaults().setObject(QString("2"), "resultChoiceNum");

        launch(c.current);

        EXPECT_TRUE(app().isSetup());
        EXPECT_EQ(read(home("Corvadenix.flag")), "flag");
        EXPECT_EQ(read(home(QString(c.backup) + "/Customer/A-1.xml")), "<patient/>");
        EXPECT_EQ(read(home(QString(c.backup) + "/Comment.xml")), "edited comments");
        EXPECT_FALSE(QFileInfo(home(c.backup)).isSymLink());
        // A copy holds the linked patient's bytes, not the link.
        EXPECT_EQ(read(home(QString(c.backup) + "/Customer/L-3.xml")), "<linked/>");
        EXPECT_TRUE((c.moved && !c.linked) ||
                    !QFileInfo(home(QString(c.backup) + "/Customer/L-3.xml")).isSymLink());
        EXPECT_EQ(QFileInfo(home(".Corvadenix")).isSymLink(), c.linked && !c.moved);
        EXPECT_EQ(read(home("disk/data/Customer/A-1.xml")), c.linked ? "<patient/>" : "<missing>");
        EXPECT_FALSE(FileManager::fileExists(home(QString(c.backup) + "/Corvadenix.lock")));
        EXPECT_EQ(homeEntries().filter(".Corvadenix_").size(), 1);
        EXPECT_EQ(defaults().stringForKey("appVersion"), QString("V") + c.current);
        if (c.moved) {
            // A fresh data folder from the bundle.
            EXPECT_FALSE(FileManager::fileExists(home(".Corvadenix/Customer")));
            EXPECT_EQ(read(home(".Corvadenix/Comment.xml")), installed("Comment.xml"));
            EXPECT_EQ(defaults().stringForKey("resultChoiceNum"), "0");
        } else {
            EXPECT_EQ(read(home(".Corvadenix/Customer/A-1.xml")), "<patient/>");
            EXPECT_EQ(read(home(".Corvadenix/Comment.xml")), "edited comments");
            EXPECT_EQ(defaults().stringForKey("resultChoiceNum"), "2");
        }
        EXPECT_EQ(read(home(".Corvadenix/DefaultComment.xml")), installed("DefaultComment.xml"));
        EXPECT_FALSE(FileManager::fileExists(home("Error.txt")));
        app().uninstallExceptionLogger();
    }
}

TEST_F(StartupTest, BackupThatFailsIsLoggedTouchesNothingAndIsMadeAtTheNextStart) {
    // Between: the files' bytes would fit, the blocks they take would not.
    enum Fault { Taken, FullDisk, TooSmall, Between, Pipe };
    const struct {
        const char *recorded;
        const char *backup;
        const char *line;
        Fault fault;
        const char *home = nullptr;  // a folder of the temporary one as the home
    } cases[] = {
        {"V1.0", ".Corvadenix_202612070915", "\nDirectory %1 copy to %2 faild!\n%2: %4\n", Taken},
        {"V2.0", ".Corvadenix_V2.0", "\nDirectory %1 move to %2 faild!\n%2: %4\n", Taken},
        {"V0.5", ".Corvadenix_V0.5", "\nDirectory %1 copy to %2 faild!\n%2: %4\n", Taken, "a\nb"},
        {"V1.0", ".Corvadenix_202612070915", "\nDirectory %1 copy to %2 faild!\n%1/Customer/B-2.xml: %5\n",
         FullDisk},
        {"V0.5", ".Corvadenix_V0.5", "\nDirectory %1 copy to %2 faild!\n%1/Customer/B-2.xml: %5\n", FullDisk},
        {"V1.0", ".Corvadenix_202612070915",
         "\nDirectory %1 copy to %2 faild!\n%3 bytes free: it is not begun\n", TooSmall},
        {"V1.0", ".Corvadenix_202612070915",
         "\nDirectory %1 copy to %2 faild!\n%3 bytes free: it is not begun\n", Between, "li\nne"},
        {"V1.0", ".Corvadenix_202612070915",
         "\nDirectory %1 copy to %2 faild!\n%1/Customer/p\\x0Aipe is a pipe, socket or device: not copied\n",
         Pipe},
    };
    static fsblkcnt_t freeBlocks;
    cvx::fileio::Calls smallDisk = cvx::fileio::systemCalls();
    smallDisk.statvfs = [](const char *, struct statvfs *info) {
        *info = {};
        info->f_frsize = 4096;
        info->f_bavail = freeBlocks;
        return 0;
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.backup) + " fault " + std::to_string(c.fault));
        cvxtest::TestHome caseHome;
        if (c.home) {
            ASSERT_TRUE(QDir(caseHome.path()).mkdir(c.home));
            qputenv("HOME", QFile::encodeName(caseHome.file(c.home)));
        }
        launch("1.0");
        write(home(".Corvadenix/Customer/A-1.xml"), "<patient/>");
        const bool taken = c.fault == Taken;
        write(home(taken ? QString(c.backup) + "/old.txt" : ".Corvadenix/Customer/B-2.xml"),
              taken ? "earlier backup" : QByteArray(200000, 'x'));
        for (int i = 0; i < 30; ++i)
            write(home(".Corvadenix/Customer/T-" + QString::number(i)), QByteArray(55000, 't'));
        const QString pipe = home(".Corvadenix/Customer/p\nipe");
        ASSERT_TRUE(c.fault != Pipe || ::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        ASSERT_TRUE(FileManager::removeItem(home("Corvadenix.flag")));
        defaults().setObject(QString(c.recorded), "appVersion");
        qint64 bytes = 0, blocks = 0;  // what the files hold, and the blocks of 4 KiB they take
        for (const QString &entry : FileManager::subpaths(home(".Corvadenix")))
            if (const QFileInfo info(home(".Corvadenix/" + entry)); info.isFile())
                bytes += info.size(), blocks += (info.size() + 4095) / 4096;
        freeBlocks = c.fault == Between ? bytes / 4096 + 1 : 100;
        {
            std::optional<cvxtest::FileSizeLimit> full;
            if (c.fault == FullDisk) full.emplace(100000);
            const cvx::fileio::ScopedCalls calls(
                c.fault == TooSmall || c.fault == Between ? smallDisk : cvx::fileio::systemCalls());
            // A start that waits (for the pipe's writer) ends the whole test program, failed.
            ::alarm(20);
            launch("1.0");
            ::alarm(0);
        }

        EXPECT_EQ(homeEntries().filter(".Corvadenix_"), taken ? QStringList{c.backup} : QStringList());
        EXPECT_EQ(FileManager::contentsOfDirectory(home(c.backup)),
                  taken ? QStringList{"old.txt"} : QStringList());
        EXPECT_EQ(read(home(QString(c.backup) + "/old.txt")), taken ? "earlier backup" : "<missing>");
        EXPECT_EQ(read(home(".Corvadenix/Customer/A-1.xml")), "<patient/>");
        // Every line printable, whatever the home's name.
        const QString log =
            QString::fromUtf8(read(home("Error.txt"))).replace(QRegularExpression("needs \\d+"), "needs N");
        const auto shown = [](const QString &path) { return FileManager::printablePath(path); };
        EXPECT_EQ(log, QString(c.line)
                           .replace("%3", QString("The copy needs N bytes, and %1 has %2")
                                              .arg(shown(home()), QString::number(freeBlocks * 4096)))
                           .replace("%4", qt_error_string(EEXIST))
                           .replace("%5", qt_error_string(EFBIG))
                           .arg(shown(home(".Corvadenix")), shown(home(c.backup))));
        QFile::remove(pipe);
        EXPECT_EQ(defaults().stringForKey("appVersion"), "V1.0");
        // No backup was made, so the check is not over.
        EXPECT_FALSE(FileManager::fileExists(home("Corvadenix.flag")));
        freeBlocks = blocks * 11 / 10;  // made with a tenth to spare
        const cvx::fileio::ScopedCalls calls(smallDisk);
        launch("1.0", QDateTime(QDate(2026, 12, 7), QTime(9, 16)));
        EXPECT_EQ(read(home(".Corvadenix_202612070916/Customer/A-1.xml")), "<patient/>");
        EXPECT_EQ(read(home(".Corvadenix_202612070916/Customer/T-29")), QByteArray(55000, 't'));
        EXPECT_EQ(read(home("Corvadenix.flag")), "flag");
        app().uninstallExceptionLogger();
    }
}

TEST_F(StartupTest, FreshInstallationWithoutDataFolderMakesNoBackup) {
    defaults().setObject(QString("V1.0"), "appVersion");
    defaults().setObject(QString("y"), "xyz");
    launch("1.0");
    EXPECT_TRUE(app().isSetup());
    EXPECT_TRUE(homeEntries().filter(".Corvadenix_").isEmpty());
    EXPECT_FALSE(FileManager::fileExists(home("Error.txt")));
    // "xyz" was dropped with the missing data folder and the choices seeded again.
    EXPECT_EQ(defaults().stringForKey("xyz"), "y");
    EXPECT_EQ(defaults().stringForKey("signz"), "isTure");
}

TEST_F(StartupTest, NormalLaunchReplacesOnlyTheCalculationRangesAndMissingFiles) {
    launch();
    for (const QString &name : kSettingsFiles) write(home(".Corvadenix/" + name), "edited " + name.toUtf8());
    ASSERT_TRUE(FileManager::removeItem(home(".Corvadenix/USBSetting.xml")));
    defaults().setObject(QString("V0.1"), "appVersion");
    defaults().setObject(QString("x"), "ztotal");
    const QStringList gone{"Customer/A-1.xml.aZ09bY", "Comment.xml.Q1w2E3", "Customer/sub/B.xml.aZ09bY",
                           "Customer/sub/2/B.xml.aZ09bY"};
    const QStringList kept{"Customer/A-1.xml.backup", "Customer/A-1.xml.aZ09bYc",
                           "Customer/A-1.xml.aZ-9bY", "Customer/a.txt.aZ09bY",
                           "Customer/C.xml.aZ09bY/x", "Customer/link/D.xml.aZ09bY"};
    // A link is not followed out of the data folder.
    ASSERT_TRUE(QDir().mkpath(home("elsewhere")) && QDir().mkpath(home(".Corvadenix/Customer")) &&
                QFile::link(home("elsewhere"), home(".Corvadenix/Customer/link")));
    for (const QString &name : gone + kept) write(home(".Corvadenix/" + name), "<DATA");
    ASSERT_EQ(SettingsFiles::claimDataFolder(), SettingsFiles::Claim::Claimed);

    launch("9.9");

    EXPECT_FALSE(app().isSetup());
    for (const QString &name : kSettingsFiles) {
        const bool fromBundle = name == "CalcSetting.xml" || name == "USBSetting.xml";
        EXPECT_EQ(read(home(".Corvadenix/" + name)), fromBundle ? installed(name) : "edited " + name.toUtf8())
            << qPrintable(name);
    }
    EXPECT_EQ(defaults().stringForKey("appVersion"), "V0.1");
    EXPECT_EQ(defaults().stringForKey("ztotal"), "x");
    EXPECT_TRUE(homeEntries().filter(".Corvadenix_").isEmpty());
    for (const QString &name : gone + kept)
        EXPECT_EQ(FileManager::fileExists(home(".Corvadenix/" + name)), kept.contains(name))
            << qPrintable(name);
    // Linked to a pipe, the calculation ranges are not replaced; the log names the file, escaped.
    const QString calc = home(".Corvadenix/CalcSetting.xml");
    ASSERT_TRUE(::mkfifo(QFile::encodeName(home("p\nipe")).constData(), 0600) == 0 &&
                FileManager::removeItem(calc) && QFile::link(home("p\nipe"), calc));
    launch("9.9");
    EXPECT_TRUE(QFileInfo(calc).isSymLink() && QFileInfo::exists(calc) && !QFileInfo(calc).isFile());
    EXPECT_EQ(QString::fromUtf8(read(home("Error.txt"))),
              "\n" + calc + " was not written: it leads to " + home("p\\x0Aipe") +
                  ", a pipe, socket or device\n\nSettings file CalcSetting.xml could not be installed to " +
                  calc + "!\n");
}

TEST_F(StartupTest, ResultChoiceIsResetOnlyWithoutAPatientFile) {
    const struct {
        const char *file;  // nullptr: Customer folder without files
        bool reset;
    } cases[] = {
        {nullptr, true},
        {"Customer/Check_Measure_Result.xml", false},
        {"Customer/sub/A-1.xml", false},
        {"Customer/A-1.XML", true},
        {"Customer/A-1.xml.bak", true},
    };
    launch();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file ? c.file : "empty");
        FileManager::removeItem(home(".Corvadenix/Customer"));
        FileManager::createDirectory(home(".Corvadenix/Customer"));
        if (c.file) write(home(QString(".Corvadenix/") + c.file), "<x/>");
        defaults().setObject(QString("2"), "resultChoiceNum");
        launch();
        EXPECT_EQ(defaults().stringForKey("resultChoiceNum"), c.reset ? "0" : "2");
    }
}

TEST_F(StartupTest, DataLinkImportStartsBeforeTheSettingsFilesAreInstalled) {
    for (const char *mode : {"0", "3"}) {
        SCOPED_TRACE(mode);
        cvxtest::TestHome caseHome;
        UsbManager::resetSharedForTesting();
        launch();
        write(home(".Corvadenix/ModeSetting.xml"),
              QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA><MODE>") + mode +
                  "</MODE></DATA>\n");
        ASSERT_TRUE(FileManager::removeItem(home(".Corvadenix/USBSetting.xml")));
        int imports = 0;
        bool installedYet = true;
        app().setDataLinkImport([&] {
            ++imports;
            installedYet = FileManager::fileExists(home(".Corvadenix/USBSetting.xml"));
        });
        UsbManager::resetSharedForTesting();
        launch();
        EXPECT_EQ(imports, QString(mode) == "3" ? 1 : 0);
        if (imports) {
            EXPECT_FALSE(installedYet);
        }
        app().uninstallExceptionLogger();
    }
}

TEST_F(StartupTest, AttachedInstrumentIsAskedForItsStateOneSecondLater) {
    cvxtest::InstrumentSimulator sim;
    sim.attach();
    sim.setState(1, "V1.00");
    launch();

    sim.run();
    EXPECT_EQ(sim.stateRequests(), 0);
    QTest::qWait(1100);
    sim.run();
    EXPECT_EQ(sim.stateRequests(), 1);
    EXPECT_TRUE(UsbHID::sharedManager().clockIsChecked());
    EXPECT_TRUE(sim.clock().isNull());
    EXPECT_EQ(sim.unacknowledgedFrames(), 0);
}

TEST_F(StartupTest, WithoutInstrumentTheClockMarkIsCleared) {
    cvxtest::InstrumentSimulator sim;
    launch();
    UsbHID::sharedManager().setClockIsChecked(true);
    QTest::qWait(1100);
    EXPECT_FALSE(UsbHID::sharedManager().clockIsChecked());
    EXPECT_TRUE(sim.reports().isEmpty());
}

TEST_F(StartupTest, VersionCheckOffersTheUpdateWhenFirmwareDiffers) {
    launch();
    TYWindow window;
    window.makeKeyAndOrderFront();
    int okStatusPosts = 0;
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    const auto id =
        center.addObserver(shell::kChangeOkButtonStatus, [&](const cvx::Notification &) { ++okStatusPosts; });
    int nextSteps = 0;
    app().setNextUpdateStep([&] { ++nextSteps; });
    UsbManager &session = UsbManager::sharedUsbManager();
    session.setPcMainVersion("1.00");
    session.setPcDispVersion("V1.00");

    session.setDeviceMainVersion("1.00");
    session.setDeviceDispVersion("V1.00");  // posts "UpdateSystem"
    EXPECT_TRUE(app().isTest());
    EXPECT_EQ(okStatusPosts, 1);
    EXPECT_FALSE(TYUpdateView::isExistUpdateView());
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());

    session.setDeviceDispVersion("V0.90");
    EXPECT_FALSE(app().isTest());
    EXPECT_EQ(okStatusPosts, 2);
    EXPECT_EQ(app().updateStep(), 1);
    EXPECT_TRUE(BBInitDatas::getAutoVersionUp());
    auto *view = window.findChild<TYUpdateView *>();
    ASSERT_NE(view, nullptr);
    view->okButtonClicked();
    EXPECT_EQ(nextSteps, 1);

    app().updateSystem();
    int errorOks = 0;
    center.addObserver(app().observerOwner(), kit::kErrorOKClicked,
                       [&](const cvx::Notification &) { ++errorOks; });
    window.findChild<TYUpdateView *>()->cancelButtonClicked();
    EXPECT_EQ(app().updateStep(), 0);
    center.postNotificationName(kit::kErrorOKClicked);
    EXPECT_EQ(errorOks, 0);
    EXPECT_FALSE(TYUpdateView::isExistUpdateView());
    center.removeObserver(id);

    // The flag left set resumes the update at the next launch, before the instrument is heard.
    UsbManager::resetSharedForTesting();
    UsbManager::setFirmwareVersionReader([] { return UsbManager::FirmwareVersions{"1.00", "V1.00"}; });
    launch();
    EXPECT_EQ(UsbManager::sharedUsbManager().pcDispVersion(), "V1.00");
    EXPECT_FALSE(app().isTest());
    EXPECT_TRUE(TYUpdateView::isExistUpdateView());

    // Versions found equal clear the flag; a missing version equals none, not even another one.
    const struct {
        QString main, disp;  // the instrument's and the carried ones alike
        bool equal;
    } rows[] = {{"1.00", "V1.00", true}, {QString(), QString(), false}, {"1.00", QString(), false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.main.toStdString() + "/" + row.disp.toStdString());
        BBInitDatas::setAutoVersionUp(true);
        UsbManager &relaunched = UsbManager::sharedUsbManager();
        relaunched.setPcMainVersion(row.main);
        relaunched.setPcDispVersion(row.disp);
        relaunched.setDeviceMainVersion(row.main);
        relaunched.setDeviceDispVersion(row.disp);
        app().updateSystem();
        EXPECT_EQ(app().isTest(), row.equal);
        EXPECT_EQ(BBInitDatas::getAutoVersionUp(), !row.equal);
    }
}

}  // namespace
