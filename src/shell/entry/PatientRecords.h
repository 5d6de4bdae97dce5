#pragma once

#include <QList>
#include <QString>
#include <optional>

#include "platform/XmlDocument.h"
#include "records/OCMCustInfo.h"

// The patient-entry window's reading and writing of patient files, apart from its widgets:
// the search by chart number or by name, the record a stored file gives, and the patient's
// root record written when the patient is registered.
namespace entry {

// The check-measurement file's name, which is no patient's chart number in any case.
bool isCheckMeasureResult(const QString &chartNo);
// A chart number the window registers a patient under: it names a patient file in the
// Customer folder (UsbUtils::isSafeChartNumber), which also refuses the check file's name.
bool isRegistrableChartNumber(const QString &chartNo);

// The user-default key of a patient's remark: "<chart number>_remark".
QString remarkKey(const QString &chartNo);

// The stored name split into the record's two names: in the data-link modes 3 and 4 the whole
// name is the first name; otherwise it is split at each single blank, the first part giving
// the first name and, with two parts or more, the last part the last name.
void splitName(const QString &name, int mode, OCMCustInfo &record);

// The remark of the newest result (the root's first element, when it is a `comment` holding a
// `Remark`), or else the non-empty user default "<chart number>_remark", or else "".
QString getRemark(const cvx::XmlDocument *doc, const QString &customerNo);

// The record a patient file gives: names split by splitName, birthday, age and sex from the
// root's attributes ("" where missing), the remark by getRemark. A file that could not be
// read (null) gives empty fields but the chart number (and the remark of the user defaults).
OCMCustInfo recordFromFile(const cvx::XmlDocument *doc, const QString &customerNo, int mode);

// No chart number, first name or last name (each trimmed) typed.
bool isSearchEmpty(const QString &chartNo, const QString &firstName, const QString &lastName);

struct SearchResult {
    // The message picture to show ("W301", "W302"), or null.
    QString message;
    // The record to show, if any.
    std::optional<OCMCustInfo> shown;
    // The matches of a name search, in the order found.
    QList<OCMCustInfo> userArray;
};

// The search button: a chart number typed finds the file whose name matches it ignoring case
// and shows that file, with its own name as the chart number; otherwise every patient file
// whose names contain the typed ones (case counts) is a match and the first is shown. The
// Customer folder is made when missing.
SearchResult searchPatients(const QString &chartNo, const QString &firstName, const QString &lastName,
                            int mode);

// The chart number of the patient file that `chartNo` names: itself when its file exists,
// else the name of a file in the Customer folder that differs from it only in letter case
// (the first in name order), else itself.
QString storedChartNumber(const QString &chartNo);

// Writes the patient's root record: Customer/<chart number>.xml gets exactly the attributes
// name, birthday, age and sex (its results stay); a new file is declared version 1.0, UTF-8,
// standalone no. The remark goes to the user default "<trimmed chart number>_remark".
// A refused chart number writes nothing; a file that cannot be read is left untouched (the
// remark is still kept). True when the file was written; *writeFailed tells a failed write (the
// old file then stays as it was) from a file that was not read. A bulk job writes Deferred and
// flushes once at its end (FileManager::syncFileSystem).
bool saveCustInfo(const OCMCustInfo &info, bool *writeFailed = nullptr,
                  cvx::Durability durability = cvx::Durability::Synced);

}  // namespace entry
