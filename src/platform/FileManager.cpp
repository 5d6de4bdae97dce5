#include "platform/FileManager.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QDebug>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/FileIo.h"
#include "platform/TextEncoding.h"

namespace cvx {

namespace fileio {

namespace {

int systemOpen(const char *path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

int systemRename(const char *from, const char *to, unsigned flags) {
    return flags == 0 ? ::rename(from, to) : ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
}

Calls &current() {
    static Calls calls = systemCalls();
    return calls;
}

}  // namespace

int systemOpenat(int folder, const char *name, int flags, mode_t mode) {
    return ::openat(folder, name, flags, mode);
}

int systemRenameat(int fromFolder, const char *from, int toFolder, const char *to, unsigned flags) {
    return ::renameat2(fromFolder, from, toFolder, to, flags);
}

int systemStatvfs(const char *path, struct statvfs *info) {
    return ::statvfs(path, info);
}

bool readToEnd(int fd, off_t size, QByteArray &buffer) {
    // One byte more than the size, so that a file grown meanwhile is read to its end.
    buffer.resize(qsizetype(size) + 1);
    qsizetype done = 0;
    for (;;) {
        if (done == buffer.size()) buffer.resize(buffer.size() * 2);
        const ssize_t got = ::read(fd, buffer.data() + done, size_t(buffer.size() - done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        done += got;
    }
    buffer.resize(done);
    return true;
}

bool readRegularFile(int folder, const char *name, int flags, QByteArray &buffer) {
    const int fd = ::openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | flags);
    if (fd < 0) return false;
    struct stat st {};
    const bool read = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && readToEnd(fd, st.st_size, buffer);
    ::close(fd);
    return read;
}

int openRegularFile(const char *path, int flags, mode_t mode, struct stat *st) {
    if (::stat(path, st) == 0 && !S_ISREG(st->st_mode)) return -1;
    const int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) return -1;
    if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

Calls systemCalls() {
    return {systemOpen, ::write, ::fsync, ::close, systemRename, ::syncfs};
}

const Calls &calls() {
    return current();
}

ScopedCalls::ScopedCalls(const Calls &replacement) : previous_(current()) {
    current() = replacement;
}

ScopedCalls::~ScopedCalls() {
    current() = previous_;
}

}  // namespace fileio

namespace {

// A symbolic link is an entry of its own even when its target is missing.
// The entry itself, a symbolic link not followed; false when there is none.
bool entryStat(const QString &path, struct stat &st) {
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool entryExists(const QString &path) {
    struct stat st {};
    return entryStat(path, st);
}

// A folder, or a link to one.
bool isFolderEntry(const QString &path, const struct stat &st) {
    if (S_ISDIR(st.st_mode)) return true;
    struct stat target {};
    return S_ISLNK(st.st_mode) && ::stat(QFile::encodeName(path).constData(), &target) == 0 &&
           S_ISDIR(target.st_mode);
}

// Names the entry and the error of the call that failed on it in *why, unless a step below gave
// the reason already. False, with errno `err`.
bool failAt(const QString &path, QString *why, int err = errno) {
    if (why && why->isEmpty())
        *why = FileManager::printablePath(path) + QStringLiteral(": ") +
               QString::fromLocal8Bit(std::strerror(err));
    errno = err;
    return false;
}

// A link that leads to a regular file is copied as that file: the copy holds the bytes the
// program reads through it, which a link may no longer reach from where the copy lies. Its
// target's status goes to `target`.
bool leadsToFile(const QString &path, const struct stat &st, struct stat &target) {
    return S_ISLNK(st.st_mode) && ::stat(QFile::encodeName(path).constData(), &target) == 0 &&
           S_ISREG(target.st_mode);
}

// Recreates the link itself so that a copy never follows a link out of the tree or round a loop.
bool copySymLink(const QString &from, const QString &to, QString *why) {
    QByteArray target(4096, '\0');
    const ssize_t n = ::readlink(QFile::encodeName(from).constData(), target.data(), target.size());
    if (n <= 0 || n >= target.size()) return failAt(from, why, n < 0 ? errno : ENAMETOOLONG);
    target.truncate(n);
    return ::symlink(target.constData(), QFile::encodeName(to).constData()) == 0 || failAt(from, why);
}

// A pipe, socket or device is never opened by a copy: opening a pipe waits for a writer, and
// opening a device may act on it. False, naming it in *why.
bool refuseSpecial(const QString &path, QString *why) {
    if (why)
        *why = QStringLiteral("%1 is a pipe, socket or device: not copied")
                   .arg(FileManager::printablePath(path));
    errno = EINVAL;
    return false;
}

// Copies the bytes and the permission bits of a file into a new file, without waiting for the
// disk: a folder copy flushes once, when it is whole, instead of once per file. With `follow`,
// `from` is a link and the file it leads to is copied.
bool copyFile(const QString &from, const QString &to, bool follow, QString *why) {
    // Looked at before it was opened; should a pipe or a link have taken its place since, the
    // open neither waits nor follows.
    const int in = ::open(QFile::encodeName(from).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW));
    if (in < 0) return failAt(from, why);
    struct stat st {};
    const bool looked = ::fstat(in, &st) == 0;
    const int out = looked && S_ISREG(st.st_mode)
                        ? ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                                 st.st_mode & 07777)
                        : -1;
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return looked && !S_ISREG(st.st_mode) ? refuseSpecial(from, why) : failAt(from, why, error);
    }
    int error = 0;
    bool kernelCopy = true;
    off_t done = 0;
    while (!error && done < st.st_size) {
        ssize_t n = -1;
        if (kernelCopy) {
            n = ::copy_file_range(in, nullptr, out, nullptr, size_t(st.st_size - done), 0);
            // Not offered between these two file systems: plain reads and writes instead.
            if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL)) {
                kernelCopy = false;
                continue;
            }
        } else {
            char buffer[65536];
            const ssize_t r = ::read(in, buffer, sizeof buffer);
            n = r;
            for (ssize_t written = 0; r > 0 && written < r;) {
                const ssize_t w = ::write(out, buffer + written, size_t(r - written));
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    if (w == 0) errno = ENOSPC;
                    n = -1;
                    break;
                }
                written += w;
            }
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) break;  // the file shrank meanwhile: what it holds now is copied
        if (n < 0)
            error = errno;
        else
            done += n;
    }
    ::close(in);
    // A permission mask (umask) must not narrow what the source allowed.
    if (!error && ::fchmod(out, st.st_mode & 07777) != 0) error = errno;
    if (::close(out) != 0 && !error) error = errno;
    if (!error) return true;
    ::unlink(QFile::encodeName(to).constData());
    return failAt(from, why, error);
}

