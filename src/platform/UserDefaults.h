#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace cvx {

// The user's persistent choices: a key-value store whose values are texts and (nested)
// arrays of texts, kept as one JSON file that is rewritten atomically on every change, so a
// crash loses nothing that a setter reported as saved. Safe to use from any thread.
//
// Values are QVariant holding QString or QVariantList (whose entries are again QString or
// QVariantList); a QStringList is stored as a QVariantList of texts.
class UserDefaults {
public:
    // The application's store at defaultFilePath(). It reloads whenever that path changes
    // (another XDG_CONFIG_HOME or HOME), so it always reflects the current environment.
    static UserDefaults &standard();
    // $XDG_CONFIG_HOME/Corvadenix/defaults.json, with $HOME/.config when XDG_CONFIG_HOME is
    // unset or not absolute.
    static QString defaultFilePath();

    // A store on a file of its own; loads the file at once.
    explicit UserDefaults(const QString &filePath);
    UserDefaults(const UserDefaults &) = delete;
    UserDefaults &operator=(const UserDefaults &) = delete;

    QString filePath() const;

    // The stored value, or an invalid QVariant when the key is absent.
    QVariant objectForKey(const QString &key) const;
    // A null QString when the key is absent or holds no text.
    QString stringForKey(const QString &key) const;
    // An empty list when the key is absent or holds no array.
    QVariantList arrayForKey(const QString &key) const;
    // The texts of a flat array; empty when absent, not an array, or an entry is no text.
    QStringList stringArrayForKey(const QString &key) const;
    // A text value read as an integer by integerValue() (" 12x" -> 12); 0 otherwise.
    qint64 integerForKey(const QString &key) const;

    // Stores and saves. An invalid value removes the key. A value of another type is refused
    // (false, nothing changed). False also when the file could not be written; the value is
    // then kept in memory and the next change or synchronize() tries again.
    bool setObject(const QVariant &value, const QString &key);
    bool removeObjectForKey(const QString &key);
    // Writes the file when an earlier write failed; true when the file holds every value.
    bool synchronize();

private:
    struct FollowEnvironment {};
    explicit UserDefaults(FollowEnvironment);

    void refreshPathLocked() const;
    void loadLocked() const;
    bool saveLocked() const;

    mutable QMutex mutex_;
    const bool followsEnvironment_;
    mutable QString path_;
    mutable QVariantMap values_;
    mutable bool dirty_ = false;
};

}  // namespace cvx
