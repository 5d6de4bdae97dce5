#pragma once

// The system calls behind FileManager's writes, replaceable so that tests can make any one of
// them fail (or kill a bulk job part way); not for use outside src/platform and the tests.

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

#include <QByteArray>

namespace cvx::fileio {

// Reads the file open as `fd`, of `size` bytes when it was looked at, to its end into `buffer`,
// whose room is kept for the next file; false when a read fails.
bool readToEnd(int fd, off_t size, QByteArray &buffer);
// Reads the regular file `name` in `folder` (AT_FDCWD for a path) into `buffer` as readToEnd
// does; false for anything else, which is never waited on: a pipe is opened without blocking
// and refused once open. `flags` adds to the open's (O_NOFOLLOW).
bool readRegularFile(int folder, const char *name, int flags, QByteArray &buffer);

// Opens `path` with `flags` (and `mode`, for O_CREAT) only where it is a regular file, or is
// missing and created: a pipe, socket or device in its place is not opened (a pipe would wait for
// a peer, and opening a device may act on it), and one put there between the look and the open
// is not waited on and refused. -1 otherwise. The file's status goes to *st.
int openRegularFile(const char *path, int flags, mode_t mode, struct stat *st);

int systemOpenat(int folder, const char *name, int flags, mode_t mode);
int systemRenameat(int fromFolder, const char *from, int toFolder, const char *to, unsigned flags);
int systemStatvfs(const char *path, struct statvfs *info);

struct Calls {
    int (*open)(const char *path, int flags, mode_t mode);
    ssize_t (*write)(int fd, const void *data, size_t size);
    int (*fsync)(int fd);
    int (*close)(int fd);
    // `flags` as renameat2 takes them (0, or RENAME_NOREPLACE).
    int (*rename)(const char *from, const char *to, unsigned flags);
    int (*syncfs)(int fd);
    // As open and rename, relative to an open folder (an OpenFolder's writes).
    int (*openat)(int folder, const char *name, int flags, mode_t mode) = systemOpenat;
    int (*renameat)(int fromFolder, const char *from, int toFolder, const char *to,
                    unsigned flags) = systemRenameat;
    // The room left on the file system holding `path` (a whole copy looks before it begins).
    int (*statvfs)(const char *path, struct statvfs *info) = systemStatvfs;
};

// The calls in use: the system's own unless a test has installed others.
const Calls &calls();
Calls systemCalls();
// Installs `replacement` until the returned guard goes out of scope.
class ScopedCalls {
public:
    explicit ScopedCalls(const Calls &replacement);
    ~ScopedCalls();
    ScopedCalls(const ScopedCalls &) = delete;
    ScopedCalls &operator=(const ScopedCalls &) = delete;

private:
    Calls previous_;
};

}  // namespace cvx::fileio