// Calls visit(name, path, status) for every entry directly inside the folder `from` that
// `leaveOut` does not leave out, with the entry's own status (lstat); false at the first that
// cannot be looked at (named in *why) or that visit answers false for.
template <class Visit>
bool eachEntry(const QString &from, bool (*leaveOut)(const QString &), QString *why, Visit visit) {
    for (const QString &name : FileManager::contentsOfDirectory(from)) {
        const QString child = from + QLatin1Char('/') + name;
        if (leaveOut && leaveOut(child)) continue;
        struct stat st {};
        if (!entryStat(child, st)) return failAt(child, why);
        if (!visit(name, child, st)) return false;
    }
    return true;
}

// `st` is the entry's status: its own (lstat) below the top. Only files, folders and links
// are copied.
bool copyTree(const QString &from, const QString &to, const struct stat &st,
              bool (*leaveOut)(const QString &), QString *why) {
    struct stat target {};
    if (leadsToFile(from, st, target)) return copyFile(from, to, true, why);
    if (S_ISLNK(st.st_mode)) return copySymLink(from, to, why);
    if (S_ISREG(st.st_mode)) return copyFile(from, to, false, why);
    if (!S_ISDIR(st.st_mode)) return refuseSpecial(from, why);
    if (::mkdir(QFile::encodeName(to).constData(), 0777) != 0) return failAt(from, why);
    return eachEntry(from, leaveOut, why,
                     [&](const QString &name, const QString &child, const struct stat &childSt) {
                         return copyTree(child, to + QLatin1Char('/') + name, childSt, leaveOut, why);
                     });
}

// The blocks of block numbers that map a file of `blocks` data blocks where its index node
// holds the first 12 numbers and a block holds `perBlock`: a block for the next `perBlock`
// blocks, then a tree of two levels for the next perBlock², then one of three.
quint64 mapBlocks(quint64 blocks, quint64 perBlock) {
    quint64 map = 0, span = 1, left = blocks > 12 ? blocks - 12 : 0;
    for (int levels = 1; levels <= 3 && left > 0; ++levels) {
        span *= perBlock;
        const quint64 mapped = std::min(left, span);
        for (quint64 unit = perBlock, level = 0; level < quint64(levels); ++level, unit *= perBlock)
            map += (mapped + unit - 1) / unit;
        left -= mapped;
    }
    return map;
}

// The room a copy takes on a file system of `block`-byte blocks, in bytes: every file's data
// in whole blocks, with the blocks that map them where the file system maps blocks so, every
// folder at least a block, more where its names fill more, and what each entry takes there
// besides. Where the source's file system gives an entry more (a folder that once held many
// names), the entry takes as much as it has there. Over rather than under, but only by that: too
// much refuses a copy that fits, too little fills the disk.
struct Room {
    quint64 block = 4096;
    bool blockMaps = false;  // large files take blocks of block numbers besides their data
    quint64 perEntry = 0;    // bytes each file, folder or link takes besides its blocks
    quint64 bytes = 0;
    bool refuseSpecials = true;  // else they take no room, and the copy decides on them

    // `st` is the entry's status where it is read from; `size`, the bytes its copy holds.
    void add(const struct stat &st, quint64 size, quint64 minimum = 0) {
        const quint64 allocated = quint64(std::max<blkcnt_t>(st.st_blocks, 0)) * 512;
        const quint64 data = blocksOf(size) + (blockMaps ? mapBlocks(blocksOf(size), block / 4) : 0);
        const quint64 blocks = std::max({data, blocksOf(allocated), minimum});
        grow(blocks > most / block ? most : blocks * block);
    }
    void addEntry() { grow(perEntry); }
    void grow(quint64 more) { bytes = more > most - bytes ? most : bytes + more; }

private:
    static constexpr quint64 most = std::numeric_limits<qint64>::max();
    quint64 blocksOf(quint64 size) const { return size / block + (size % block != 0); }
};

// Adds the room a copyTree of the entry would take to `room`; false, as copyTree would fail,
// at an entry that is no file, folder or link, or cannot be looked at.
bool measureTree(const QString &from, const struct stat &st, bool (*leaveOut)(const QString &), Room &room,
                 QString *why) {
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) && !S_ISDIR(st.st_mode))
        return !room.refuseSpecials || refuseSpecial(from, why);
    room.addEntry();
    if (struct stat target{}; leadsToFile(from, st, target)) {
        room.add(target, quint64(target.st_size));
        return true;
    }
    // A link that stays a link holds its target's name, in a block where it is long.
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
        room.add(st, quint64(std::max<off_t>(st.st_size, 0)));
        return true;
    }
    // A folder's entries take their names and a few bytes each: 8 bytes and the name's, rounded
    // to 4, in blocks that a hashed folder fills by half at the least, where a name is stored as
    // its bytes; on a memory stick, 32-byte slots of 13 or 15 characters after one or two slots of
    // their own.
    quint64 listing = 64;
    const bool measured = eachEntry(
        from, leaveOut, why, [&](const QString &name, const QString &child, const struct stat &childSt) {
            const quint64 characters = quint64(name.size()), bytes = quint64(QFile::encodeName(name).size());
            const quint64 places = std::max(1 + (characters + 12) / 13, 2 + (characters + 14) / 15);
            listing += std::max(2 * (8 + (bytes + 3) / 4 * 4), 32 * places);
            return measureTree(child, childSt, leaveOut, room, why);
        });
    room.add(st, std::max(listing, quint64(std::max<off_t>(st.st_size, 0))), 1);
    return measured;
}

