#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <optional>

#include "platform/FileLock.h"
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

// The file's values; nothing when it is missing, and when it is unreadable, which is set aside.
// A pipe, socket or device is no file to set aside: a write refuses it and leaves it as it is.
std::optional<QVariantMap> readValues(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() || !(info.isFile() || info.isDir())) return std::nullopt;
    const std::optional<QByteArray> bytes = FileManager::readFile(path);
    QJsonParseError error{};
    const QJsonDocument doc = bytes ? QJsonDocument::fromJson(*bytes, &error) : QJsonDocument();
    if (bytes && error.error == QJsonParseError::NoError && doc.isObject())
        return doc.object().toVariantMap();
    setAside(path);
    return std::nullopt;
}

// A delay that gathers a burst of changes into one write.
constexpr std::chrono::milliseconds kWriteDelay{250};

// Under the lock of the file's folder, so that what another process wrote in between is
// kept: the file as it is now with these changes put over it (an invalid value removes the
// key), written atomically. A file that is gone or damaged (removed or restored from
// outside) would lose every key but the changed ones: it is healed from `held`, what this
// store holds. Without changes, only such a file is written. The values written (or read),
// or nothing when the write failed.
std::optional<QVariantMap> writeOver(const QString &path, const QList<std::pair<QString, QVariant>> &changes,
                                     const QVariantMap &held) {
    const QString folder = QFileInfo(path).absolutePath();
    if (changes.isEmpty() && held.isEmpty()) return held;
    if (!FileManager::createDirectory(folder)) return std::nullopt;
    const FileLock lock(folder, FileLock::Kind::Folder, FileLock::Mode::Wait);
    const std::optional<QVariantMap> read = readValues(path);
    if (read && changes.isEmpty()) return read;
    QVariantMap values = read.value_or(held);
    for (const auto &[key, value] : changes) {
        if (value.isValid())
            values.insert(key, value);
        else
            values.remove(key);
    }
    const QByteArray bytes =
        QJsonDocument(QJsonObject::fromVariantMap(values)).toJson(QJsonDocument::Indented);
    if (!FileManager::writeAtomically(path, bytes)) return std::nullopt;
    return values;
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
    std::lock_guard lock(mutex_);
    loadLocked();
}

UserDefaults::UserDefaults(FollowEnvironment) : followsEnvironment_(true) {}

UserDefaults::~UserDefaults() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) writer_.join();
    flush();
}

QString UserDefaults::filePath() const {
    std::lock_guard lock(mutex_);
    refreshPathLocked();
    return path_;
}

QVariant UserDefaults::objectForKey(const QString &key) const {
    std::lock_guard lock(mutex_);
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
    std::lock_guard lock(mutex_);
    refreshPathLocked();
    values_.insert(key, *stored);
    changedLocked(key);
    return true;
}

bool UserDefaults::removeObjectForKey(const QString &key) {
    std::lock_guard lock(mutex_);
    refreshPathLocked();
    // Also a key this store does not see yet: another process may have set it.
    values_.remove(key);
    changedLocked(key);
    return true;
}

bool UserDefaults::flush() {
    return write(false);
}

bool UserDefaults::flushAll() {
    return write(true);
}

bool UserDefaults::write(bool all) {
    std::lock_guard one(flushMutex_);
    QString path;
    QList<Change> changes;
    QVariantMap held;
    {
        std::lock_guard lock(mutex_);
        refreshPathLocked();
        if (changes_.isEmpty() && !all) return true;
        path = path_;
        changes = changesLocked();
        held = values_;
    }
    // Written without holding the values, so readers and setters never wait for the disk.
    QList<std::pair<QString, QVariant>> overlay;
    for (const Change &change : changes) overlay.append({change.key, change.value});
    std::optional<QVariantMap> written = writeOver(path, overlay, held);
    if (!written) return false;

    std::lock_guard lock(mutex_);
    if (path_ != path) return true;  // the store moved to another file meanwhile
    for (const Change &change : changes) {
        const auto it = changes_.constFind(change.key);
        if (it != changes_.cend() && it.value() == change.number) changes_.erase(it);
    }
    // What other processes wrote, under the changes made here since the snapshot.
    for (auto it = changes_.cbegin(); it != changes_.cend(); ++it) {
        const auto value = values_.constFind(it.key());
        if (value != values_.cend())
            written->insert(it.key(), value.value());
        else
            written->remove(it.key());
    }
    values_ = std::move(*written);
    return true;
}

QList<UserDefaults::Change> UserDefaults::changesLocked() const {
    QList<Change> changes;
    changes.reserve(changes_.size());
    for (auto it = changes_.cbegin(); it != changes_.cend(); ++it)
        changes.append({it.key(), it.value(), values_.value(it.key())});
    return changes;
}

void UserDefaults::changedLocked(const QString &key) {
    changes_.insert(key, ++changeCount_);
    if (writeDue_ || stopping_) return;
    writeDue_ = true;
    dueAt_ = std::chrono::steady_clock::now() + kWriteDelay;
    if (!writer_.joinable()) writer_ = std::thread([this] { writerLoop(); });
    wake_.notify_one();
}

void UserDefaults::writerLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!writeDue_) {
            wake_.wait(lock);
            continue;
        }
        if (std::chrono::steady_clock::now() < dueAt_) {
            wake_.wait_until(lock, dueAt_);
            continue;
        }
        writeDue_ = false;
        lock.unlock();
        // A failed write waits for the next change or flush.
        flush();
        lock.lock();
    }
}

void UserDefaults::refreshPathLocked() const {
    if (!followsEnvironment_) return;
    const QString path = defaultFilePath();
    if (path == path_) return;
    // Changes belong to the file they were made for.
    if (!changes_.isEmpty() && !path_.isEmpty()) {
        QList<std::pair<QString, QVariant>> overlay;
        for (const Change &change : changesLocked()) overlay.append({change.key, change.value});
        writeOver(path_, overlay, values_);
    }
    path_ = path;
    loadLocked();
}

void UserDefaults::loadLocked() const {
    changes_.clear();
    values_ = readValues(path_).value_or(QVariantMap());
}

}  // namespace cvx
