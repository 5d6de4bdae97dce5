#include "platform/Bundle.h"

#include <QFileInfo>
#include <QStringList>
#include <optional>

#include "platform/FileManager.h"

namespace cvx {

QString Bundle::pathForResource(const QString &name) {
    QString relative = name;
    while (relative.startsWith(QLatin1Char('/'))) relative.remove(0, 1);
    if (relative.isEmpty()) return QString();
    for (const QString &folder : {QStringLiteral(":/"), QStringLiteral(":/settings/")}) {
        const QString path = folder + relative;
        if (QFileInfo(path).isFile()) return path;
    }
    return QString();
}

QString Bundle::pathForResource(const QString &name, const QString &type) {
    return pathForResource(type.isEmpty() ? name : name + QLatin1Char('.') + type);
}

bool Bundle::copyResource(const QString &name, const QString &destination) {
    // Reading and writing the bytes, rather than QFile::copy, gives the copy the usual
    // permissions instead of the resource's read-only ones.
    const QString path = pathForResource(name);
    if (path.isNull()) return false;
    const std::optional<QByteArray> bytes = FileManager::readFile(path);
    return bytes && FileManager::writeAtomically(destination, *bytes);
}

}  // namespace cvx