bool isInside(const QString &path, const QString &folder) {
    const QString p = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString f = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return p == f || p.startsWith(f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/'));
}

// One slash between components and none at the end, except for the root itself.
QString fixSlashes(const QString &path) {
    if (!(path.size() > 1 && path.endsWith(QLatin1Char('/'))) && !path.contains(QLatin1String("//")))
        return path;
    QString out;
    out.reserve(path.size());
    for (const QChar c : path) {
        if (c == QLatin1Char('/') && out.endsWith(QLatin1Char('/'))) continue;
        out.append(c);
    }
    if (out.size() > 1 && out.endsWith(QLatin1Char('/'))) out.chop(1);
    return out;
}

qsizetype startOfLastComponent(const QString &fixed) {
    return fixed.lastIndexOf(QLatin1Char('/')) + 1;
}

// Index of the extension's first character in a fixed path, or -1 without an extension. A
// leading dot (".xml") and the component ".." do not start an extension.
qsizetype startOfExtension(const QString &fixed) {
    const qsizetype component = startOfLastComponent(fixed);
    const qsizetype dot = fixed.lastIndexOf(QLatin1Char('.'));
    if (dot <= component) return -1;
    if (fixed.size() - component == 2 && fixed.mid(component) == QLatin1String("..")) return -1;
    return dot + 1;
}

QByteArray folderOf(const QByteArray &file) {
    const qsizetype slash = file.lastIndexOf('/');
    if (slash < 0) return ".";
    return slash == 0 ? QByteArray("/") : file.left(slash);
}

// The file a write to `path` replaces: a symbolic link is followed to its final target so that
// the link itself survives the rename. A relative link is joined to its folder as it stands, for
// the system to resolve: a ".." after a linked folder leads out of the folder it names, where
// tidying the text would lead elsewhere.
QString writeTarget(const QString &path) {
    QByteArray target = QFile::encodeName(path);
    for (int depth = 0; depth < 128; ++depth) {
        struct stat st {};
        if (::lstat(target.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) return QFile::decodeName(target);
        char link[PATH_MAX];
        const ssize_t size = ::readlink(target.constData(), link, sizeof link);
        if (size <= 0 || size >= ssize_t(sizeof link)) return path;
        const QByteArray next(link, size);
        target = next.startsWith('/') ? next : folderOf(target) + '/' + next;
    }
    return path;
}

// A pipe, socket or device: a write never replaces one, nor does an append open it.
bool isNode(mode_t mode) {
    return S_ISFIFO(mode) || S_ISSOCK(mode) || S_ISCHR(mode) || S_ISBLK(mode);
}

struct RefusalLog {
    std::mutex mutex;
    std::function<void(const QString &)> log;
    QSet<QString> reported;
};

RefusalLog &refusalLog() {
    static RefusalLog log;
    return log;
}

// `path` was not written because `node`, the path itself or the end of its link, is a node.
void reportRefusal(const QString &path, const QString &node) {
    const QString text =
        node == path ? QStringLiteral("\n%1 was not written: it is a pipe, socket or device\n")
                           .arg(FileManager::printablePath(path))
                     : QStringLiteral("\n%1 was not written: it leads to %2, a pipe, socket or device\n")
                           .arg(FileManager::printablePath(path), FileManager::printablePath(node));
    std::function<void(const QString &)> log;
    {
        RefusalLog &state = refusalLog();
        const std::lock_guard lock(state.mutex);
        // A file refused at every save would otherwise fill the log.
        if (state.reported.contains(text)) return;
        state.reported.insert(text);
        log = state.log;
    }
    // The log may itself write a file: a refusal there is not reported round again.
    thread_local bool reporting = false;
    if (log && !reporting) {
        reporting = true;
        log(text);
        reporting = false;
    } else {
        qWarning().noquote() << text.trimmed();
    }
}

// The path of the folder open as `fd`, as the system names it; "" where it cannot tell.
QString folderPath(int fd) {
    char link[PATH_MAX];
    const ssize_t n =
        ::readlink(QByteArray("/proc/self/fd/" + QByteArray::number(fd)).constData(), link, sizeof link);
    return n > 0 && n < ssize_t(sizeof link) ? QFile::decodeName(QByteArray(link, n)) : QString();
}

// The suffix of a temporary file's name: six ASCII letters and digits, at least one of them a
// capital and one a digit, so that a word a person would add to a name ("1.xml.backup") is
// never taken for one.
constexpr int kTemporarySuffixLength = 6;
constexpr char kCapitals[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kDigits[] = "0123456789";
constexpr char kSuffixLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

template <std::size_t N>
char randomOf(const char (&letters)[N]) {
    return letters[QRandomGenerator::global()->bounded(int(N - 1))];
}

QByteArray randomSuffix() {
    QByteArray out(kTemporarySuffixLength, '\0');
    for (char &c : out) c = randomOf(kSuffixLetters);
    const int capital = QRandomGenerator::global()->bounded(kTemporarySuffixLength);
    const int digit = (capital + 1 + QRandomGenerator::global()->bounded(kTemporarySuffixLength - 1)) %
                      kTemporarySuffixLength;
    out[capital] = randomOf(kCapitals);
    out[digit] = randomOf(kDigits);
    return out;
}

// errno tells why when false.
// *done: how many bytes went, also when not all did.
bool writeAll(const fileio::Calls &io, int fd, const QByteArray &bytes, qsizetype *done = nullptr) {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    const auto stop = [&](int err) {
        if (done) *done = bytes.size() - left;
        errno = err;
        return false;
    };
    while (left > 0) {
        const ssize_t n = io.write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return stop(errno);
        if (n == 0) return stop(ENOSPC);
        data += n;
        left -= n;
    }
    if (done) *done = bytes.size();
    return true;
}

void syncFolder(const fileio::Calls &io, const QByteArray &folder) {
    const int fd = io.open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    io.fsync(fd);
    io.close(fd);
}

// `rename` takes renameat2's flags; `exists` looks at the target. errno tells why when false.
template <class Rename, class Exists>
bool renameNoReplace(Rename rename, Exists exists) {
    if (rename(RENAME_NOREPLACE) == 0) return true;
    // EPERM: a sandbox that refuses the call itself; a folder that refuses the rename refuses
    // the plain one below too.
    if (errno != EINVAL && errno != ENOSYS && errno != EPERM) return false;
    // A file system that cannot refuse to replace: a look first, which a writer outside the
    // write lock could still overtake.
    if (exists()) {
        errno = EEXIST;
        return false;
    }
    return rename(0) == 0;
}

bool writeWhole(AtomicFile &file, const QByteArray &bytes, Durability durability, QString *error) {
    const bool written = file.open() && file.write(bytes) && file.commit(durability);
    if (!written && error) *error = file.errorString();
    return written;
}

// One step of a path below an OpenFolder: no slash, and neither "." nor "..", which would lead
// out of it.
bool isPlainName(const QString &name) {
    return !name.isEmpty() && !name.contains(u'/') && name != u"." && name != u"..";
}

// A held folder: enough to work in it by names, and no read permission needed.
constexpr int kHeldFolder = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// errno tells the caller why it failed; closing must not change it.
void closeKeepingErrno(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

// An entry as a folder's listing has it: its name as the system spells it, and what it is.
struct Listed {
    enum Kind : unsigned char { Other, Folder, FolderLink };
    QByteArray name;
    Kind kind;
};

// Reads the entries of the folder held as `held` into `entries`; with `kinds`, what each is, a
// link looked through to tell one to a folder. False, with errno, when the folder could not be
// read whole; `entries` then holds what was read.
bool readEntries(int held, bool kinds, std::vector<Listed> &entries) {
    const int fd = ::openat(held, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        closeKeepingErrno(fd);
        return false;
    }
    int error = 0;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            error = errno;
            break;
        }
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        Listed::Kind kind = Listed::Other;
        struct stat st {};
        unsigned char type = entry->d_type;
        if (kinds && type == DT_UNKNOWN && ::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) == 0)
            type = IFTODT(st.st_mode);
        if (kinds && type == DT_DIR) kind = Listed::Folder;
        if (kinds && type == DT_LNK && ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode))
            kind = Listed::FolderLink;
        entries.push_back({QByteArray(name), kind});
    }
    ::closedir(dir);
    errno = error;
    return error == 0;
}

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    bool operator==(const Identity &) const = default;
};

