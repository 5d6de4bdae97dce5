#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <tuple>

#include "platform/FileIo.h"
#include "platform/FileLock.h"
#include "platform/FileManager.h"
#include "support/FileSizeLimit.h"

using cvx::FileManager;

namespace {

QString home(const QString &relative) {
    return FileManager::homeDirectory() + "/" + relative;
}

// A small data folder with nesting, a hidden file and a link back up the tree.
void makeTree(const QString &root) {
    ASSERT_TRUE(FileManager::createDirectory(root + "/Customer/deep"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/Comment.xml", "<DATA/>"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/Customer/12.xml", "twelve"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/Customer/deep/.hidden", "h"));
    ASSERT_EQ(::symlink("..", QFile::encodeName(root + "/Customer/up").constData()), 0);
}

}  // namespace

TEST(FileManager, PathRules) {
    struct Case {
        const char *path, *extension, *last, *withoutExtension;
    };
    const Case cases[] = {
        {"/a/b.xml", "xml", "b.xml", "/a/b"},
        {"a.b.xml", "xml", "a.b.xml", "a.b"},
        {".xml", "", ".xml", ".xml"},
        {"dir.d/file", "", "file", "dir.d/file"},
        {"/a/b/", "", "b", "/a/b"},
        {"/a//b.txt/", "txt", "b.txt", "/a/b"},
        {"/", "", "/", "/"},
        {"name.", "", "name.", "name"},
        {"/a/..", "", "..", "/a/.."},
        {"12_ABCD.TXT", "TXT", "12_ABCD.TXT", "12_ABCD"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FileManager::pathExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(FileManager::lastPathComponent(c.path), c.last) << c.path;
        EXPECT_EQ(FileManager::deletingPathExtension(c.path), c.withoutExtension) << c.path;
    }
    EXPECT_EQ(FileManager::appendingPathComponent("/a/", "b"), "/a/b");
    EXPECT_EQ(FileManager::appendingPathComponent("", "b"), "b");
}

TEST(FileManager, CopyListAndMoveFolders) {
    makeTree(home("data"));
    const QStringList tree{"Comment.xml",           "Customer",   "Customer/12.xml", "Customer/deep",
                           "Customer/deep/.hidden", "Customer/up"};
    EXPECT_EQ(FileManager::sortedSubpaths(home("data") + "/"), tree);
    QList<cvx::OpenFolder::Unlisted> unlisted;
    EXPECT_EQ(cvx::OpenFolder(home("data")).subpaths(&unlisted), FileManager::subpaths(home("data")));
    ASSERT_EQ(unlisted.size(), 1);  // the link up, named and not followed
    EXPECT_EQ(std::pair(unlisted[0].relative, unlisted[0].error), std::pair(QString("Customer/up"), ELOOP));

    // Names that are not UTF-8 (written on another system) lead nowhere as text: not listed,
    // named as a person reads them, code page 932 where the bytes read so, else escaped.
    const QByteArray odd = QFile::encodeName(home("odd"));
    // Gone before the temporary home goes, which can name none of them.
    const auto removeOdd = qScopeGuard([&] { std::filesystem::remove_all(odd.toStdString()); });
    const auto touch = [](const QByteArray &path) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        return fd >= 0 && ::close(fd) == 0;
    };
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((odd + "/\x8A\xB3\x8E\xD2").constData(), 0755), 0);  // 患者
    ASSERT_TRUE(touch(odd + "/\x8A\xB3\x8E\xD2/1.xml"));                   // not reached
    ASSERT_TRUE(touch(odd + "/\x8ER\x93\x63.xml"));                        // 山田.xml
    ASSERT_TRUE(touch(odd + "/a\xFF\\\xE3\x81\x82.xml"));
    ASSERT_EQ(::mkdir((odd + "/line\nend").constData(), 0755), 0);
    ASSERT_TRUE(touch(odd + "/line\nend/\xFF.xml"));
    unlisted.clear();
    QStringList listed = cvx::OpenFolder(home("odd")).subpaths(&unlisted);
    listed.sort();
    EXPECT_EQ(listed, QStringList{"line\nend"});
    std::sort(unlisted.begin(), unlisted.end(),
              [](const auto &a, const auto &b) { return a.relative < b.relative; });
    ASSERT_EQ(unlisted.size(), 4);
    const std::tuple<QString, int, bool> odds[] = {{"a\\xFF\\x5Cあ.xml", EILSEQ, false},
                                                   {"line\\x0Aend/\\xFF.xml", EILSEQ, false},
                                                   {"山田.xml", EILSEQ, false},
                                                   {"患者", EILSEQ, true}};
    for (qsizetype i = 0; i < unlisted.size(); ++i)
        EXPECT_EQ(std::tuple(unlisted[i].relative, unlisted[i].error, unlisted[i].folder), odds[i]);
    EXPECT_EQ(FileManager::printablePath(QString::fromUtf8("a\tb\\c\u0085d\u2028e\u2029\u00A0")),
              QString::fromUtf8("a\\x09b\\x5Cc\\x85d\\u2028e\\u2029\u00A0"));
    ASSERT_TRUE(FileManager::copyItem(home("data"), home("copy")));
    EXPECT_EQ(FileManager::sortedSubpaths(home("copy")), tree);
    EXPECT_EQ(FileManager::readFile(home("copy/Customer/12.xml")), QByteArray("twelve"));
    EXPECT_EQ(QFileInfo(home("copy/Customer/up")).symLinkTarget(), home("copy"));  // a link, not followed

    ASSERT_TRUE(FileManager::moveItem(home("copy"), home("moved")));
    EXPECT_FALSE(FileManager::fileExists(home("copy")));
    EXPECT_EQ(FileManager::sortedSubpaths(home("moved")), tree);
    EXPECT_TRUE(FileManager::removeItem(home("moved")));
    EXPECT_FALSE(FileManager::fileExists(home("moved")));
    EXPECT_TRUE(FileManager::isDirectory(home("data")));  // the link's target survives
    EXPECT_FALSE(FileManager::removeItem(home("moved")));
}

TEST(FileManager, CopyAndMoveRefuseAnExistingDestination) {
    makeTree(home("data"));
    ASSERT_TRUE(FileManager::createDirectory(home("taken")));
    ASSERT_TRUE(FileManager::writeAtomically(home("taken/keep"), "k"));
    using Op = bool (*)(const QString &, const QString &);
    for (Op op : {Op(&FileManager::copyItem), Op(&FileManager::moveItem)}) {
        EXPECT_FALSE(op(home("data"), home("taken")));
        EXPECT_FALSE(op(home("data/Comment.xml"), home("taken/keep")));
        EXPECT_FALSE(op(home("data"), home("data/Customer/inside")));
        EXPECT_FALSE(op(home("missing"), home("new")));
    }
    EXPECT_EQ(FileManager::sortedSubpaths(home("taken")), QStringList{"keep"});
    EXPECT_EQ(FileManager::readFile(home("taken/keep")), QByteArray("k"));
    EXPECT_EQ(FileManager::sortedSubpaths(home("data")).size(), 6);
}

namespace {
// A file system that cannot refuse to replace on rename, or a sandbox that refuses the call.
int refusedWith = 0;
int renameWithoutFlags(const char *from, const char *to, unsigned flags) {
    if (flags != 0) {
        errno = refusedWith;
        return -1;
    }
    return ::rename(from, to);
}
}  // namespace

TEST(FileManager, CreateOnlyWhereNothingIs) {
    using Created = FileManager::Created;
    cvx::fileio::Calls plain = cvx::fileio::systemCalls();
    plain.rename = renameWithoutFlags;
    for (const int refused : {0, EINVAL, EPERM}) {
        SCOPED_TRACE(refused);
        const bool refusesFlags = refused != 0;
        refusedWith = refused;
        const QString folder = QString::number(refused);
        const auto at = [&](const QString &name) { return home(folder + "/" + name); };
        ASSERT_TRUE(FileManager::createDirectory(home(folder)));
        ASSERT_TRUE(FileManager::writeAtomically(at("kept.xml"), "old"));
        ASSERT_EQ(::symlink("missing.xml", QFile::encodeName(at("link.xml")).constData()), 0);
        std::optional<cvx::fileio::ScopedCalls> scoped;
        if (refusesFlags) scoped.emplace(plain);
        EXPECT_EQ(FileManager::createAtomically(at("new.xml"), "new"), Created::Written);
        EXPECT_EQ(FileManager::createAtomically(at("kept.xml"), "new"), Created::AlreadyThere);
        EXPECT_EQ(FileManager::createAtomically(at("link.xml"), "new"), Created::AlreadyThere);
        EXPECT_EQ(FileManager::createAtomically(at("none/new.xml"), "new"), Created::Failed);
        EXPECT_EQ(FileManager::readFile(at("new.xml")), QByteArray("new"));
        EXPECT_EQ(FileManager::readFile(at("kept.xml")), QByteArray("old"));
        EXPECT_FALSE(FileManager::fileExists(at("missing.xml")));
        QStringList names = FileManager::contentsOfDirectory(home(folder));
        names.sort();
        EXPECT_EQ(names, QStringList({"kept.xml", "link.xml", "new.xml"}));
    }
}

TEST(FileManager, ReadAppendAndAtomicWrite) {
    EXPECT_FALSE(FileManager::readFile(home("log.txt")).has_value());
    // A pipe or socket, or a link to one, is not read, appended to, replaced or locked, nor waited on.
    ASSERT_TRUE(::mkfifo(QFile::encodeName(home("p\nipe")).constData(), 0600) == 0 &&
                QFile::link("p\nipe", home("pipe.txt")) &&
                ::mknod(QFile::encodeName(home("socket")).constData(), S_IFSOCK | 0600, 0) == 0);
    cvx::AtomicFile late(home("late.txt"));  // the node comes between the open and the rename
    ASSERT_TRUE(late.open() && late.write("x") &&
                ::mkfifo(QFile::encodeName(home("late.txt")).constData(), 0600) == 0);
    ::alarm(20);  // a wait ends the test program, failed
    for (const char *name : {"p\nipe", "pipe.txt", "socket"})
        EXPECT_FALSE(FileManager::readFile(home(name)) || FileManager::appendToFile(home(name), "x") ||
                     FileManager::writeAtomically(home(name), "x") ||
                     cvx::FileLock(home(name), cvx::FileLock::Kind::File, cvx::FileLock::Mode::Try).isHeld())
            << name;
    EXPECT_FALSE(cvx::OpenFolder(FileManager::homeDirectory()).writeAtomically("socket", "x") ||
                 late.commit());
    ::alarm(0);
    for (const char *name : {"pipe.txt", "p\nipe", "socket", "late.txt"}) {
        EXPECT_TRUE(QFileInfo::exists(home(name)) && !QFileInfo(home(name)).isFile()) << name;
        ASSERT_TRUE(QFile::remove(home(name)));
    }
    EXPECT_FALSE(FileManager::readFile(home("")).has_value());
    EXPECT_TRUE(FileManager::appendToFile(home("log.txt"), "a\r\n"));
    EXPECT_TRUE(FileManager::appendToFile(home("log.txt"), QByteArray("b\0c", 3)));
    EXPECT_EQ(FileManager::readFile(home("log.txt")), QByteArray("a\r\nb\0c", 6));
    {
        // A full disk takes none of a piece rather than its start.
        const cvxtest::FileSizeLimit full(9);
        if (full.active()) {
            EXPECT_FALSE(FileManager::appendToFile(home("log.txt"), "0123456789"));
        }
    }
    EXPECT_EQ(FileManager::readFile(home("log.txt")), QByteArray("a\r\nb\0c", 6));
    EXPECT_TRUE(FileManager::writeAtomically(home("log.txt"), "new"));
    EXPECT_EQ(FileManager::readFile(home("log.txt")), QByteArray("new"));
    EXPECT_FALSE(FileManager::writeAtomically(home("no/folder/f"), "x"));
    EXPECT_FALSE(FileManager::appendToFile(home("no/folder/f"), "x"));
    EXPECT_FALSE(FileManager::createDirectory(home("log.txt/sub")));
    QStringList names = FileManager::contentsOfDirectory(FileManager::homeDirectory());
    names.sort();
    EXPECT_EQ(names, QStringList({".config", "log.txt"}));  // no temporary file left behind
}

TEST(FileManager, AtomicWriteFollowsLinksAndKeepsPermissions) {
    ASSERT_TRUE(FileManager::writeAtomically(home("real.xml"), "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(home("real.xml")).constData(), 0640), 0);
    ASSERT_EQ(::symlink("real.xml", QFile::encodeName(home("link.xml")).constData()), 0);
    EXPECT_TRUE(FileManager::writeAtomically(home("link.xml"), "new", cvx::Durability::Deferred));
    EXPECT_TRUE(FileManager::syncFileSystem(home("link.xml")));
    EXPECT_TRUE(FileManager::syncFileSystem(FileManager::homeDirectory()));
    EXPECT_FALSE(FileManager::syncFileSystem(home("no/folder/f")));
    EXPECT_TRUE(QFileInfo(home("link.xml")).isSymLink());
    EXPECT_EQ(FileManager::readFile(home("real.xml")), QByteArray("new"));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(home("real.xml")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // A ".." after a linked folder is the system's: out of the folder it names.
    ASSERT_TRUE(QDir().mkpath(home("other/deep")) && QDir().mkpath(home("dir")) &&
                QFile::link(home("other/deep"), home("dir/sub")) &&
                ::symlink("sub/../x", QFile::encodeName(home("dir/a")).constData()) == 0 &&
                FileManager::writeAtomically(home("other/x"), "linked") &&
                FileManager::writeAtomically(home("dir/x"), "unrelated"));
    EXPECT_TRUE(FileManager::writeAtomically(home("dir/a"), "new"));
    EXPECT_EQ(FileManager::readFile(home("other/x")), QByteArray("new"));
    EXPECT_EQ(FileManager::readFile(home("dir/x")), QByteArray("unrelated"));
}

namespace {

// The writer's system calls, failing the k-th (counting every call) with a full disk. Writes
// take at most four bytes at a time so that a short write is among the faults.
struct FaultyDisk {
    static inline int failAt = 0;
    static inline int calls = 0;
    static inline int renamed = 0;
    static inline QString temporary;

    static bool failsNow() { return ++calls == failAt; }
    static int fail() {
        errno = ENOSPC;
        return -1;
    }
    static int open(const char *path, int flags, mode_t mode) {
        return failsNow() ? fail() : ::open(path, flags, mode);
    }
    static ssize_t write(int fd, const void *data, size_t size) {
        return failsNow() ? fail() : ::write(fd, data, std::min<size_t>(size, 4));
    }
    static int fsync(int fd) { return failsNow() ? fail() : ::fsync(fd); }
    static int close(int fd) {
        const int rc = ::close(fd);
        return failsNow() ? fail() : rc;
    }
    static int rename(const char *from, const char *to, unsigned flags) {
        if (failsNow()) return fail();
        temporary = QFile::decodeName(from);
        const int rc = ::renameat2(AT_FDCWD, from, AT_FDCWD, to, flags);
        renamed += rc == 0;
        return rc;
    }
    static int syncfs(int fd) { return failsNow() ? fail() : ::syncfs(fd); }
};

}  // namespace

TEST(FileManager, AtomicWriteOnAFailingDiskKeepsTheOldFile) {
    using cvx::Durability;
    const cvx::fileio::Calls faulty{FaultyDisk::open,  FaultyDisk::write,  FaultyDisk::fsync,
                                    FaultyDisk::close, FaultyDisk::rename, FaultyDisk::syncfs};
    const QByteArray old(10397, 'o');
    const QByteArray fresh = "<DATA>a new file, several writes long</DATA>";
    for (const Durability durability : {Durability::Synced, Durability::Deferred}) {
        FaultyDisk::failAt = 0;
        FaultyDisk::calls = 0;
        {
            const cvx::fileio::ScopedCalls scoped(faulty);
            ASSERT_TRUE(FileManager::writeAtomically(home("p.xml"), fresh, durability));
        }
        const int total = FaultyDisk::calls;
        ASSERT_GT(total, 10);
        EXPECT_TRUE(FileManager::isTemporaryName(FileManager::lastPathComponent(FaultyDisk::temporary)));
        for (int k = 1; k <= total; ++k) {
            ASSERT_TRUE(FileManager::writeAtomically(home("p.xml"), old, durability));
            FaultyDisk::calls = 0;
            FaultyDisk::failAt = k;
            FaultyDisk::renamed = 0;
            QString error;
            bool written = false;
            {
                const cvx::fileio::ScopedCalls scoped(faulty);
                written = FileManager::writeAtomically(home("p.xml"), fresh, durability, &error);
            }
            // Only a failed folder sync after the rename may still succeed.
            EXPECT_EQ(written, FaultyDisk::renamed == 1) << "call " << k;
            EXPECT_EQ(FileManager::readFile(home("p.xml")), written ? fresh : old) << "call " << k;
            if (!written) {
                EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOSPC))) << "call " << k;
            }
            QStringList names = FileManager::contentsOfDirectory(FileManager::homeDirectory());
            names.sort();
            EXPECT_EQ(names, QStringList({".config", "p.xml"})) << "call " << k;
        }
    }
}
