#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "datamanage/DataJobs.h"

// The export of the data folder (job 2 of the data-management window): a copy of the whole
// data folder as "<chosen folder>/唾液検査結果データyyyy年MM月dd日", in which the ticked entries
// of the comment, hospital and dentist lists carry select="1" and, in the six-item mode, the
// results have lost their BLD elements. The data folder itself is never changed.
//
// The copy is made and marked in a hidden folder beside the target and only then put in the
// target's place, so that a failed or cancelled export leaves an earlier export of the same
// day as it was.
class DataExport {
public:
    DataExport() = delete;

    struct Outcome {
        std::int32_t isSucc = DataJobs::kSuccess;  // 200 or 403
        bool cancelled = false;                    // stopped before it replaced anything
        QString folder;                            // the export folder
        QStringList skipped;  // patient files left out (unreadable); the outcome is then 403
    };

    // "唾液検査結果データ" and the day as "yyyy年MM月dd日".
    static QString exportFolderName(const QDateTime &now = QDateTime::currentDateTime());

    // The export on the calling thread. 403 when the chosen folder is no folder or lies in the
    // data folder, the data folder is missing, or a copy, change, rename or sync failed (named
    // in the transfer log; an earlier export of the day then stays); also 403,
    // with the rest exported, when patient files were left out (`skipped`, and the transfer log). Cancel is
    // polled before the copy and before the copy takes the target's place.
    static Outcome exportDataFolder(const QString &chosenFolder,
                                    const DataJobs::CancelFlag *isCancel = nullptr);
    // Runs exportDataFolder on a worker thread and hands its outcome to `completion` on the
    // main thread.
    static void start(const QString &chosenFolder, std::shared_ptr<DataJobs::CancelFlag> isCancel,
                      std::function<void(const Outcome &)> completion);

    // Marks the ticked entry of each list of the "Comment.xml" at the path with select="1",
    // from "zsignData" and, for the last list (the overall comments), "ztotAry". False only
    // when the marked file could not be written; a missing or unreadable file stays as it is.
    static bool updateCommentXml(const QString &path);
    // The same for the hospital ("hos1") and dentist ("hos2") lists of a "HisSetting.xml".
    static bool updateHisSettingXml(const QString &path);
    // Drops BLD, DataValue4 and Content4 from every result of the ".xml" files of the folder.
    // A file that cannot be read is removed from the folder and named in `skipped` (without
    // `skipped`: false at once); false at the first file that cannot be written.
    static bool updateCustomer(const QString &folder, QStringList *skipped = nullptr);

private:
    static bool stripBld(const QString &folder, const QString &relative, QStringList *skipped);
};
