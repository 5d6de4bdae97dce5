#include "FuzzSetUp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace cvxfuzz {

QString setUp(int *argc, char ***argv) {
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    QDir(home.path()).mkpath(QStringLiteral(".config"));
    qputenv("XDG_CONFIG_HOME", QDir(home.path()).filePath(QStringLiteral(".config")).toUtf8());
    return home.path();
}

bool writeFile(const QString &path, const char *data, qsizetype size) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data, size) == size;
}

}  // namespace cvxfuzz
