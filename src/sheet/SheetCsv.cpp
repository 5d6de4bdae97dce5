#include "sheet/SheetCsv.h"

#include "records/UsbUtils.h"

SheetCsv::Outcome SheetCsv::saveCsv(const QString &chartNo, std::int64_t selectRow) {
    if (UsbUtils::isHaveMODE() == 0) return Outcome::NotLinkMode;
    // The backup is refreshed whether or not the CSV can be written.
    UsbUtils::csvBackup(chartNo, selectRow);
    const std::optional<UsbUtils::ResultFile> file =
        UsbUtils::resultFile(chartNo, selectRow, UsbUtils::ResultLayout::SheetCsv);
    return file && UsbUtils::writeLinkCsv(*file) ? Outcome::Saved : Outcome::Failed;
}

QString SheetCsv::pictureName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Saved:
            return QStringLiteral("csv_save_success");
        case Outcome::Failed:
            return QStringLiteral("W312");
        case Outcome::NotLinkMode:
            break;
    }
    return QStringLiteral("");
}
