#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace cvx {

namespace fileio {
struct Calls;
}

// Whether an atomic write waits until its data is on the storage device. Deferred writes are
// still atomic (readers see the old or the whole new file) but may be lost to a power cut until
// FileManager::syncFileSystem has run; bulk jobs write many files Deferred and sync once.
enum class Durability { Synced, Deferred };

// File and folder operations and path-string rules. Every operation reports failure by its
// result and none throws; only a write refused for a pipe, socket or device also logs.
class FileManager {
public:
    using Durability = cvx::Durability;

    // Where a write refused for a pipe, socket or device in its file's place (or at the end of
    // its link) is reported, one entry of text each, once per file and run (the application puts
    // it in its error log); without one, the debug output.
    static void setRefusalLog(std::function<void(const QString &text)> log);

    // $HOME, falling back to the account's home folder when it is unset.
    static QString homeDirectory();

    static bool fileExists(const QString &path);
    static bool isDirectory(const QString &path);
    // Creates the folder and any missing parents; true also when it already is a folder.
    static bool createDirectory(const QString &path);

    // Copy or move a file or a whole folder. Both fail, changing nothing, when `to` exists.
    // A copy takes files, folders and symbolic links, a link that leads to a regular file as
    // the file it names and any other as a link, and fails at anything else, which it never
    // opens. Every failure gives its reason in *why: the entry and the error that stopped it.
    // A folder copy that fails part way leaves what it has copied so far. A copy (and a move
    // that has to copy) is flushed to disk once, when whole, before it reports success; a
    // Deferred copy leaves that to the caller's syncFileSystem. A folder copy leaves out the
    // entries at every depth for whose path `leaveOut` answers true.
    static bool copyItem(const QString &from, const QString &to);
    static bool copyItem(const QString &from, const QString &to, Durability durability,
                         bool (*leaveOut)(const QString &path) = nullptr, QString *why = nullptr);
    // As copyItem, but the copy is made in a hidden sibling of `to` (stagingPath) and takes the
    // name `to` only once it is whole and on the disk: no failure, full disk or kill leaves
    // part of a copy under `to`. A failure removes the hidden copy; a kill leaves it behind.
    // A symbolic link given as `from` is followed: the copy holds what it names. Nothing is
    // written where the tree holds a pipe, socket or device (no copy opens one) or where it
    // needs more room than the destination's file system has free (hasRoomFor).
    static bool copyItemWhole(const QString &from, const QString &to,
                              bool (*leaveOut)(const QString &path) = nullptr, QString *why = nullptr);
    // Whether the file system holding the folder `into` has room for a copy of `from` (a link
    // followed) as copyItem makes it: the blocks that its files take there, each rounded up to
    // whole blocks, and its folders, not merely their bytes. A pipe, socket or device takes
    // none; the copy decides on it. False, with the figures in *why, where the room is short;
    // true where it cannot be told.
    static bool hasRoomFor(const QString &from, const QString &into,
                           bool (*leaveOut)(const QString &path) = nullptr, QString *why = nullptr);
    // A move that has to copy (another file system) copies as copyItemWhole does, the link
    // given as `from` moved as a link.
    static bool moveItem(const QString &from, const QString &to);
    static bool moveItem(const QString &from, const QString &to, QString *why);
    // The hidden sibling in which a job makes `target` before giving it the target's name whole,
    // in the same folder, where a rename is atomic: ".<name>.<what>-" and 32 hexadecimal digits.
    static QString stagingPath(const QString &target, const QString &what = QStringLiteral("partial"));
    // The target's name when `name` is that of a stagingPath of the kind `what`, else null.
    static QString stagedName(const QString &name, const QString &what = QStringLiteral("partial"));
    // Removes a file, a symbolic link (not its target) or a folder with all it holds.
    static bool removeItem(const QString &path);

    // Names of the entries directly inside `folder`, in the file system's listing order.
    static QStringList contentsOfDirectory(const QString &folder);
    // Every entry below `folder` at all depths (folders too), as paths relative to it, in
    // the file system's listing order; symbolic links to folders are not descended into.
    static QStringList subpaths(const QString &folder);
    static QStringList sortedSubpaths(const QString &folder);

    // A file or folder name as text for a person to read: UTF-8 where its bytes are UTF-8, else
    // code page 932 where they read so (names written on another system), else with the bytes
    // outside UTF-8 written as \xNN. Control characters and backslashes are written as \xNN
    // too, so that a name never splits the line of a log it is named in.
    static QString printableName(QByteArrayView name);
    // A path as text for a person to read, with control characters (C0, DEL and C1) and
    // backslashes written as \xNN, and the line and paragraph separators as \u2028 and \u2029.
    static QString printablePath(const QString &path);

    // Whole contents, or nothing when the file cannot be read.
    static std::optional<QByteArray> readFile(const QString &path);
    // Appends to an existing file; a missing file is created whole, atomically. False, opening
    // nothing, where a pipe, socket or device is in the file's place or at the end of its link.
    static bool appendToFile(const QString &path, const QByteArray &bytes);
    // Whether `name` has the form of the temporary file an atomic write makes beside its
    // target: the target's name, a dot and six ASCII letters or digits, at least one a capital
    // and one a digit ("1.xml.aZ09bY"). A write killed part way leaves it behind.
    static bool isTemporaryName(const QString &name);
    // Writes a temporary file in the same folder and renames it over `path`, so readers see
    // either the old or the complete new contents. The folder must exist. A symbolic link is
    // followed to the file it names; an existing file keeps its permissions. A pipe, socket or
    // device at the path or at the end of its link is never replaced: the write is refused and
    // reported (setRefusalLog). On any failure (a full disk, an I/O error) the temporary file is
    // removed, the old file stays as it was and the result is false, with the reason in *error.
    static bool writeAtomically(const QString &path, const QByteArray &bytes,
                                Durability durability = Durability::Synced);
    static bool writeAtomically(const QString &path, const QByteArray &bytes, Durability durability,
                                QString *error);
    // As writeAtomically, for a file that is not there yet: it is put in place only where no
    // entry is (a symbolic link counts as one), and otherwise nothing changes.
    enum class Created { Written, AlreadyThere, Failed };
    static Created createAtomically(const QString &path, const QByteArray &bytes,
                                    Durability durability = Durability::Synced, QString *error = nullptr);
    // Flushes every file written with Durability::Deferred on the file system holding `path`.
    static bool syncFileSystem(const QString &path);

