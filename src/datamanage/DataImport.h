#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include "datamanage/DataJobs.h"
#include "platform/FileManager.h"

// The import of an exported data folder (job 1 of the data-management window) into the local
// data folder: the patient files of its `Customer` folder are merged one by one, converted from
// older layouts on the way; its check-measurement file is merged; the lists of its
// "Comment.xml" and "HisSetting.xml" are merged with their ticks; of its "ModeSetting.xml" the
// mode and the six-item switch are taken, its "DataTransfer.xml" whole and its "USBSetting.xml"
// with a Timeout of "10000" added when it has none.
//
// The import merges what it can: what was merged stays merged after a failure or a cancel, and
// every file is written whole. A patient file that is left out (unreadable, not mergeable, or
// refused below) makes the outcome 404 and is named in the transfer log, and so is a folder the
// walk does not go into: a link to a folder, one deeper than a path can name, one unreadable.
//
// The chosen `Customer` folder is walked with its subfolders, and each file goes to the same
// relative path under the local `Customer` folder, its folders made there. Only plain files
// whose names are safe patient-file names (or the check-measurement file's) in folders with
// safe names are taken; links are neither followed nor written through, other names are
// skipped and hidden entries passed over, so nothing is ever written outside the local
// `Customer` folder. Both `Customer` folders are held open and every file is reached from
// them folder by folder, never through a link, so that a folder swapped for a link during the
// import leads nowhere: its files are skipped and named.
class DataImport {
public:
    DataImport() = delete;

    struct Outcome {
        std::int32_t signResult = DataJobs::kImportFailed;  // 200 or 404
        QString alertStr;  // "インポートは成功しました。" or "インポート対象ファイルがありません。"
        QStringList fileList;  // "Customer", then "     <name>" per patient file of the local Customer
        QStringList skipped;   // imported names that were not taken, with the reason
        bool cancelled = false;
    };

    // The import on the calling thread. Cancel is polled before each patient file and each
    // settings file.
    static Outcome importDataFolder(const QString &chosenFolder,
                                    const DataJobs::CancelFlag *isCancel = nullptr);
    // Runs importDataFolder on a worker thread and hands its outcome to `completion` on the
    // main thread.
    static void start(const QString &chosenFolder, std::shared_ptr<DataJobs::CancelFlag> isCancel,
                      std::function<void(const Outcome &)> completion);

    // Merges the imported check-measurement file into the local one: all results newest first,
    // the local root kept; an imported result equal to a local one is not added again. False
    // when the local file cannot be read or the write failed.
    static bool saveCheckDataPath(const QString &localPath, const QString &importedPath,
                                  cvx::Durability durability = cvx::Durability::Synced);

    // Tests: runs after each imported patient file.
    static void setAfterFileHookForTesting(std::function<void(const QString &name)> hook);
};
