#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace cvx {

// The user's persistent choices: a key-value store whose values are texts and (nested)
// arrays of texts, kept as one JSON file. Changes take effect in memory at once and are written
// coalesced, atomically, by a writer thread a moment after the first unwritten change (a few
// writes a second at most, whatever the number of changes), so a crash loses at most the last
// moment's changes and never the file. flush() writes now. Safe to use from any thread.
//
// Other processes may use the same file: a write takes an advisory lock on the file's folder,
// reads the file again and puts only this store's own changes and removals over it, so no
// process drops another's keys; what the others wrote becomes visible here at each write.
// A file that is gone or cannot be read at a write (removed or damaged from outside) is
// written anew from everything this store holds; a damaged one is first set aside.
//
// Bulk jobs rely on the coalescing; a change a person's click makes is followed by flush(),
// so that it is on disk when the click has been handled.
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
    // Writes what is still unwritten.
    ~UserDefaults();
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

    // Stores, to be written shortly. An invalid value removes the key. A value of another
    // type is refused (false, nothing changed).
    bool setObject(const QVariant &value, const QString &key);
    bool removeObjectForKey(const QString &key);
    // Writes every unwritten change now; true when the file holds them all. After a failed
    // write the changes stay in memory, and the next change or flush tries again.
    bool flush();
    bool synchronize() { return flush(); }
    // As flush(), and a file that is gone or cannot be read is written anew from everything
    // held even when nothing changed: at the end of a run, so that the next run does not
    // start without what this one held.
    bool flushAll();

private:
    struct FollowEnvironment {};
    explicit UserDefaults(FollowEnvironment);

    // A change of this store not yet written: the key, the change's number, the value (an
    // invalid one for a removal).
    struct Change {
        QString key;
        quint64 number;
        QVariant value;
    };

    bool write(bool all);
    void refreshPathLocked() const;
    void loadLocked() const;
    QList<Change> changesLocked() const;
    void changedLocked(const QString &key);
    void writerLoop();

    mutable std::mutex mutex_;
    const bool followsEnvironment_;
    mutable QString path_;
    mutable QVariantMap values_;
    // Key -> number of its latest unwritten change.
    mutable QHash<QString, quint64> changes_;
    mutable quint64 changeCount_ = 0;

    std::mutex flushMutex_;  // one write at a time
    std::thread writer_;
    std::condition_variable wake_;
    bool writeDue_ = false;
    std::chrono::steady_clock::time_point dueAt_;
    bool stopping_ = false;
};

}  // namespace cvx
