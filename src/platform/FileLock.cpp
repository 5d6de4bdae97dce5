#include "platform/FileLock.h"

#include "platform/FileIo.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace cvx {

FileLock::FileLock(const QString &path, Kind kind, Mode mode) {
    if (path.isEmpty()) return;
    const QByteArray name = QFile::encodeName(path);
    // A lock file is a regular file: a pipe, socket or device in its place is not claimed.
    struct stat st {};
    const int fd = kind == Kind::Folder
                       ? ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                       : fileio::openRegularFile(name.constData(), O_RDWR | O_CREAT, 0644, &st);
    if (fd < 0) return;
    const int operation = LOCK_EX | (mode == Mode::Try ? LOCK_NB : 0);
    int result = 0;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        heldElsewhere_ = errno == EWOULDBLOCK;
        ::close(fd);
        return;
    }
    fd_ = fd;
}

FileLock::~FileLock() {
    release();
}

FileLock::FileLock(FileLock &&other) noexcept : fd_(other.fd_), heldElsewhere_(other.heldElsewhere_) {
    other.fd_ = -1;
}

FileLock &FileLock::operator=(FileLock &&other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        heldElsewhere_ = other.heldElsewhere_;
        other.fd_ = -1;
    }
    return *this;
}

bool FileLock::isAt(const QString &path) const {
    struct stat held {};
    struct stat named {};
    return fd_ >= 0 && ::fstat(fd_, &held) == 0 && ::stat(QFile::encodeName(path).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

void FileLock::release() {
    if (fd_ < 0) return;
    // Closing the only descriptor of this open file drops the lock.
    ::close(fd_);
    fd_ = -1;
}

}  // namespace cvx
