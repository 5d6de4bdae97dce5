#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "platform/FileManager.h"
#include "records/OCMCustInfo.h"

// The checks and conversions that turn a patient handed over in a file (the data link's input
// folder, the patient list) into a stored patient. Stateless; any thread.
//
// Common patient row: six fields in this order: chart number, first name, last name, birth
// date ("yyyy/MM/dd" or ""), sex letter ("M", "F" or ""), remark. Kept as a list rather than
// one comma-joined text, so that a comma inside a name stays inside that name.
class PatientFields {
public:
    PatientFields() = delete;

    // Largest input file read at all: a patient list is a few hundred kilobytes; anything near
    // this is no patient list and would only be held in memory whole.
    static constexpr qint64 kMaxInputFileSize = 16 * 1024 * 1024;

    // ---- Checks: true when acceptable; lengths count UTF-16 units --------------------------
    static bool validateName(const QString &text);    // at most 15, "" too
    static bool validateRemark(const QString &text);  // at most 40, "" too
    static bool validateSex(const QString &text);     // "M", "F" or ""
    static bool validateSex2(const QString &text);    // anything
    // "" or a real Gregorian day from year 0001 to 9999, its parts joined by "/" or "-".
    static bool validateBirthday(const QString &text);
    // As validateBirthday, also with "." and in the compact forms "yyyyMMdd" and "yyyyMd".
    static bool validateBirthday2(const QString &text);

    // ---- Conversions ------------------------------------------------------------------------
    // A date validateBirthday2 accepts as "yyyy/MM/dd"; "" for anything else.
    static QString birthday2(const QString &text);
    // "yyyy/M/d" or "yyyy-M-d" as "yyyy-MM-dd" (no calendar check); "" without three parts.
    static QString formatBirthdayStr(const QString &text);
    // Whole years from a "yyyy-MM-dd" birth date to `now` in the program's calendar; "" when
    // the text has not three "-" parts. A future date gives 0 or a negative number.
    static QString calculateAge(const QString &birthday, const QDateTime &now = QDateTime::currentDateTime());

    // ---- Common rows from the data-link layouts (the record has been checked) ---------------
    // Mode 3: tab-separated fields; 1 name, 5 birth date, 6 sex ("男", "女").
    static QStringList createInfo(const QStringList &fields, const QString &fileName);
    // Mode 4: a block of nine lines; 3 name, 4 sex ("0", "1"), 5 birth date.
    static QStringList createInfoFromMode4Data(const QStringList &lines, const QString &fileName);
    // Mode 5: comma-separated fields; 1 first name, 2 last name, 3 birth date, 4 sex, 5 remark.
    static QStringList createInfoFromMode5Data(const QStringList &fields, const QString &fileName);

    // ---- The stored patient -----------------------------------------------------------------
    // The patient of a common row (or a patient-list line split at ","): chart number, birth
    // date, sex and remark trimmed, names as given; birthday "yyyy-MM-dd", age derived from it,
    // sex "0" for "M", "1" for "F", else "2". Missing fields read as "".
    static OCMCustInfo custInfoFromRow(const QStringList &row);
    // A chart number that may name a patient file (UsbUtils::isSafeChartNumber, which also
    // refuses the check-measurement file's name).
    static bool isStorableChartNumber(const QString &chartNo);
    // Writes the patient's root record into Customer/<chart number>.xml (results kept; a new
    // file is declared 1.0, UTF-8, standalone no) and the remark into "<chart number>_remark".
    // False when the chart number is refused, the file cannot be read, or the write failed.
    static bool saveCustInfo(const OCMCustInfo &info, cvx::Durability durability = cvx::Durability::Synced);

    // ---- Imported text (decoded by cvx::TextEncoding::fromImportedText) ---------------------
    // Split at every line end, CR LF, LF or CR, even mixed in one text; no line end gives one
    // line. A line end at the very end leaves an empty last line.
    static QStringList splitLines(const QString &text);
};
