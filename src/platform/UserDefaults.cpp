#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <optional>

#include "platform/FileManager.h"
#include "platform/Numbers.h"

namespace cvx {

namespace {

// Texts and arrays of texts only; a null text is stored as "" since the file cannot tell
// them apart.
std::optional<QVariant> normalised(const QVariant &value) {
    switch (value.typeId()) {
        case QMetaType::QString: {
            const QString text = value.toString();
            return QVariant(text.isNull() ? QStringLiteral("") : text);
        }
        case QMetaType::QStringList: {
            QVariantList list;
            for (const QString &text : value.toStringList()) list.append(*normalised(QVariant(text)));
            return QVariant(list);
        }
        case QMetaType::QVariantList: {
            QVariantList list;
            for (const QVariant &entry : value.toList()) {
                std::optional<QVariant> n = normalised(entry);
                if (!n) return std::nullopt;
                list.append(*n);
            }
            return QVariant(list);
        }
        default:
            return std::nullopt;
    }
}

// Keeps an unreadable file for inspection instead of overwriting it with the next change.
void setAside(const QString &path) {
    for (int i = 0; i < 1000; ++i) {
        const QString aside = path + QStringLiteral(".bad") + (i ? QStringLiteral(".%1").arg(i) : QString());
        if (QFileInfo::exists(aside)) continue;
        if (QFile::rename(path, aside)) {
            qWarning("user defaults: unreadable %s kept as %s, starting empty", qPrintable(path),
                     qPrintable(aside));
            return;
        }
        break;
    }
    qWarning("user defaults: unreadable %s could not be set aside, starting empty", qPrintable(path));
}

}  // namespace

UserDefaults &UserDefaults::standard() {
    static UserDefaults instance{FollowEnvironment{}};
    return instance;
}

QString UserDefaults::defaultFilePath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = FileManager::homeDirectory() + QStringLiteral("/.config");
    return config + QStringLiteral("/Corvadenix/defaults.json");
}

UserDefaults::UserDefaults(const QString &filePath) : followsEnvironment_(false), path_(filePath) {
    QMutexLocker lock(&mutex_);
    loadLocked();
}

UserDefaults::UserDefaults(FollowEnvironment) : followsEnvironment_(true) {}

QString UserDefaults::filePath() const {
    QMutexLocker lock(&mutex_);
    refreshPathLocked();
    return path_;
}

QVariant UserDefaults::objectForKey(const QString &key) const {
    QMutexLocker lock(&mutex_);
    refreshPathLocked();
    return values_.value(key);
}

QString UserDefaults::stringForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    if (value.typeId() != QMetaType::QString) return QString();
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text;
}

QVariantList UserDefaults::arrayForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QVariantList ? value.toList() : QVariantList();
}

QStringList UserDefaults::stringArrayForKey(const QString &key) const {
    QStringList texts;
    for (const QVariant &entry : arrayForKey(key)) {
        if (entry.typeId() != QMetaType::QString) return {};
        texts.append(entry.toString());
    }
    return texts;
}

qint64 UserDefaults::integerForKey(const QString &key) const {
    const QVariant value = objectForKey(key);
    return value.typeId() == QMetaType::QString ? integerValue(value.toString()) : 0;
}

bool UserDefaults::setObject(const QVariant &value, const QString &key) {
    if (!value.isValid()) return removeObjectForKey(key);
    const std::optional<QVariant> stored = normalised(value);
    if (!stored) return false;
    QMutexLocker lock(&mutex_);
    refreshPathLocked();
    values_.insert(key, *stored);
    return saveLocked();
}

bool UserDefaults::removeObjectForKey(const QString &key) {
    QMutexLocker lock(&mutex_);
    refreshPathLocked();
    if (values_.remove(key) == 0 && !dirty_) return true;
    return saveLocked();
}

bool UserDefaults::synchronize() {
    QMutexLocker lock(&mutex_);
    refreshPathLocked();
    return !dirty_ || saveLocked();
}

void UserDefaults::refreshPathLocked() const {
    if (!followsEnvironment_) return;
    const QString path = defaultFilePath();
    if (path == path_) return;
    path_ = path;
    loadLocked();
}

void UserDefaults::loadLocked() const {
    values_.clear();
    dirty_ = false;
    if (!QFileInfo::exists(path_)) return;
    const std::optional<QByteArray> bytes = FileManager::readFile(path_);
    QJsonParseError error{};
    const QJsonDocument doc = bytes ? QJsonDocument::fromJson(*bytes, &error) : QJsonDocument();
    if (bytes && error.error == QJsonParseError::NoError && doc.isObject()) {
        values_ = doc.object().toVariantMap();
        return;
    }
    setAside(path_);
}

bool UserDefaults::saveLocked() const {
    const QByteArray bytes =
        QJsonDocument(QJsonObject::fromVariantMap(values_)).toJson(QJsonDocument::Indented);
    dirty_ = !(FileManager::createDirectory(QFileInfo(path_).absolutePath()) &&
               FileManager::writeAtomically(path_, bytes));
    return !dirty_;
}

}  // namespace cvx
