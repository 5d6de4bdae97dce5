#pragma once

#include <QString>
#include <functional>
#include <optional>

// The data link's patient import: the linked program drops patient files into the input folder
// ("/DATA/INPUT" of "DataTransfer.xml"); in modes 3, 4 and 5 each file of the mode's layout is
// read, its patients are stored in their patient files, one transfer-log line is written per
// stored patient, and the file is removed once every record in it was stored. Only regular
// files are read; hidden entries and links are passed over. A file that stays in the folder
// (a record rejected, or its removal failed) is remembered in the data folder by its content's
// hash and its good records are not applied again until its content changes; a file with a
// patient that could not be stored is tried again. Every file that was not wholly imported fails every run
// while it stays and is named in the transfer log each time. A mode-4 file shorter than one block holds no
// record: it stays and leaves the outcome alone.
//
// Imports run one after another on a worker thread of their own, never two at once: the
// start-up and the patient-entry button may both start one.
class DataLinkImport {
public:
    DataLinkImport() = delete;

    using Completion = std::function<void(bool)>;

    // Main thread. In modes 3, 4 and 5 with an input folder set, queues an import and returns
    // at once; otherwise starts nothing. Always true. The completion, when given, gets the
    // import's outcome on the main thread; it is not called when nothing was started or the
    // mode has left 3, 4 and 5 by the time the import runs.
    static bool readCsvOrTxt(Completion readCsvBlock = {});

    // The import itself, on the calling thread: makes the data and Customer folders, reads the
    // mode again and runs its procedure on the folder. Nothing when the mode is none of 3, 4, 5.
    static std::optional<bool> importFolder(const QString &folder);

    // One mode's procedure on the folder and its subfolders. True when every file read was
    // wholly imported (also when there was none); false when a record was rejected, a file
    // could not be read or a patient could not be stored.
    static bool loadAndSaveMode3WithPath(const QString &folder);
    static bool loadAndSaveMode4WithPath(const QString &folder);
    static bool loadAndSaveMode5WithPath(const QString &folder);

    // Returns once every queued import has finished (tests; the completion may still be
    // waiting on the main queue).
    static void waitForIdle();
    // Tests: runs after a file's patients were stored and before the file is removed.
    static void setBeforeRemoveHookForTesting(std::function<void(const QString &path)> hook);
};
