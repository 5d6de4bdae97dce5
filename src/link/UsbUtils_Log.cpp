#include <QStringList>

#include "link/LogClock.h"
#include "link/UsbManager.h"
#include "platform/DateFormatter.h"
#include "platform/Dates.h"
#include "platform/FileManager.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"

namespace {

QString commLogFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/CommLog");
}

QString transferLogFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/TransferLog");
}

QString formatted(const QDateTime &moment, const QString &pattern) {
    cvx::DateFormatter &formatter = AppDelegate::shared().appDateFormatter();
    formatter.setDateFormat(pattern);
    return formatter.stringFromDate(moment);
}

// The name of the communication log for an entry at `today`: the connection keeps the file
// of its first entry, even past midnight.
QString commLogFileName(const QString &today) {
    AppDelegate &app = AppDelegate::shared();
    const QString inUse = app.logDataStr();
    if (!inUse.isEmpty() && UsbManager::sharedUsbManager().isConnect()) return inUse;
    const QString name = QStringLiteral("/CommData_%1.log").arg(today);
    app.setLogDataStr(name);
    return name;
}

}  // namespace

void UsbUtils::myWriteLogCallback(const QString &text) {
    writeLogToPath(commLogFolder(), text);
}

void UsbUtils::writeLogToPath(const QString &folder, const QString &text) {
    const QDateTime now = cvx::LogClock::now();
    const QString today = formatted(now, QStringLiteral("yyyyMMdd"));

    QString fileName;
    QString entry;
    if (folder == commLogFolder()) {
        fileName = commLogFileName(today);
        const QString stamp = formatted(now, QStringLiteral("yyyy-MM-dd HH:mm:ss SSS"));
        entry = QString(22, QChar(0x2014)) + stamp + QStringLiteral("\r\n") + text + QStringLiteral("\r\n");
    } else {
        fileName = QStringLiteral("/TransferLog_%1.log").arg(today);
        entry = text + QStringLiteral("\r\n");
    }
    cvx::FileManager::appendToFile(folder + fileName, entry.toUtf8());

    deleteLogTwoYearsAgo(commLogFolder());
    deleteLogTwoYearsAgo(transferLogFolder());
}

void UsbUtils::deleteLogTwoYearsAgo(const QString &folder) {
    if (!cvx::FileManager::isDirectory(folder)) return;

    // Sorted, so that stopping at the first name at or after the key has passed every older
    // log whatever order the file system lists them in.
    QStringList names;
    for (const QString &relative : cvx::FileManager::sortedSubpaths(folder)) {
        if (cvx::FileManager::pathExtension(relative) != QLatin1String("log")) continue;
        // A folder that happens to be named *.log is no log; never delete it with its contents.
        if (cvx::FileManager::isDirectory(folder + QLatin1Char('/') + relative)) continue;
        names.append(cvx::FileManager::deletingPathExtension(relative));
    }

    const cvx::Calendar calendar = cvx::Calendar::gregorian();
    const QDateTime cutOff = calendar.addDays(calendar.addYears(cvx::LogClock::now(), -2), 1);
    const QString prefix =
        folder == commLogFolder() ? QStringLiteral("CommData_") : QStringLiteral("TransferLog_");
    const QString key = prefix + formatted(cutOff, QStringLiteral("yyyyMMdd"));

    for (const QString &name : names) {
        if (!(name < key)) break;
        cvx::FileManager::removeItem(folder + QLatin1Char('/') + name + QStringLiteral(".log"));
    }
}

QString UsbUtils::replaceAsciiStr(const QString &text) {
    static const struct {
        char16_t byte;
        const char *name;
    } kNames[] = {
        {0x02, "<STX>"}, {0x03, "<ETX>"}, {0x04, "<EOT>"}, {0x05, "<ENQ>"}, {0x06, "<ACK>"},
        {0x0A, "<LF>"},  {0x0D, "<CR>"},  {0x15, "<NAK>"}, {0x17, "<ETB>"},
    };
    QString out = text;
    for (const auto &entry : kNames) out.replace(QChar(entry.byte), QLatin1String(entry.name));
    return out;
}
