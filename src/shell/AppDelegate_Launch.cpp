// The application's start-up: log folders, the data folder and its backup on a fresh
// installation, the default settings files, the seeded choices, the instrument link, and the
// firmware-version check that the link triggers.
#include <QFileInfo>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <array>

#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/Bundle.h"
#include "platform/DateFormatter.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/Version.h"
#include "platform/XmlDocument.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/DefaultChoices.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"
#include "shell/ShellNotifications.h"
#include "shell/WindowPlacement.h"
#include "shell/kit/KitNotifications.h"
#include "shell/kit/TYUpdateView.h"

using cvx::FileManager;

namespace {

const QString kFlagFileName = QStringLiteral("Corvadenix.flag");
const QString kAppVersionKey = QStringLiteral("appVersion");
const QString kSeededKey = QStringLiteral("xyz");
const QString kResultChoiceNumKey = QStringLiteral("resultChoiceNum");

QString homeFolder(const QString &name) {
    return FileManager::appendingPathComponent(FileManager::homeDirectory(), name);
}

// A backup is no running program's data folder: a copy leaves its lock file out, a move drops it.
bool isLockFile(const QString &path) {
    return path == SettingsFiles::lockFilePath();
}

void dropLockFile(const QString &backup) {
    const QString name = FileManager::lastPathComponent(SettingsFiles::lockFilePath());
    FileManager::removeItem(FileManager::appendingPathComponent(backup, name));
}

// A start killed during its backup left the copy it was making beside the data folder. Its
// name has a dot more in front than a backup's, so no backup is taken for it.
void removeBackupLeftovers() {
    const QString dataFolder = SettingsFiles::dataFolder();
    const QString backup = FileManager::lastPathComponent(dataFolder) + u'_';
    const QString parent = QFileInfo(dataFolder).path();
    for (const QString &name : FileManager::contentsOfDirectory(parent)) {
        if (FileManager::stagedName(name).startsWith(backup))
            FileManager::removeItem(FileManager::appendingPathComponent(parent, name));
    }
}

// YES when the folder already is one, else whether it could be made.
bool ensureFolder(const QString &path) {
    return FileManager::isDirectory(path) || FileManager::createDirectory(path);
}

// Orders version strings such as "V1.9" and "V1.10" by their numbers, part by part, so that
// an upgrade is never taken for a downgrade; parts that are not numbers compare as text.
int compareVersions(const QString &a, const QString &b) {
    auto parts = [](QString v) {
        if (v.startsWith(QLatin1Char('V')) || v.startsWith(QLatin1Char('v'))) v.remove(0, 1);
        return v.split(QLatin1Char('.'));
    };
    const QStringList pa = parts(a);
    const QStringList pb = parts(b);
    for (qsizetype i = 0; i < std::max(pa.size(), pb.size()); ++i) {
        const QString x = i < pa.size() ? pa[i] : QStringLiteral("0");
        const QString y = i < pb.size() ? pb[i] : QStringLiteral("0");
        bool xNumber = false;
        bool yNumber = false;
        const qulonglong xn = x.toULongLong(&xNumber);
        const qulonglong yn = y.toULongLong(&yNumber);
        if (xNumber && yNumber) {
            if (xn != yn) return xn < yn ? -1 : 1;
        } else if (const int c = QString::compare(x, y); c != 0) {
            return c < 0 ? -1 : 1;
        }
    }
    return 0;
}

// The bundle's default of a settings file, parsed and written pretty-printed and atomically.
bool installFromBundle(const QString &name, const QString &target, cvx::XmlDocument::Option option) {
    const QString resource = cvx::Bundle::pathForResource(name);
    if (resource.isNull()) return false;
    const std::optional<cvx::XmlDocument> document = cvx::XmlDocument::fromFile(resource, option);
    return document && document->save(target);
}

bool hasPatientFile(const QString &customerFolder) {
    if (!FileManager::isDirectory(customerFolder)) return false;
    const QStringList entries = FileManager::subpaths(customerFolder);
    return std::any_of(entries.begin(), entries.end(), [](const QString &entry) {
        return FileManager::pathExtension(entry) == QLatin1String("xml");
    });
}

void hideConfirmationPanel(QWidget *window) {
    for (const char *name : {"messBacImg", "messImg", "bacImg", "okBtn", "cancelBtn"}) {
        if (auto *view = window->findChild<QWidget *>(QString::fromLatin1(name))) view->hide();
    }
}

// An instrument that was attached before the start keeps its clock; it is asked for its
// state (and with it its firmware version) unless the firmware writer owns the link.
void requestInstrumentState() {
    UsbHID &hid = UsbHID::sharedManager();
    if (hid.deviceConnectStatus() == 0) {
        hid.setClockIsChecked(false);
        return;
    }
    hid.setClockIsChecked(true);
    UsbManager &session = UsbManager::sharedUsbManager();
    if (!session.isBurnRom()) session.sendMessageToDevice(UsbManager::AskState);
}

}  // namespace