std::optional<Identity> identity(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
}

// Appends every entry below the folder held as `root` to `out`, each folder's entries right
// after it. Only the folder being read is held open, not one per level, and no call nests per
// level: the way back up is "..", taken where it leads to the very folder left, otherwise the
// way down from `root` again, no link followed. Folders not gone into go to `unlisted` with the
// reason: links to folders (ELOOP), folders deeper than a path can name (ENAMETOOLONG), folders
// that could not be opened or read whole.
void listBelow(int root, QStringList &out, QList<OpenFolder::Unlisted> *unlisted) {
    struct Level {
        QString prefix;  // relative to root, with a slash after it
        QByteArray bytes;
        std::vector<Listed> entries;
        size_t next = 0;
        std::optional<Identity> id;
        int error = 0;  // why the folder could not be had again
    };
    const auto note = [unlisted](const QString &relative, int error, bool folder = true) {
        if (unlisted) unlisted->append({relative, error, folder});
    };
    std::vector<Level> levels;
    const auto enter = [&](int fd, const QString &relative, const QByteArray &bytes) {
        Level level;
        if (!relative.isEmpty()) {
            level.prefix = relative + u'/';
            level.bytes = bytes + '/';
        }
        level.id = identity(fd);
        if (!level.id || !readEntries(fd, true, level.entries)) note(relative, errno);
        levels.push_back(std::move(level));
    };
    const auto walkDown = [root](const QByteArray &bytes) {
        int fd = ::fcntl(root, F_DUPFD_CLOEXEC, 0);
        for (const QByteArray &part : bytes.split('/')) {
            if (fd < 0 || part.isEmpty()) continue;
            const int next = ::openat(fd, part.constData(), kHeldFolder);
            closeKeepingErrno(fd);
            fd = next;
        }
        return fd;
    };
    // The folder of `level` once more, from the one below it held as `child` (closed here).
    const auto reopen = [&](int child, Level &level) {
        int fd = -1;
        if (child >= 0) {
            fd = ::openat(child, "..", kHeldFolder);
            ::close(child);
        }
        if (fd >= 0 && identity(fd) != level.id) {
            ::close(fd);
            fd = -1;
        }
        if (fd < 0) fd = walkDown(level.bytes);
        // Moved or put in another's place meanwhile: what it holds now was never listed here.
        if (fd >= 0 && identity(fd) != level.id) {
            ::close(fd);
            fd = -1;
            errno = ENOENT;
        }
        if (fd < 0) level.error = errno;
        return fd;
    };

    int held = ::fcntl(root, F_DUPFD_CLOEXEC, 0);  // the folder of levels.back(); -1 when lost
    if (held < 0) {
        note(QString(), errno);
        return;
    }
    enter(held, QString(), QByteArray());
    while (!levels.empty()) {
        Level &level = levels.back();
        if (level.next == level.entries.size()) {
            levels.pop_back();
            if (!levels.empty()) held = reopen(held, levels.back());
            continue;
        }
        const Listed &entry = level.entries[level.next++];
        // A name that is not UTF-8 has no path of text that leads back to it.
        if (!TextEncoding::isValidUtf8(entry.name)) {
            note(FileManager::printablePath(level.prefix) + FileManager::printableName(entry.name), EILSEQ,
                 entry.kind == Listed::Folder);
            continue;
        }
        const QString relative = level.prefix + QFile::decodeName(entry.name);
        out.append(relative);
        if (entry.kind == Listed::FolderLink) note(relative, ELOOP);
        if (entry.kind != Listed::Folder) continue;
        // No copied data folder goes deeper, and its files could not be named by a path.
        const QByteArray bytes = level.bytes + entry.name;
        if (bytes.size() >= PATH_MAX) {
            note(relative, ENAMETOOLONG);
            continue;
        }
        if (held < 0) {
            note(relative, level.error);
            continue;
        }
        const int sub = ::openat(held, entry.name.constData(), kHeldFolder);
        if (sub < 0) {
            note(relative, errno);
            continue;
        }
        ::close(held);
        held = sub;
        enter(held, relative, bytes);
    }
    if (held >= 0) ::close(held);
}

}  // namespace

