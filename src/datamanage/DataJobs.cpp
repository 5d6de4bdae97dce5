#include "datamanage/DataJobs.h"

#include <QFileInfo>

bool DataJobs::isInsideFolder(const QString &path, const QString &folder) {
    const QString p = QFileInfo(path).canonicalFilePath();
    const QString f = QFileInfo(folder).canonicalFilePath();
    if (p.isEmpty() || f.isEmpty()) return false;
    return p == f || p.startsWith(f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/'));
}
