#include "datamanage/DataJobs.h"

#include <QFileInfo>

#include "platform/FileManager.h"
#include "records/UsbUtils.h"

void DataJobs::transferLog(const QString &line) {
    const QString folder = cvx::FileManager::homeDirectory() + QStringLiteral("/TransferLog");
    cvx::FileManager::createDirectory(folder);
    UsbUtils::writeLogToPath(folder, line);
}

bool DataJobs::isInsideFolder(const QString &path, const QString &folder) {
    const QString p = QFileInfo(path).canonicalFilePath();
    const QString f = QFileInfo(folder).canonicalFilePath();
    if (p.isEmpty() || f.isEmpty()) return false;
    return p == f || p.startsWith(f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/'));
}
