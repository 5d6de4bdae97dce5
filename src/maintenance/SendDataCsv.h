#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <thread>

#include "records/OCMCustomerComment.h"

// The send-data CSV of the maintenance screen: one header line and one line per stored
// result of every patient file, in code page 932, lines ending in a line feed.
//
// The screen owns one writer. start() runs the write on a thread of its own; progress and the
// outcome come back on the main thread. The file appears whole or not at all: it is written
// to a temporary file beside the target and renamed over it at the end, so a cancelled or
// failed write leaves an existing file of that name as it was.
//
// Where the stored texts would break the file, they are mended and the mending reported:
// characters that code page 932 lacks are written as "?" and counted; line breaks are
// dropped from every field, not only the comments; a text field holding a comma is quoted
// (with its double quotes doubled) so that no column moves. Fields without a comma are
// written unquoted, as the receiving side reads them.
class SendDataCsv {
public:
    enum class Outcome {
        Written,        // the screen shows "made_data_success"
        WriteFailed,    // "E403"
        NoPatientFile,  // "W311"; nothing written
        Cancelled,      // nothing of its own: the screen's Cancel has shown "made_data_stop"
    };

    struct Report {
        Outcome outcome = Outcome::Cancelled;
        int patientFiles = 0;  // patient files found
        int results = 0;       // lines below the header
        // Patient files that could not be read (not a regular file, or not well-formed XML);
        // they add no lines. A Written report with names here is a file with gaps.
        QStringList unreadableFiles;
        int substitutedCharacters = 0;  // characters written as "?"
        QString error;                  // why the write failed
    };

    struct Progress {
        int filesDone = 0;
        int filesTotal = 0;
        int results = 0;
    };

    // Where startMethod() asks whether to stop: before each patient file, before each result,
    // and once before the file is put in place. The last answer is final: a write that is not
    // stopped there appears.
    enum class CheckPoint { File, Result, Commit };
    using CancelCheck = std::function<bool(CheckPoint)>;
    using ProgressHandler = std::function<void(const Progress &)>;
    using FinishedHandler = std::function<void(const Report &)>;

    SendDataCsv();
    // Stops a running write and waits for its thread; no handler runs afterwards.
    ~SendDataCsv();
    SendDataCsv(const SendDataCsv &) = delete;
    SendDataCsv &operator=(const SendDataCsv &) = delete;

    // The name the save panel proposes.
    static QString proposedFileName();

    // Adds an element "SendCsvFolder" holding the folder to "CommSetting.xml" of the data
    // folder, two places before the end of the root's children (first when the root has fewer
    // than two). Every call adds one; earlier ones stay. A missing file is not created and a
    // file that does not parse, or whose root is not "DATA", is left alone. True when the file was written.
    static bool saveSendCsvFolder(const QString &folder);

    // Starts the write into `path` on a new thread. Main thread. `progress` (at most about ten
    // times a second, and once at the end) and then `finished` (exactly once) run on the main
    // thread, unless this writer is destroyed first. False, starting nothing, while an earlier
    // write has not delivered its outcome yet.
    bool start(const QString &path, FinishedHandler finished, ProgressHandler progress = {});
    // Main thread. True when a running write has been stopped: no file will appear and the
    // outcome will be Cancelled. False when nothing runs or the file is already being put in
    // place (the outcome then follows as usual).
    bool cancel();
    // From start() until its outcome has been delivered.
    bool isRunning() const;

    // The write itself, on the calling thread: any thread, no shared state.
    static Report startMethod(const QString &path, const CancelCheck &isCancelled = {},
                              const ProgressHandler &progress = {});

    // The header line, line end included.
    static void makeCsvTitle(QString &str);
    // One result's line, line end included.
    static void makeCsv(const OCMCustomerComment &cust, QString &str);

private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};
