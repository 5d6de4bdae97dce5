#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "records/OCMCustInfo.h"

// The patient list of the data-management window (outside the data-link modes): a text file of
// one patient a line, six fields split at every "," (chart number, first name, last name, birth
// date "yyyy/M/d" or "yyyy-M-d", sex "M", "F" or "", remark), no header and no quoting. Decoded
// as the data link's input files are (TextEncoding::fromImportedText): a byte-order mark decides;
// without one, Shift-JIS or UTF-8, whichever alone reads the bytes or, when both do, gives the
// likelier text of patients, refused where both readings stay plausible; else UTF-16 where the
// bytes look like it, its byte order guessed from its zero bytes, little-endian when undecided.
// Bytes in none of them (a file of Shift-JIS and UTF-8 lines) are refused, and the error log
// says why.
//
// Checking is all or nothing: every line is checked first and patients are saved only when
// every line is good. Each good line creates or updates Customer/<chart number>.xml (its stored
// results stay) and the remark "<chart number>_remark"; a later line for the same chart number
// wins.
class PatientListImport {
public:
    PatientListImport() = delete;

    using CancelFlag = std::function<bool()>;

    // alertStr of a list that cannot be read or holds a refused line or no line at all.
    static const QString kNoFileText;
    // alertStr of a list in no encoding that is read.
    static const QString kNoEncodingText;
    // alertStr of a list that reads both as Shift-JIS and as UTF-8, and whose text cannot tell
    // which it is.
    static const QString kCannotTellText;

    struct Outcome {
        int signResult = 0;      // 200 every patient saved, 404 otherwise
        QString alertStr;        // why it failed; null after a success
        bool cancelled = false;  // stopped by the cancel flag: the window shows its stop only
        QList<int> badLines;     // refused lines, numbered from 1 in the file
        int goodLines = 0;       // lines that passed the checks
        QStringList saved;       // chart numbers stored, in file order (also when cancelled)
        QStringList failed;      // chart numbers whose patient file could not be written
    };

    // The patient of one line, or nothing when the line is refused: not exactly six fields;
    // chart number (trimmed) not 1 to 30 characters of the chart-number set, or the
    // check-measurement file's name; a name over 15 characters (untrimmed); a birth date
    // (trimmed) that is no calendar day; sex (trimmed) not "M", "F" or ""; a remark (trimmed)
    // over 40 characters.
    static std::optional<OCMCustInfo> patientFromLine(const QString &line);

    // The import on the calling thread. Makes the data and Customer folders. In a data-link
    // mode nothing is read and the outcome is 404. The cancel flag is polled before each
    // patient is saved; patients saved before a cancel stay saved. A patient file that cannot
    // be written does not stop the others, but the outcome is then 404 and names it.
    static Outcome importList(const QString &path, const CancelFlag &isCancel = {});

    // Runs importList on the global queue and hands its outcome to the completion on the main
    // thread, a cancelled one included (the window then runs its own cancel).
    static void start(const QString &path, CancelFlag isCancel,
                      std::function<void(const Outcome &)> completion);

    // Whether some ".xml" file in the folder or below holds a result (a child of its root)
    // with a Content1 and no DataValue3 element.
    static bool isTwo(const QString &folder);
    // For each equal pair of an entry of `files` and an entry of `userData` (the
    // check-measurement file's name excepted), the position in `userData` as a decimal text,
    // in the order of `files`, then of `userData`.
    static QStringList removeRepeat(const QStringList &files, const QStringList &userData);
};