QString FileManager::homeDirectory() {
    const QString home = qEnvironmentVariable("HOME");
    return home.isEmpty() ? QDir::homePath() : home;
}

bool FileManager::fileExists(const QString &path) {
    return !path.isEmpty() && ::access(QFile::encodeName(path).constData(), F_OK) == 0;
}

bool FileManager::isDirectory(const QString &path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FileManager::createDirectory(const QString &path) {
    if (path.isEmpty()) return false;
    // Mostly there already: one look instead of a refused mkdir and a look.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    return QDir().mkpath(path);
}

namespace {

// A folder would be copied into itself.
bool intoItself(const QString &to, QString *why) {
    if (why && why->isEmpty())
        *why =
            QStringLiteral("%1 lies inside the folder it is copied from").arg(FileManager::printablePath(to));
    errno = EINVAL;
    return false;
}

// A copy or move may go ahead: `from` is there (its own status in `st`), `to` is not, and a
// folder would not go into itself. Else false, with the reason in *why.
bool mayPlace(const QString &from, const QString &to, struct stat &st, QString *why) {
    if (from.isEmpty() || !entryStat(from, st)) return failAt(from, why, from.isEmpty() ? ENOENT : errno);
    if (to.isEmpty() || entryExists(to)) return failAt(to, why, to.isEmpty() ? ENOENT : EEXIST);
    return !(isFolderEntry(from, st) && isInside(to, from)) || intoItself(to, why);
}

// The bytes that the file system holding `folder` has free for this user, the size of the
// blocks it gives files room in, and what it takes besides; nothing when it cannot tell.
struct Space {
    qint64 free;
    quint64 block;
    bool blockMaps = false;  // large files take blocks of block numbers besides their data
    quint64 perEntry = 0;    // bytes each new file, folder or link takes
    quint64 once = 0;        // bytes the first of them takes besides
};
std::optional<Space> spaceAt(const fileio::Calls &io, const QByteArray &folder) {
    struct statvfs info {};
    if (io.statvfs(folder.constData(), &info) != 0) return std::nullopt;
    const unsigned long long free = static_cast<unsigned long long>(info.f_bavail) * info.f_frsize;
    // No disk gives room in pieces smaller than a sector.
    const quint64 block = std::max<quint64>(info.f_frsize ? info.f_frsize : info.f_bsize, 512);
    Space space{qint64(std::min<unsigned long long>(free, std::numeric_limits<qint64>::max())), block};
    struct statfs kind {};
    if (::statfs(folder.constData(), &kind) != 0) return space;
    if (kind.f_type == EXT4_SUPER_MAGIC) {
        // The ext family maps a file's blocks with blocks of block numbers, unless its files are
        // made of extents, as new ones are where the folder is.
        int flags = 0;
        const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        space.blockMaps = fd < 0 || ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 || !(flags & FS_EXTENT_FL);
        if (fd >= 0) ::close(fd);
    } else if (kind.f_type == XFS_SUPER_MAGIC) {
        // xfs takes index nodes from the free room, in chunks, and holds room for the maps of
        // what is written until it is on the disk: measured, under a KiB an entry, and a chunk.
        space.perEntry = 1024;
        space.once = 64 * 1024;
    }
    return space;
}

// Looks the tree at `from` (its status `st`) over before anything of its copy into the folder
// `into` is written: a copy that meets a pipe or runs out of room part way would have taken the
// room of the disk from other programs until it gave up. False, with the reason in *why, where
// it holds a pipe, socket or device (with `refuseSpecials`) or needs more room than is free
// there; true where the room cannot be told.
bool fits(const QString &from, const struct stat &st, const QByteArray &into,
          bool (*leaveOut)(const QString &), bool refuseSpecials, QString *why) {
    const std::optional<Space> space = spaceAt(fileio::calls(), into);
    Room room;
    room.refuseSpecials = refuseSpecials;
    if (space) {
        room.block = space->block;
        room.blockMaps = space->blockMaps;
        room.perEntry = space->perEntry;
        room.grow(space->once);
        room.grow(room.block);  // the folder `into` may take a block more for the copy's name
    }
    if (!measureTree(from, st, leaveOut, room, why)) return false;
    if (!space || room.bytes <= quint64(space->free)) return true;
    if (why)
        *why = QStringLiteral("The copy needs %1 bytes, and %2 has %3 bytes free: it is not begun")
                   .arg(QString::number(room.bytes), FileManager::printablePath(QFile::decodeName(into)),
                        QString::number(space->free));
    errno = ENOSPC;
    return false;
}

bool copyWhole(const QString &from, const QString &to, const struct stat &st,
               bool (*leaveOut)(const QString &), QString *why) {
    const QByteArray target = QFile::encodeName(to);
    const fileio::Calls &io = fileio::calls();
    if (!fits(from, st, folderOf(target), leaveOut, true, why)) return false;
    const QString staging = FileManager::stagingPath(to);
    const QByteArray source = QFile::encodeName(staging);
    const bool whole =
        copyTree(from, staging, st, leaveOut, why) &&
        (FileManager::syncFileSystem(staging) || failAt(to, why)) &&
        (renameNoReplace(
             [&](unsigned flags) { return io.rename(source.constData(), target.constData(), flags); },
             [&] { return entryExists(to); }) ||
         failAt(to, why));
    if (!whole) {
        FileManager::removeItem(staging);
        return false;
    }
    syncFolder(io, folderOf(target));
    return true;
}

}  // namespace

bool FileManager::copyItem(const QString &from, const QString &to) {
    return copyItem(from, to, Durability::Synced);
}

bool FileManager::copyItem(const QString &from, const QString &to, Durability durability,
                           bool (*leaveOut)(const QString &), QString *why) {
    struct stat st {};
    if (!mayPlace(from, to, st, why)) return false;
    return copyTree(from, to, st, leaveOut, why) &&
           (durability == Durability::Deferred || syncFileSystem(to) || failAt(to, why));
}

bool FileManager::copyItemWhole(const QString &from, const QString &to, bool (*leaveOut)(const QString &),
                                QString *why) {
    struct stat st {};
    if (!mayPlace(from, to, st, why)) return false;
    if (S_ISLNK(st.st_mode)) {
        // Where the link leads, and where the copy would go once every link on the way is followed.
        const QString target = QFileInfo(from).canonicalFilePath();
        const QFileInfo place(to);
        const QString destination = QFileInfo(place.path()).canonicalFilePath() + u'/' + place.fileName();
        if (::stat(QFile::encodeName(from).constData(), &st) != 0) return failAt(from, why);
        if (target.isEmpty()) return failAt(from, why, ENOENT);
        if (isInside(destination, target)) return intoItself(to, why);
    }
    return copyWhole(from, to, st, leaveOut, why);
}

bool FileManager::hasRoomFor(const QString &from, const QString &into, bool (*leaveOut)(const QString &),
                             QString *why) {
    struct stat st {};
    if (from.isEmpty() || ::stat(QFile::encodeName(from).constData(), &st) != 0)
        return failAt(from, why, from.isEmpty() ? ENOENT : errno);
    return fits(from, st, QFile::encodeName(into), leaveOut, false, why);
}

bool FileManager::moveItem(const QString &from, const QString &to) {
    return moveItem(from, to, nullptr);
}

bool FileManager::moveItem(const QString &from, const QString &to, QString *why) {
    struct stat st {};
    if (!mayPlace(from, to, st, why)) return false;
    if (QDir().rename(from, to)) return true;
    // Another file system: the source goes only once its copy is whole; a link stays a link.
    if (!(S_ISLNK(st.st_mode) ? copySymLink(from, to, why) : copyWhole(from, to, st, nullptr, why)))
        return false;
    if (removeItem(from)) return true;
    if (why) *why = printablePath(from) + QStringLiteral(": copied, but could not be removed");
    return false;
}

QString FileManager::stagingPath(const QString &target, const QString &what) {
    const QString fixed = fixSlashes(target);
    const qsizetype name = startOfLastComponent(fixed);
    return fixed.left(name) + u'.' + fixed.mid(name) + u'.' + what + u'-' +
           QUuid::createUuid().toString(QUuid::Id128);
}

QString FileManager::stagedName(const QString &name, const QString &what) {
    constexpr qsizetype kIdLength = 32;
    const QString tail = u'.' + what + u'-';
    const qsizetype end = name.size() - kIdLength - tail.size();  // of the target's name
    if (end < 2 || !name.startsWith(u'.') || name.contains(u'/') ||
        QStringView(name).sliced(end, tail.size()) != tail)
        return {};
    const QStringView id = QStringView(name).sliced(end + tail.size());
    const bool hex = std::all_of(
        id.begin(), id.end(), [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
    return hex ? name.sliced(1, end - 1) : QString();
}

bool FileManager::removeItem(const QString &path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    if (info.isSymLink() || info.isFile()) return QFile::remove(path);
    if (info.isDir()) return QDir(path).removeRecursively();
    return false;
}

QStringList FileManager::contentsOfDirectory(const QString &folder) {
    if (folder.isEmpty()) return {};
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Unsorted);
}

QStringList FileManager::subpaths(const QString &folder) {
    if (!isDirectory(folder)) return {};
    const QDir base(folder);
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) out.append(base.relativeFilePath(it.next()));
    return out;
}

namespace {

QString escapedByte(unsigned char byte) {
    return QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, u'0');
}

}  // namespace

