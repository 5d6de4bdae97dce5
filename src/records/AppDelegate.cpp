#include "records/AppDelegate.h"

#include <QDateTime>

#include "platform/DateFormatter.h"
#include "platform/ExceptionHook.h"
#include "platform/FileManager.h"
#include "platform/XmlRecovery.h"

AppDelegate &AppDelegate::shared() {
    // Never destroyed: the exception logger may still run while static objects are torn down.
    static AppDelegate *const instance = [] {
        auto *delegate = new AppDelegate;
        cvx::setXmlRepairLog([delegate](const QString &text) { delegate->errorLog(text); });
        cvx::FileManager::setRefusalLog([delegate](const QString &text) { delegate->errorLog(text); });
        return delegate;
    }();
    return *instance;
}

cvx::DateFormatter &AppDelegate::appDateFormatter() {
    thread_local cvx::DateFormatter formatter;
    return formatter;
}

QString AppDelegate::logDataStr() const {
    std::lock_guard lock(valuesMutex_);
    return logDataStr_;
}

void AppDelegate::setLogDataStr(const QString &value) {
    std::lock_guard lock(valuesMutex_);
    logDataStr_ = value;
}

QObject *AppDelegate::held(const QPointer<QObject> &slot) const {
    std::lock_guard lock(valuesMutex_);
    return slot.data();
}

void AppDelegate::hold(QPointer<QObject> &slot, QObject *value) {
    std::lock_guard lock(valuesMutex_);
    slot = value;
}

void AppDelegate::errorLog(const QString &text) {
    const QString path = cvx::FileManager::homeDirectory() + QStringLiteral("/Error.txt");
    const QByteArray bytes = text.toUtf8();
    std::lock_guard lock(errorLogMutex_);
    cvx::FileManager::appendToFile(path, bytes);
}

void AppDelegate::printStackTrace(const cvx::ExceptionReport &exception) {
    if (exception.stack.empty()) {
        errorLog(QStringLiteral("No stack trace available."));
        return;
    }
    const QString symbols = cvx::ExceptionHook::symbolise(exception.stack);
    // Local wall-clock figures written with a +0000 offset, as the log has always shown them.
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                         QStringLiteral(" +0000");
    errorLog(QStringLiteral("\n\n*************************exception begin\nexception time: %1\n%2\n"
                            "*************************exception end\n\n")
                 .arg(time, symbols));
}

bool AppDelegate::exceptionHandler(const cvx::ExceptionReport &exception) {
    // An uncaught exception already has its block from when it was thrown.
    if (!exception.alreadyReported) printStackTrace(exception);
    return true;
}

void AppDelegate::installExceptionLogger() {
    cvx::ExceptionHook::install(
        [this](const cvx::ExceptionReport &exception) { exceptionHandler(exception); });
}

void AppDelegate::uninstallExceptionLogger() {
    cvx::ExceptionHook::uninstall();
}