QObject *AppDelegate::observerOwner() {
    if (!observerOwner_) observerOwner_ = std::make_unique<QObject>();
    return observerOwner_.get();
}

QString AppDelegate::appVersion() const {
    const QString shortVersion =
        appShortVersion_.isNull() ? QString::fromLatin1(cvx::kAppShortVersion) : appShortVersion_;
    return QStringLiteral("V") + shortVersion;
}

bool AppDelegate::createResultDataFolder() {
    return ensureFolder(homeFolder(QStringLiteral("ResultData")));
}

bool AppDelegate::createCommLogFolder() {
    return ensureFolder(homeFolder(QStringLiteral("CommLog")));
}

bool AppDelegate::createTransferLogFolder() {
    return ensureFolder(homeFolder(QStringLiteral("TransferLog")));
}

bool AppDelegate::backupFromPath(const QString &path) {
    cvx::DateFormatter &formatter = appDateFormatter();
    formatter.setDateFormat(QStringLiteral("yyyyMMddHHmm"));
    const QDateTime now = launchClock_ ? launchClock_() : QDateTime::currentDateTime();
    return backupFromPath(path, formatter.stringFromDate(now), true);
}

bool AppDelegate::backupFromPath(const QString &path, const QString &lastAppVersion, bool isCopy) {
    const QString destination = QStringLiteral("%1_%2").arg(path, lastAppVersion);
    // A data folder that is a link to one elsewhere (another disk) is backed up as what it
    // names, never as the link, which holds none of the data. A move copies the data too,
    // rather than carry the folder off its disk, and then takes only the link away, so that a
    // fresh data folder is made in its place; the folder it named is left as it was.
    QString why;
    const auto copied = [&] { return FileManager::copyItemWhole(path, destination, &isLockFile, &why); };
    bool done = false;
    if (isCopy) {
        done = copied();
    } else if (!QFileInfo(path).isSymLink()) {
        done = FileManager::moveItem(path, destination, &why);
        if (done) dropLockFile(destination);
    } else if (copied() && !(done = FileManager::removeItem(path))) {
        // The link stays in use: its copy goes too, so that the next start backs up anew.
        FileManager::removeItem(destination);
        why = FileManager::printablePath(path) + QStringLiteral(": the link could not be removed");
    }
    if (done) return true;
    // An entry of its own, as every entry of the log, with the reason on a line below; no
    // name in it (a home's among them) may split it.
    errorLog(QStringLiteral("\nDirectory %1 %2 to %3 faild!\n%4")
                 .arg(FileManager::printablePath(path),
                      isCopy ? QStringLiteral("copy") : QStringLiteral("move"),
                      FileManager::printablePath(destination), why.isEmpty() ? QString() : why + u'\n'));
    return false;
}

bool AppDelegate::checkDataSource() {
    const QString flagPath = homeFolder(kFlagFileName);
    if (FileManager::fileExists(flagPath)) return false;
    isSetup_ = true;

    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    const QString dataFolder = SettingsFiles::dataFolder();
    // A folder made only to hold this process's lock file holds nothing to keep.
    const bool hasDataFolder = FileManager::isDirectory(dataFolder) && !SettingsFiles::claimMadeDataFolder();
    if (!hasDataFolder) {
        defaults.removeObjectForKey(kSeededKey);
        defaults.synchronize();
    }

    const QString current = appVersion();
    const QString recorded = defaults.stringForKey(kAppVersionKey);
    // Without a data folder there is nothing to keep.
    bool backedUp = true;
    if (hasDataFolder) {
        // A recorded version that could lead the backup out of the home folder names none.
        if (recorded.isEmpty() || recorded == current || recorded.contains(QLatin1Char('/'))) {
            backedUp = backupFromPath(dataFolder);
        } else {
            // Data of a newer version is moved out of an older version's way; otherwise the
            // old version's data stays in use and a copy is kept under its version.
            const bool recordedIsNewer = compareVersions(recorded, current) > 0;
            backedUp = backupFromPath(dataFolder, recorded, !recordedIsNewer);
        }
    }
    // Only a whole backup ends the check: after a kill or a failure (logged), such as a full
    // disk, the next start backs up again.
    if (backedUp && !FileManager::writeAtomically(flagPath, QByteArrayLiteral("flag")))
        errorLog(QStringLiteral("\nFile %1 write faild!\n").arg(FileManager::printablePath(flagPath)));
    defaults.setObject(current, kAppVersionKey);
    return true;
}

