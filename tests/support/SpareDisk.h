#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <QDirIterator>
#include <QFile>

#include <optional>

#include "platform/FileIo.h"

namespace cvxtest {

// While it lives, every disk has `share` times what the tree at `folder` takes on its own disk
// free, as du counts it (the blocks of each file and folder, links not followed), in that
// disk's blocks.
class SpareDisk {
public:
    SpareDisk(const QString &folder, double share) {
        struct statvfs real {};
        ::statvfs(QFile::encodeName(folder).constData(), &real);
        block_ = real.f_frsize ? real.f_frsize : real.f_bsize;
        quint64 taken = 0;
        QDirIterator entries(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
        for (QString path = folder; !path.isEmpty(); path = entries.hasNext() ? entries.next() : QString()) {
            struct stat st {};
            if (::lstat(QFile::encodeName(path).constData(), &st) == 0) taken += quint64(st.st_blocks) * 512;
        }
        freeBlocks_ = fsblkcnt_t(double(taken) * share) / block_;
        cvx::fileio::Calls calls = cvx::fileio::systemCalls();
        calls.statvfs = [](const char *, struct statvfs *info) {
            *info = {};
            info->f_bsize = info->f_frsize = block_;
            info->f_bavail = freeBlocks_;
            return 0;
        };
        scoped_.emplace(calls);
    }

private:
    static inline unsigned long block_ = 4096;
    static inline fsblkcnt_t freeBlocks_ = 0;
    std::optional<cvx::fileio::ScopedCalls> scoped_;
};

}  // namespace cvxtest