    // Path-string rules: repeated slashes count as one and a trailing slash is ignored.
    // "a/b.xml" -> "xml"; ".xml" -> ""; "a.b.xml" -> "xml"; "dir.d/file" -> "".
    static QString pathExtension(const QString &path);
    // "/a/b/" -> "b"; "/" -> "/".
    static QString lastPathComponent(const QString &path);
    // "/a/b.txt" -> "/a/b"; ".xml" -> ".xml".
    static QString deletingPathExtension(const QString &path);
    // Joins with exactly one slash: ("/a/", "b") -> "/a/b"; ("", "b") -> "b".
    static QString appendingPathComponent(const QString &path, const QString &component);
};

// A file written piece by piece and put in place whole by commit(), as
// FileManager::writeAtomically does; pieces are buffered. Any failure ends the write: the
// temporary file is removed, every later call fails and errorString() says why. A file that is
// not committed is removed when the object goes. A pipe, socket or device in the file's place is
// refused when the file is opened and again right before it is put in place.
class AtomicFile {
public:
    // OnlyNew: commit() fails with EEXIST where an entry is at the path, leaving it alone.
    enum class Mode { Replace, OnlyNew };
    explicit AtomicFile(const QString &path, Mode mode = Mode::Replace);
    // The file `name` directly inside the folder open as `folder`, which stays open until the
    // file is committed or gone. A link of that name is replaced, never followed.
    AtomicFile(int folder, const QString &name, Mode mode = Mode::Replace);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    bool open();
    bool write(const QByteArray &bytes);
    bool commit(Durability durability = Durability::Synced);
    QString errorString() const;
    // The errno of the failure; 0 while none.
    int error() const { return error_; }

private:
    static constexpr qsizetype kBufferSize = 64 * 1024;
    bool fail(int err);
    bool abandon(int err);
    bool refuseNode();
    // The type bits of the entry at the target, a link not followed; 0 where there is none.
    unsigned targetType() const;
    bool flushBuffer();
    bool putInPlace(const fileio::Calls &io);
    int openHere(const fileio::Calls &io, const QByteArray &name, int flags) const;
    int renameHere(const fileio::Calls &io, unsigned flags) const;
    void syncHere(const fileio::Calls &io) const;

    QString path_;
    int folder_ = -1;  // with a name, the folder it is in; -1 with a path
    QByteArray target_;
    QByteArray temporary_;
    QByteArray buffer_;
    int fd_ = -1;
    int error_ = 0;
    bool onlyNew_ = false;
    bool refusedNode_ = false;
};

// A folder held open and worked in by names relative to it: whatever is put in its place later
// (a link, another folder) changes nothing for it, and below it no link is ever followed, nor
// "." or "..". Move-only; closed when it goes. Failures leave the reason in errno.
class OpenFolder {
public:
    OpenFolder() = default;
    // The folder at `path`, links on the way followed as for any path; not open when there is
    // no folder.
    explicit OpenFolder(const QString &path);
    ~OpenFolder();
    OpenFolder(OpenFolder &&other) noexcept;
    OpenFolder &operator=(OpenFolder &&other) noexcept;
    OpenFolder(const OpenFolder &) = delete;
    OpenFolder &operator=(const OpenFolder &) = delete;

    bool isOpen() const { return fd_ >= 0; }

    // The folder at `relative` ("a/b") below this one, every step a real folder, not a link;
    // "" is this folder again. With `create`, missing folders are made. Not open when it cannot
    // be had: ENOTDIR when a link or a file is in the way.
    OpenFolder folder(const QString &relative, bool create = false) const;

    enum class Entry { Missing, File, Folder, Link, Other };
    // The entry `name` directly inside, a link not followed; Missing also when it cannot be seen.
    Entry entry(const QString &name) const;
    // Names of the entries directly inside, in the file system's listing order.
    QStringList contents() const;
    // A folder below that a listing did not go into, with the errno why: ELOOP for a link to a
    // folder, ENAMETOOLONG for one deeper than a path can name; "" is this folder. Or an entry,
    // folder or not, whose name is not UTF-8 (EILSEQ), named by FileManager::printableName.
    struct Unlisted {
        QString relative;
        int error = 0;
        bool folder = true;
    };
    // Every entry below at all depths, as FileManager::subpaths gives them; links are not
    // descended into. Depth costs no open folder. The folders it did not go into, links to
    // folders among them, and the entries whose names are not UTF-8, which no path of text
    // leads to, go to *unlisted instead.
    QStringList subpaths(QList<Unlisted> *unlisted = nullptr) const;
    // The whole contents of the plain file `name` directly inside; nothing for a link or
    // anything but a plain file, or when it cannot be read.
    std::optional<QByteArray> readFile(const QString &name) const;
    // As FileManager::writeAtomically, for the file `name` directly inside (see AtomicFile).
    bool writeAtomically(const QString &name, const QByteArray &bytes,
                         Durability durability = Durability::Synced, QString *error = nullptr) const;

private:
    explicit OpenFolder(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace cvx
