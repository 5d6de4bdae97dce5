#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace cvx {
class DateFormatter;
struct ExceptionReport;
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
};
