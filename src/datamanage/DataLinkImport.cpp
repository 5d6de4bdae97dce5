#include "datamanage/DataLinkImport.h"

#include <QFileInfo>
#include <mutex>

#include "datamanage/PatientFields.h"
#include "link/LogClock.h"
#include "platform/DateFormatter.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"

namespace {

using Records = QList<std::optional<QStringList>>;

constexpr qint64 kShortChartNumber = 15;  // modes 3 and 4
constexpr qint64 kLongChartNumber = 30;   // mode 5
constexpr qsizetype kMode3Fields = 12;
constexpr qsizetype kMode4Lines = 9;
constexpr qsizetype kMode5Fields = 6;

struct Layout {
    QStringList extensions;
    // Time stamp of the transfer-log line.
    QString timePattern;
    // Line ends at both ends of the text are dropped before it is split.
    bool trimNewlines;
    Records (*records)(const QString &text, const QString &path);
};

QString trim(const QString &text) {
    return NSStringExt::trim(text);
}

QString transferLogFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/TransferLog");
}

void logError(const QString &message) {
    AppDelegate::shared().errorLog(QStringLiteral("\nData-link import: %1\n").arg(message));
}

std::mutex hookMutex;
std::function<void(const QString &)> beforeRemoveHook;

void runBeforeRemoveHook(const QString &path) {
    std::function<void(const QString &)> hook;
    {
        const std::lock_guard<std::mutex> lock(hookMutex);
        hook = beforeRemoveHook;
    }
    if (hook) hook(path);
}

cvx::SerialQueue &importQueue() {
    static cvx::SerialQueue queue;
    return queue;
}

// The foreign file decides the chart number, and the chart number names a file: one that cannot
// name a patient file (the check-measurement file's name) is refused, never written through.
std::optional<QStringList> storable(const QStringList &row, const QString &path) {
    const QString chartNo = trim(row.value(0));
    if (PatientFields::isStorableChartNumber(chartNo)) return row;
    logError(QStringLiteral("%1: chart number \"%2\" names no patient file; the record was not imported")
                 .arg(path, chartNo));
    return std::nullopt;
}

std::optional<QStringList> mode3CsvRecord(const QStringList &fields, const QString &path) {
    const QString number = trim(fields[0]);
    if (!NSStringExt::validateDBCS2(number, kShortChartNumber) || fields.size() < kMode3Fields ||
        !PatientFields::validateName(fields[1]) || !PatientFields::validateBirthday2(trim(fields[5])) ||
        !PatientFields::validateSex2(trim(fields[6])))
        return std::nullopt;
    // Without a chart number in the record, the file's base name is the chart number.
    const QString baseName =
        cvx::FileManager::deletingPathExtension(cvx::FileManager::lastPathComponent(path));
    const QString checked = number.isEmpty() ? baseName : number;
    if (!NSStringExt::validateDBCS(checked, kShortChartNumber)) return std::nullopt;
    return storable(PatientFields::createInfo(fields, number.isEmpty() ? baseName : fields[0]), path);
}

std::optional<QStringList> mode3TxtRecord(const QStringList &fields, const QString &path) {
    if (fields.size() < kMode3Fields) return std::nullopt;
    const QString number = trim(fields[0]);
    if (number.isEmpty() || !NSStringExt::validateDBCS(number, kShortChartNumber) ||
        !PatientFields::validateName(fields[1]) || !PatientFields::validateBirthday2(trim(fields[5])) ||
        !PatientFields::validateSex2(trim(fields[6])))
        return std::nullopt;
    return storable(PatientFields::createInfo(fields, fields[0]), path);
}

// Mode 3: TAB-separated; a ".csv" file is one record (its line ends stay inside its fields), a
// ".txt" file one record per line.
Records mode3Records(const QString &text, const QString &path) {
    if (cvx::FileManager::pathExtension(path) == QLatin1String("csv"))
        return {mode3CsvRecord(text.split(u'\t'), path)};
    Records records;
    for (const QString &line : PatientFields::splitLines(text))
        records.append(mode3TxtRecord(line.split(u'\t'), path));
    return records;
}

// Mode 4: blocks of nine lines; a last, incomplete block is no record.
Records mode4Records(const QString &text, const QString &path) {
    const QStringList lines = PatientFields::splitLines(text);
    Records records;
    for (qsizetype first = 0; first + kMode4Lines <= lines.size(); first += kMode4Lines) {
        const QStringList block = lines.mid(first, kMode4Lines);
        QString number = trim(block[1]);
        if (!NSStringExt::validateDBCS(number, kShortChartNumber)) number = trim(block[0]);
        if (!NSStringExt::validateDBCS(number, kShortChartNumber) || !PatientFields::validateName(block[3]) ||
            !PatientFields::validateBirthday2(trim(block[5])) ||
            !PatientFields::validateSex2(trim(block[4]))) {
            records.append(std::nullopt);
            continue;
        }
        records.append(storable(PatientFields::createInfoFromMode4Data(block, number), path));
    }
    return records;
}

std::optional<QStringList> mode5Record(const QStringList &fields, const QString &path) {
    if (fields.size() < kMode5Fields) return std::nullopt;
    const QString number = trim(fields[0]);
    if (!NSStringExt::validateDBCS(number, kLongChartNumber) || !PatientFields::validateName(fields[1]) ||
        !PatientFields::validateName(fields[2]) || !PatientFields::validateBirthday2(trim(fields[3])) ||
        !PatientFields::validateSex(trim(fields[4])) || !PatientFields::validateRemark(trim(fields[5])))
        return std::nullopt;
    return storable(PatientFields::createInfoFromMode5Data(fields, number), path);
}