QString FileManager::printableName(QByteArrayView name) {
    if (TextEncoding::isValidUtf8(name)) return printablePath(QString::fromUtf8(name));
    if (std::optional<QString> cp932 = TextEncoding::fromCp932(name.toByteArray()))
        return printablePath(*cp932);
    // The characters that are UTF-8 as they read, the other bytes escaped.
    QString text;
    const auto *p = reinterpret_cast<const unsigned char *>(name.data());
    const auto *end = p + name.size();
    while (p < end) {
        const int length = *p < 0x80                  ? 1
                           : *p >= 0xC2 && *p <= 0xDF ? 2
                           : *p >= 0xE0 && *p <= 0xEF ? 3
                           : *p >= 0xF0 && *p <= 0xF4 ? 4
                                                      : 0;
        if (length > 0 && end - p >= length && TextEncoding::isValidUtf8(QByteArrayView(p, length))) {
            text += printablePath(QString::fromUtf8(reinterpret_cast<const char *>(p), length));
            p += length;
        } else {
            text += escapedByte(*p++);
        }
    }
    return text;
}

QString FileManager::printablePath(const QString &path) {
    QString text;
    text.reserve(path.size());
    for (const QChar c : path) {
        const char16_t code = c.unicode();
        // Editors and log readers also end a line at NEL and the other C1 controls, and at the
        // line and paragraph separators.
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || c == u'\\')
            text += escapedByte(static_cast<unsigned char>(code));
        else if (code == 0x2028 || code == 0x2029)
            text += QStringLiteral("\\u%1").arg(QString::number(code, 16).toUpper());
        else
            text += c;
    }
    return text;
}

QStringList FileManager::sortedSubpaths(const QString &folder) {
    QStringList out = subpaths(folder);
    out.sort();
    return out;
}

std::optional<QByteArray> FileManager::readFile(const QString &path) {
    if (path.startsWith(u':')) {  // one of the program's own resources, built into it
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
        return file.readAll();
    }
    QByteArray bytes;
    if (path.isEmpty() || !fileio::readRegularFile(AT_FDCWD, QFile::encodeName(path).constData(), 0, bytes))
        return std::nullopt;
    return bytes;
}

bool FileManager::isTemporaryName(const QString &name) {
    const qsizetype dot = name.size() - kTemporarySuffixLength - 1;
    if (dot < 1 || name.at(dot) != u'.' || name.contains(u'/')) return false;
    const QByteArray suffix = name.mid(dot + 1).toLatin1();
    const auto in = [](const char *letters) {
        return [letters](char c) { return c != 0 && std::strchr(letters, c) != nullptr; };
    };
    return std::all_of(suffix.begin(), suffix.end(), in(kSuffixLetters)) &&
           std::any_of(suffix.begin(), suffix.end(), in(kCapitals)) &&
           std::any_of(suffix.begin(), suffix.end(), in(kDigits));
}

