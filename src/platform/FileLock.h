#pragma once

#include <QString>

namespace cvx {

// An advisory lock (flock) on a file or a folder that every process asking for the same lock
// respects; two locks on one path exclude each other within one process too. The kernel
// drops it when the holder closes it or dies, so a crashed holder never blocks anyone.
class FileLock {
public:
    enum class Mode { Wait, Try };

    enum class Kind { Folder, File };

    FileLock() = default;
    // Locks the folder at `path`, or the file there, creating a missing file (a missing folder
    // is not made). Not held when the path cannot be opened as that kind or, with Try,
    // someone else holds the lock.
    FileLock(const QString &path, Kind kind, Mode mode);
    ~FileLock();
    FileLock(FileLock &&other) noexcept;
    FileLock &operator=(FileLock &&other) noexcept;
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    bool isHeld() const { return fd_ >= 0; }
    // Not held only because another holder has it (Try).
    bool isHeldElsewhere() const { return heldElsewhere_; }
    // The held lock is still on what `path` names (it was not moved away or replaced).
    bool isAt(const QString &path) const;
    void release();

private:
    int fd_ = -1;
    bool heldElsewhere_ = false;
};

}  // namespace cvx
