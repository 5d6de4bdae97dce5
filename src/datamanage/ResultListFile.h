#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "records/OCMCustomerComment.h"

// The result list: every stored result of every patient, one row each, written as
// "<folder>/検査結果一覧.xls", a tab-separated Shift-JIS (CP932) text. Each field, the last
// included, is followed by a TAB and each line ends in LF; the first line is the header of 21
// columns: chart number, name, age, sex word, date, time, dentist, then per item MS, pH, BFC,
// BLD, LEU, ALB, NH3 its chart position (the part of the value pair after "|") and its level
// word. The six-item mode does not change the list.
//
// Patients are listed by chart number (numbers in numeric order), each patient's results newest
// first. A tab or line break inside a stored field is written as a blank, so that no column
// moves. A list that Shift-JIS cannot hold without loss is not written at all.
class ResultListFile {
public:
    ResultListFile() = delete;

    using CancelFlag = std::function<bool()>;

    static const QString kFileName;  // "検査結果一覧.xls"
    static const QString kHeader;    // the header line, TAB LF included

    enum class Status {
        Written,    // isSucc4 200, picture "made_list"
        Empty,      // the list of rows is empty, after a cancel too: alert "W311"
        Failed,     // isSucc4 405, picture "E405"; an existing list stays as it was
        Cancelled,  // stopped by the cancel flag with rows in the list; nothing written, no message
    };

    struct Outcome {
        Status status = Status::Failed;
        int isSucc4 = 0;          // 200 or 405 for Written and Failed, else 0
        QString path;             // the list file's path, once known
        int rowCount = 0;         // rows written (header excluded)
        QStringList unencodable;  // chart numbers whose rows Shift-JIS cannot hold
    };

    // The part of the text after its first "|" up to the next one; "" without a "|".
    static QString getSecStr(const QString &text);

    // Rows of every patient file of the Customer folder (the check-measurement file, hidden
    // entries and second copies of a patient's name excepted): one per result, newest first,
    // and, unless isMode0, one blank row (chart number, name, age and sex) for a patient
    // without results. Nothing when the cancel flag is set before it has finished.
    static std::optional<QList<OCMCustomerComment>> getData(bool isMode0, const CancelFlag &isCancel = {});

    // One row's line, TAB after every field and LF at the end.
    static QString rowLine(const OCMCustomerComment &row);

    // The whole job on the calling thread. `withBlankRows` is the tick of the data-link modes
    // (patients without results get a blank row). The cancel flag is polled before each entry,
    // patient and row and before writing. The rows found stay in the window's list until its
    // next run empties it, which comes after the listing of the patients: a cancel during
    // that listing leaves the rows of the run before, as `listHoldsRows` says (any status but
    // Empty leaves rows in the list).
    static Outcome writeList(const QString &folder, bool withBlankRows, const CancelFlag &isCancel = {},
                             bool listHoldsRows = false);

    // Runs writeList on the global queue; the completion gets the outcome on the main thread,
    // a cancelled one included.
    static void start(const QString &folder, bool withBlankRows, bool listHoldsRows, CancelFlag isCancel,
                      std::function<void(const Outcome &)> completion);
};