void FileManager::setRefusalLog(std::function<void(const QString &text)> log) {
    RefusalLog &state = refusalLog();
    const std::lock_guard lock(state.mutex);
    state.log = std::move(log);
}

bool FileManager::appendToFile(const QString &path, const QByteArray &bytes) {
    if (path.isEmpty()) return false;
    if (!QFileInfo::exists(path)) return writeAtomically(path, bytes);
    struct stat st {};
    const int fd = fileio::openRegularFile(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND, 0, &st);
    if (fd < 0) return false;
    const off_t before = st.st_size;
    qsizetype done = 0;
    bool written = writeAll(fileio::calls(), fd, bytes, &done);
    if (!written && done > 0) {
        // A piece cut short by a full disk would run into whatever comes next: it is taken
        // back, but only where the file holds nothing but it after its old end (another writer
        // may have appended meanwhile).
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end == before + done && ::fstat(fd, &st) == 0 && st.st_size == end) (void)::ftruncate(fd, before);
    }
    written = ::close(fd) == 0 && written;
    return written;
}

bool FileManager::writeAtomically(const QString &path, const QByteArray &bytes, Durability durability) {
    return writeAtomically(path, bytes, durability, nullptr);
}

bool FileManager::writeAtomically(const QString &path, const QByteArray &bytes, Durability durability,
                                  QString *error) {
    AtomicFile file(path);
    return writeWhole(file, bytes, durability, error);
}

FileManager::Created FileManager::createAtomically(const QString &path, const QByteArray &bytes,
                                                   Durability durability, QString *error) {
    AtomicFile file(path, AtomicFile::Mode::OnlyNew);
    if (file.open() && file.write(bytes) && file.commit(durability)) return Created::Written;
    if (error) *error = file.errorString();
    return file.error() == EEXIST ? Created::AlreadyThere : Created::Failed;
}

AtomicFile::AtomicFile(const QString &path, Mode mode) : path_(path), onlyNew_(mode == Mode::OnlyNew) {}

AtomicFile::AtomicFile(int folder, const QString &name, Mode mode)
    : path_(name), folder_(folder), onlyNew_(mode == Mode::OnlyNew) {
    if (folder < 0) error_ = EBADF;
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0 || !temporary_.isEmpty()) abandon(0);
}

bool AtomicFile::fail(int err) {
    error_ = err;
    return false;
}

bool AtomicFile::abandon(int err) {
    if (fd_ >= 0) fileio::calls().close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty()) ::unlinkat(folder_ >= 0 ? folder_ : AT_FDCWD, temporary_.constData(), 0);
    temporary_.clear();
    buffer_.clear();
    return err ? fail(err) : false;
}

bool AtomicFile::open() {
    if (fd_ >= 0 || error_) return fail(error_ ? error_ : EBUSY);
    if (path_.isEmpty()) return fail(ENOENT);
    target_ = QFile::encodeName(path_);
    const bool inFolder = folder_ >= 0;
    if (inFolder && !isPlainName(path_)) return fail(EINVAL);
    const int at = inFolder ? folder_ : AT_FDCWD;
    struct stat existing {};
    // A new file is put in place only where nothing is; commit() finds out, in one step.
    bool exists = !onlyNew_ && ::fstatat(at, target_.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(existing.st_mode)) {
        if (inFolder) {
            exists = false;
        } else {
            target_ = QFile::encodeName(writeTarget(path_));
            exists = ::stat(target_.constData(), &existing) == 0;
        }
    }
    if (exists && S_ISDIR(existing.st_mode)) return fail(EISDIR);
    if (exists && isNode(existing.st_mode)) return refuseNode();
    if (exists && ::faccessat(at, target_.constData(), W_OK, 0) != 0) return fail(errno);

    const fileio::Calls &io = fileio::calls();
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = target_ + '.' + randomSuffix();
        fd_ = openHere(io, temporary_, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC);
        if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) {
        temporary_.clear();
        return fail(errno);
    }
    // The file stays writable for its owner, who is writing it. Best effort: a file system
    // without permissions still takes the data.
    if (exists) (void)::fchmod(fd_, (existing.st_mode & 07777) | S_IWUSR);
    return true;
}

bool AtomicFile::write(const QByteArray &bytes) {
    if (fd_ < 0) return fail(error_ ? error_ : EBADF);
    buffer_.append(bytes);
    return buffer_.size() < kBufferSize || flushBuffer();
}

bool AtomicFile::flushBuffer() {
    const bool written = writeAll(fileio::calls(), fd_, buffer_);
    if (!written) return abandon(errno);
    buffer_.clear();
    return true;
}

bool AtomicFile::commit(Durability durability) {
    if (fd_ < 0) return fail(error_ ? error_ : EBADF);
    const fileio::Calls &io = fileio::calls();
    if (!flushBuffer()) return false;
    if (durability == Durability::Synced && io.fsync(fd_) != 0) return abandon(errno);
    const int closed = io.close(fd_);
    fd_ = -1;  // closed even when close reports an error
    if (closed != 0) return abandon(errno);
    // Looked at again right before the rename: a node put in the file's place since stays.
    if (!onlyNew_ && isNode(targetType())) {
        abandon(0);
        return refuseNode();
    }
    if (!putInPlace(io)) return abandon(errno);
    temporary_.clear();
    // The new contents are in place and their data synced; the folder's sync only makes the
    // rename itself survive a power cut, and some file systems cannot sync a folder at all.
    if (durability == Durability::Synced) syncHere(io);
    return true;
}

int AtomicFile::openHere(const fileio::Calls &io, const QByteArray &name, int flags) const {
    return folder_ >= 0 ? io.openat(folder_, name.constData(), flags, 0666)
                        : io.open(name.constData(), flags, 0666);
}