// Mode 5: one comma-separated record per line.
Records mode5Records(const QString &text, const QString &path) {
    Records records;
    for (const QString &line : PatientFields::splitLines(text))
        records.append(mode5Record(line.split(u','), path));
    return records;
}

const Layout kMode3{
    {QStringLiteral("csv"), QStringLiteral("txt")}, QStringLiteral("yyyyMMdd HHmmss"), true, mode3Records};
const Layout kMode4{{QStringLiteral("txt")}, QStringLiteral("yyyyMMddHHmmss"), false, mode4Records};
const Layout kMode5{{QStringLiteral("csv")}, QStringLiteral("yyyyMMdd HHmmss"), true, mode5Records};

QString timeStamp(const QString &pattern) {
    cvx::DateFormatter &formatter = AppDelegate::shared().appDateFormatter();
    formatter.setDateFormat(pattern);
    return formatter.stringFromDate(cvx::LogClock::now());
}

// Removes the imported file unless the linked program changed it since it was read (it may
// still have been writing it): the file then stays for the next import, so nothing written
// after the read is lost. A file already gone counts as removed.
bool removeIfUnchanged(const QString &path, const QByteArray &imported) {
    const std::optional<QByteArray> current = cvx::FileManager::readFile(path);
    if (!current) return !cvx::FileManager::fileExists(path);
    if (*current != imported) {
        logError(
            QStringLiteral("%1 changed while it was imported; it is kept for the next import").arg(path));
        return false;
    }
    if (cvx::FileManager::removeItem(path)) return true;
    logError(QStringLiteral("%1 was imported but could not be removed").arg(path));
    return false;
}

// True when the file was wholly stored and removed. A file is removed only after every one of
// its records was checked and stored.
bool importFile(const QString &path, const Layout &layout) {
    if (QFileInfo(path).size() > PatientFields::kMaxInputFileSize) {
        logError(QStringLiteral("%1 is too large to be a patient file; it was not read").arg(path));
        return false;
    }
    const std::optional<QByteArray> bytes = cvx::FileManager::readFile(path);
    if (!bytes) return false;  // gone, or not readable: skipped
    std::optional<QString> text = PatientFields::decodeImportedText(*bytes);
    if (!text) {
        logError(QStringLiteral("%1 is neither Shift-JIS nor UTF-16 text; it was not read").arg(path));
        return false;
    }
    if (layout.trimNewlines) text = NSStringExt::trimNewline(*text);

    QList<QStringList> rows;
    bool rejected = false;
    for (const std::optional<QStringList> &row : layout.records(*text, path)) {
        if (row)
            rows.append(*row);
        else
            rejected = true;
    }

    bool allSaved = true;
    for (const QStringList &row : rows) {
        const OCMCustInfo info = PatientFields::custInfoFromRow(row);
        if (!PatientFields::saveCustInfo(info)) {
            allSaved = false;
            continue;
        }
        UsbUtils::writeLogToPath(
            transferLogFolder(),
            QStringLiteral("%1,%2 %3,%4")
                .arg(info.customerNo(), info.firstname(), info.lastname(), timeStamp(layout.timePattern)));
    }
    if (rows.isEmpty() || rejected || !allSaved) return false;

    runBeforeRemoveHook(path);
    return removeIfUnchanged(path, *bytes);
}

bool loadAndSave(const QString &folder, const Layout &layout) {
    QStringList paths;
    for (const QString &relative : cvx::FileManager::subpaths(folder)) {
        if (!layout.extensions.contains(cvx::FileManager::pathExtension(relative))) continue;
        const QString path = folder + u'/' + relative;
        if (!cvx::FileManager::isDirectory(path)) paths.append(path);
    }
    if (paths.isEmpty()) return true;

    bool removedAny = false;
    for (const QString &path : paths) {
        if (importFile(path, layout)) removedAny = true;
    }
    return removedAny;
}

}  // namespace

bool DataLinkImport::readCsvOrTxt(Completion readCsvBlock) {
    const std::int32_t mode = UsbUtils::isHaveMODE();
    if (mode != 3 && mode != 4 && mode != 5) return true;
    const QString folder = UsbUtils::inputValue();
    if (folder.isEmpty()) return true;

    importQueue().async([folder, readCsvBlock = std::move(readCsvBlock)] {
        const std::optional<bool> outcome = importFolder(folder);
        // Completions update windows, which only the main thread may touch.
        if (outcome && readCsvBlock)
            cvx::Dispatch::mainAsync([readCsvBlock, ok = *outcome] { readCsvBlock(ok); });
    });
    return true;
}

std::optional<bool> DataLinkImport::importFolder(const QString &folder) {
    cvx::FileManager::createDirectory(UsbUtils::customerFolder());
    cvx::FileManager::createDirectory(transferLogFolder());
    switch (UsbUtils::isHaveMODE()) {
        case 3:
            return loadAndSaveMode3WithPath(folder);
        case 4:
            return loadAndSaveMode4WithPath(folder);
        case 5:
            return loadAndSaveMode5WithPath(folder);
        default:
            return std::nullopt;
    }
}

bool DataLinkImport::loadAndSaveMode3WithPath(const QString &folder) {
    return loadAndSave(folder, kMode3);
}

bool DataLinkImport::loadAndSaveMode4WithPath(const QString &folder) {
    return loadAndSave(folder, kMode4);
}

bool DataLinkImport::loadAndSaveMode5WithPath(const QString &folder) {
    return loadAndSave(folder, kMode5);
}

void DataLinkImport::waitForIdle() {
    importQueue().waitForIdle();
}

void DataLinkImport::setBeforeRemoveHookForTesting(std::function<void(const QString &path)> hook) {
    const std::lock_guard<std::mutex> lock(hookMutex);
    beforeRemoveHook = std::move(hook);
}
