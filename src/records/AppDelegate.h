#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class QWidget;

namespace cvx {
class DateFormatter;
struct ExceptionReport;
struct Notification;
}  // namespace cvx

// The application's delegate: the values that windows and the instrument link share, and the
// error log "~/Error.txt" with the exception logger that writes into it. The start-up itself
// lives with the application shell and uses this object.
class AppDelegate {
public:
    static AppDelegate &shared();

    AppDelegate(const AppDelegate &) = delete;
    AppDelegate &operator=(const AppDelegate &) = delete;

    // A patient may be accepted for measuring (instrument and application firmware agree).
    bool isTest() const { return isTest_.load(); }
    void setIsTest(bool value) { isTest_.store(value); }

    // Step of the automatic firmware update; 0 while none runs.
    int32_t updateStep() const { return updateStep_.load(); }
    void setUpdateStep(int32_t value) { updateStep_.store(value); }

    // The calling thread's own formatter (neutral locale, local time zone, no pattern at
    // first). Every user sets its pattern before use; a pattern stays until this thread sets
    // another. Threads never share one.
    cvx::DateFormatter &appDateFormatter();

    // File name of the communication log in use.
    QString logDataStr() const;
    void setLogDataStr(const QString &value);

    // The firmware update's controller and its message line, held without ownership; they
    // read as null once the object is destroyed.
    QObject *outputVc() const { return held(outputVc_); }
    void setOutputVc(QObject *value) { hold(outputVc_, value); }
    QObject *msgTextField() const { return held(msgTextField_); }
    void setMsgTextField(QObject *value) { hold(msgTextField_, value); }

    // Appends the text's UTF-8 bytes to "$HOME/Error.txt" as given, creating the file
    // atomically when missing. Appends from different threads never mix. Failures are
    // silent: this is where errors go.
    void errorLog(const QString &text);

    // Writes one exception block (time and symbolised stack) to the error log, or
    // "No stack trace available." when the report has no stack.
    void printStackTrace(const cvx::ExceptionReport &exception);

    // The exception hook's handler: logs the exception (once: an uncaught one is not logged
    // again when it ends the program); true, so it takes its usual course.
    bool exceptionHandler(const cvx::ExceptionReport &exception);

    // Sends every exception from now on, caught ones included, to exceptionHandler().
    void installExceptionLogger();
    void uninstallExceptionLogger();

    // ---- start-up and firmware-version check, defined in the shell library -----------------
    // (shell/AppDelegate_Launch.cpp): only code that links cvx_shell may call these. Main
    // thread only.

    // The start-up: log folders, the data-source check, the exception logger, the instrument
    // link, the data-link import, the settings files, the seeded choices, a resumed firmware
    // update and, one second later, the instrument's state. The main window is sized to
    // 960 x 720 and centred, and its confirmation panel ("bacImg", "messImg", "messBacImg",
    // "okBtn", "cancelBtn" by object name) hidden; it may be null (tests).
    void applicationDidFinishLaunching(QWidget *mainWindow);
    // Writes the user defaults' unwritten changes.
    void applicationWillTerminate();

    // On a fresh installation (no "$HOME/Corvadenix.flag"): writes the flag file, sets
    // isSetup, backs up an existing data folder and records "appVersion". True when this
    // launch is a fresh installation.
    bool checkDataSource();
    // Copies the folder to "<path>_<yyyyMMddHHmm>" (the launch clock's time). A failure is
    // appended to the error log and leaves no partial copy behind.
    bool backupFromPath(const QString &path);
    // Copies (isCopy) or moves the folder to "<path>_<lastAppVersion>"; likewise logged.
    bool backupFromPath(const QString &path, const QString &lastAppVersion, bool isCopy);
    // $HOME/ResultData, $HOME/CommLog, $HOME/TransferLog: true when the folder is there.
    bool createResultDataFolder();
    bool createCommLogFolder();
    bool createTransferLogFolder();

    // Copies the bundle's default settings files into the data folder as the launch does:
    // missing ones, "DefaultComment.xml" also when isSetup, "CalcSetting.xml" always; seeds
    // the choices after installing "Comment.xml" or "HisSetting.xml".
    void installSettingsFiles();

    // This launch found the flag file missing.
    bool isSetup() const { return isSetup_; }
    void setIsSetup(bool value) { isSetup_ = value; }

    // "V" followed by the application's short version string.
    QString appVersion() const;
    // Test only: another short version string; a null text restores the built-in one.
    void setAppShortVersion(const QString &version) { appShortVersion_ = version; }
    // Test only: the source of the launch time that names backups; empty restores the clock.
    void setLaunchClock(std::function<QDateTime()> now) { launchClock_ = std::move(now); }

    // The firmware-version check ("UpdateSystem"): versions agree -> isTest; otherwise the
    // update flag is set, isTest cleared and the first update panel offered.
    void updateSystem();
    // Observer of "pcReciveDataNotification" during the start-up: nothing to do.
    void reciveData(const cvx::Notification &notification);

    // What OK on the first update panel runs (the firmware update installs its next step).
    using UpdateStep = std::function<void()>;
    void setNextUpdateStep(UpdateStep step) { nextUpdateStep_ = std::move(step); }
    // Starts the data-link import of patients; installed by the application (the data link
    // sits above the shell). Unset: the launch starts nothing.
    using DataLinkImport = std::function<void()>;
    void setDataLinkImport(DataLinkImport import) { dataLinkImport_ = std::move(import); }

    // Owner of the delegate's notification observers, so that they go together: the update
    // steps observe "errorOKClicked" with it, and Cancel removes that. The launch's delayed
    // state request is tied to a child of it; deleting the children cancels it.
    QObject *observerOwner();
    // ---- end of start-up and firmware-version check ----------------------------------------

private:
    AppDelegate() = default;
    QObject *held(const QPointer<QObject> &slot) const;
    void hold(QPointer<QObject> &slot, QObject *value);

    std::atomic<bool> isTest_{true};
    std::atomic<int32_t> updateStep_{0};

    mutable std::mutex valuesMutex_;
    QString logDataStr_;
    QPointer<QObject> outputVc_;
    QPointer<QObject> msgTextField_;

    // Recursive: an exception raised while appending is itself logged on the same thread.
    std::recursive_mutex errorLogMutex_;

    // Start-up (main thread).
    bool isSetup_ = false;
    QString appShortVersion_;
    std::function<QDateTime()> launchClock_;
    UpdateStep nextUpdateStep_;
    DataLinkImport dataLinkImport_;
    std::unique_ptr<QObject> observerOwner_;
};