int AtomicFile::renameHere(const fileio::Calls &io, unsigned flags) const {
    return folder_ >= 0 ? io.renameat(folder_, temporary_.constData(), folder_, target_.constData(), flags)
                        : io.rename(temporary_.constData(), target_.constData(), flags);
}

void AtomicFile::syncHere(const fileio::Calls &io) const {
    if (folder_ < 0) return syncFolder(io, folderOf(target_));
    const int fd = io.openat(folder_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return;
    io.fsync(fd);
    io.close(fd);
}

bool AtomicFile::putInPlace(const fileio::Calls &io) {
    if (!onlyNew_) return renameHere(io, 0) == 0;
    return renameNoReplace([&](unsigned flags) { return renameHere(io, flags); },
                           [&] { return targetType() != 0; });
}

unsigned AtomicFile::targetType() const {
    struct stat existing {};
    return ::fstatat(folder_ >= 0 ? folder_ : AT_FDCWD, target_.constData(), &existing,
                     AT_SYMLINK_NOFOLLOW) == 0
               ? existing.st_mode & S_IFMT
               : 0;
}

bool AtomicFile::refuseNode() {
    refusedNode_ = true;
    const QString target = QFile::decodeName(target_);
    if (folder_ >= 0) {
        const QString in = folderPath(folder_) + u'/' + target;
        reportRefusal(in, in);
    } else {
        reportRefusal(path_, target);
    }
    return fail(EINVAL);
}

QString AtomicFile::errorString() const {
    if (refusedNode_) return QStringLiteral("a pipe, socket or device is in the file's place");
    return error_ ? QString::fromLocal8Bit(std::strerror(error_)) : QString();
}

bool FileManager::syncFileSystem(const QString &path) {
    if (path.isEmpty()) return false;
    const QByteArray name = QFile::encodeName(path);
    const fileio::Calls &io = fileio::calls();
    const int fd = io.open(isDirectory(path) ? name.constData() : folderOf(name).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool synced = io.syncfs(fd) == 0;
    return io.close(fd) == 0 && synced;
}

QString FileManager::pathExtension(const QString &path) {
    const QString fixed = fixSlashes(path);
    const qsizetype start = startOfExtension(fixed);
    return start < 0 ? QString(QLatin1String("")) : fixed.mid(start);
}

QString FileManager::lastPathComponent(const QString &path) {
    const QString fixed = fixSlashes(path);
    if (fixed.size() <= 1) return fixed;
    return fixed.mid(startOfLastComponent(fixed));
}

QString FileManager::deletingPathExtension(const QString &path) {
    const QString fixed = fixSlashes(path);
    const qsizetype start = startOfExtension(fixed);
    return start < 0 ? fixed : fixed.left(start - 1);
}

QString FileManager::appendingPathComponent(const QString &path, const QString &component) {
    const QString head = fixSlashes(path);
    QString tail = component;
    while (tail.startsWith(QLatin1Char('/'))) tail.remove(0, 1);
    if (head.isEmpty()) return fixSlashes(tail);
    if (tail.isEmpty()) return head;
    return fixSlashes(head == QLatin1String("/") ? head + tail : head + QLatin1Char('/') + tail);
}

OpenFolder::OpenFolder(const QString &path)
    : fd_(path.isEmpty() ? -1
                         : ::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC)) {}

OpenFolder::~OpenFolder() {
    if (fd_ >= 0) closeKeepingErrno(fd_);
}

OpenFolder::OpenFolder(OpenFolder &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

OpenFolder &OpenFolder::operator=(OpenFolder &&other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) closeKeepingErrno(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

OpenFolder OpenFolder::folder(const QString &relative, bool create) const {
    if (fd_ < 0) {
        errno = EBADF;
        return {};
    }
    OpenFolder current;
    for (const QString &part : relative.split(u'/', Qt::SkipEmptyParts)) {
        if (!isPlainName(part)) {
            errno = EINVAL;
            return {};
        }
        const int at = current.isOpen() ? current.fd_ : fd_;
        const QByteArray name = QFile::encodeName(part);
        int fd = ::openat(at, name.constData(), kHeldFolder);
        if (fd < 0 && errno == ENOENT && create &&
            (::mkdirat(at, name.constData(), 0777) == 0 || errno == EEXIST))
            fd = ::openat(at, name.constData(), kHeldFolder);
        // A link to a folder opens as no folder: ELOOP where the system says so.
        if (fd < 0 && errno == ELOOP) errno = ENOTDIR;
        if (fd < 0) return {};
        current = OpenFolder(fd);
    }
    if (!current.isOpen()) current = OpenFolder(::fcntl(fd_, F_DUPFD_CLOEXEC, 0));
    return current;
}

OpenFolder::Entry OpenFolder::entry(const QString &name) const {
    struct stat st {};
    if (fd_ < 0 || !isPlainName(name) ||
        ::fstatat(fd_, QFile::encodeName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Entry::Missing;
    if (S_ISREG(st.st_mode)) return Entry::File;
    if (S_ISDIR(st.st_mode)) return Entry::Folder;
    return S_ISLNK(st.st_mode) ? Entry::Link : Entry::Other;
}

QStringList OpenFolder::contents() const {
    std::vector<Listed> entries;
    if (fd_ >= 0) readEntries(fd_, false, entries);
    QStringList out;
    out.reserve(qsizetype(entries.size()));
    for (const Listed &entry : entries) out.append(QFile::decodeName(entry.name));
    return out;
}

QStringList OpenFolder::subpaths(QList<Unlisted> *unlisted) const {
    QStringList out;
    if (fd_ >= 0) listBelow(fd_, out, unlisted);
    return out;
}

std::optional<QByteArray> OpenFolder::readFile(const QString &name) const {
    if (fd_ < 0 || !isPlainName(name)) return std::nullopt;
    QByteArray bytes;
    if (!fileio::readRegularFile(fd_, QFile::encodeName(name).constData(), O_NOFOLLOW, bytes)) return std::nullopt;
    return bytes;
}

bool OpenFolder::writeAtomically(const QString &name, const QByteArray &bytes, Durability durability,
                                 QString *error) const {
    AtomicFile file(fd_, name);
    return writeWhole(file, bytes, durability, error);
}

}  // namespace cvx
