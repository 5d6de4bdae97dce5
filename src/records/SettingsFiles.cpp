#include "records/SettingsFiles.h"

#include "platform/FileManager.h"

QString SettingsFiles::dataFolder() {
    return cvx::FileManager::appendingPathComponent(cvx::FileManager::homeDirectory(),
                                                    QStringLiteral(".Corvadenix"));
}

QString SettingsFiles::preparedPath(const QString &fileName) {
    const QString folder = dataFolder();
    cvx::FileManager::createDirectory(folder);
    return cvx::FileManager::appendingPathComponent(folder, fileName);
}

std::optional<cvx::XmlDocument> SettingsFiles::load(const QString &path) {
    if (!cvx::FileManager::fileExists(path)) return std::nullopt;
    return cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy);
}

std::recursive_mutex &SettingsFiles::writeMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

QStringList SettingsFiles::numberedTexts(const cvx::XmlElement &list, const QString &prefix) {
    QStringList texts;
    const int count = list.childCount();
    for (int i = 1; i <= count; ++i) {
        const cvx::XmlElement child = list.childAt(i - 1);
        if (child.name() == prefix + QString::number(i)) texts.append(child.stringValue());
    }
    return texts;
}

void SettingsFiles::setNumberedTexts(cvx::XmlElement &list, const QString &prefix, const QStringList &texts) {
    list.removeAllChildren();
    for (qsizetype j = 0; j < texts.size(); ++j)
        list.appendElement(prefix + QString::number(j + 1), texts.at(j));
}
