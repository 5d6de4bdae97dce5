#pragma once

#include <QString>

#include <cstdint>

// The sheet's save button in the data-link modes: refreshes the result's text backup, then
// writes the result CSV (UTF-16 LE with byte-order mark, CR LF) into the data link's output
// folder under the same name as the data link's own, pad names kept as stored.
class SheetCsv {
public:
    SheetCsv() = delete;

    enum class Outcome {
        NotLinkMode,  // mode 0: nothing done, nothing to show
        Saved,        // show "csv_save_success"
        Failed,       // show "W312"
    };

    // selectRow: the result's position among the patient file's results (0 the newest).
    static Outcome saveCsv(const QString &chartNo, std::int64_t selectRow);
    // The message picture for an outcome; "" for NotLinkMode.
    static QString pictureName(Outcome outcome);
};