void AppDelegate::installSettingsFiles() {
    using Option = cvx::XmlDocument::Option;
    struct SettingsFile {
        const char *name;
        Option option;
    };
    static const std::array<SettingsFile, 8> files{{
        {"DefaultComment.xml", Option::Tidy},
        {"Comment.xml", Option::Tidy},
        {"ModeSetting.xml", Option::None},
        {"USBSetting.xml", Option::Tidy},
        {"DataTransfer.xml", Option::Tidy},
        {"HisSetting.xml", Option::Tidy},
        {"CommSetting.xml", Option::Tidy},
        {"CalcSetting.xml", Option::Tidy},
    }};
    for (const SettingsFile &file : files) {
        const QString name = QString::fromLatin1(file.name);
        const QString target = SettingsFiles::preparedPath(name);
        const bool replace = name == QLatin1String("CalcSetting.xml") ||
                             (name == QLatin1String("DefaultComment.xml") && isSetup_);
        if (!replace && FileManager::fileExists(target)) continue;
        if (!installFromBundle(name, target, file.option)) {
            errorLog(QStringLiteral("\nSettings file %1 could not be installed to %2!\n")
                         .arg(name, FileManager::printablePath(target)));
            continue;
        }
        if (name == QLatin1String("Comment.xml")) {
            DefaultChoices::setTableAndTotalDefaultData();
        } else if (name == QLatin1String("ModeSetting.xml")) {
            UsbManager::sharedUsbManager().setMode(-1);
        } else if (name == QLatin1String("HisSetting.xml")) {
            DefaultChoices::setHispitalAndDoctorDefaultData();
        }
    }
}

void AppDelegate::applicationDidFinishLaunching(QWidget *mainWindow) {
    setIsTest(true);
    setUpdateStep(0);

    UsbUtils::parseFileVersion();

    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    QObject *owner = observerOwner();
    // A second launch in the same process (tests) must not observe twice.
    center.removeObserver(owner, usblink::kUpdateSystem);
    center.removeObserver(owner, usblink::kPcReciveDataNotification);
    center.addObserver(owner, usblink::kUpdateSystem, [this](const cvx::Notification &) { updateSystem(); });
    center.addObserver(owner, usblink::kPcReciveDataNotification,
                       [this](const cvx::Notification &notification) { reciveData(notification); });

    if (mainWindow) shell::placeMainWindow(mainWindow);

    createResultDataFolder();
    createCommLogFolder();
    createTransferLogFolder();

    // Before anything of this run writes there, and before the backup copies the folder.
    SettingsFiles::removeWriteLeftovers();
    removeBackupLeftovers();

    isSetup_ = false;
    checkDataSource();
    // A backup by move took the lock file along.
    SettingsFiles::followDataFolderClaim();

    installExceptionLogger();

    UsbManager::sharedUsbManager().connectHID();

    if (UsbUtils::isHaveMODE() != 0 && dataLinkImport_) dataLinkImport_();

    if (mainWindow) hideConfirmationPanel(mainWindow);

    installSettingsFiles();

    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    if (!hasPatientFile(
            FileManager::appendingPathComponent(SettingsFiles::dataFolder(), QStringLiteral("Customer"))))
        defaults.setObject(QStringLiteral("0"), kResultChoiceNumKey);

    if (defaults.stringForKey(kSeededKey).isEmpty()) DefaultChoices::seedAll();

    if (BBInitDatas::getAutoVersionUp()) updateSystem();

    // A later launch (tests) supersedes the pending request.
    qDeleteAll(owner->findChildren<QObject *>(QString(), Qt::FindDirectChildrenOnly));
    cvx::Dispatch::mainAfter(1000, new QObject(owner), [] { requestInstrumentState(); });
}

void AppDelegate::applicationWillTerminate() {
    cvx::UserDefaults::standard().flush();
}

void AppDelegate::updateSystem() {
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    const UsbManager &session = UsbManager::sharedUsbManager();
    // A missing version equals no version, not even another missing one.
    const auto same = [](const QString &device, const QString &carried) {
        return !device.isEmpty() && device == carried;
    };
    if (same(session.deviceMainVersion(), session.pcMainVersion()) &&
        same(session.deviceDispVersion(), session.pcDispVersion())) {
        setIsTest(true);
        // Nothing is left to update: the offer must not come back at the next launch.
        if (BBInitDatas::getAutoVersionUp()) BBInitDatas::setAutoVersionUp(false);
        center.postNotificationName(shell::kChangeOkButtonStatus);
        return;
    }
    BBInitDatas::setAutoVersionUp(true);
    setIsTest(false);
    center.postNotificationName(shell::kChangeOkButtonStatus);
    setUpdateStep(1);
    TYUpdateView::showUpdateView(
        QStringLiteral("自動バージョンアップ1"), true,
        [this] {
            if (nextUpdateStep_) nextUpdateStep_();
        },
        true,
        [this] {
            setUpdateStep(0);
            cvx::NotificationCenter::defaultCenter().removeObserver(observerOwner(), kit::kErrorOKClicked);
        },
        {});
}

void AppDelegate::reciveData(const cvx::Notification &notification) {
    Q_UNUSED(notification);
}
