#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

// Outcome codes of the data-management jobs, as the window shows them, and what the export and
// the import of the data folder share.
namespace DataJobs {
constexpr std::int32_t kSuccess = 200;
constexpr std::int32_t kNoPath = 306;
constexpr std::int32_t kExportFailed = 403;
constexpr std::int32_t kImportFailed = 404;

// Set by the window's Cancel on the main thread, polled by the running job.
using CancelFlag = std::atomic<bool>;

inline bool cancelled(const CancelFlag *flag) {
    return flag && flag->load();
}

// Appends one line to the day's transfer log ($HOME/TransferLog, made when missing): what a job
// left out, so that the user can find it. Any thread.
void transferLog(const QString &line);

// Whether `path` is `folder` or lies inside it, links resolved; false when either is missing.
bool isInsideFolder(const QString &path, const QString &folder);
}  // namespace DataJobs
