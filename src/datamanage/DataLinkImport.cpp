#include "datamanage/DataLinkImport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <mutex>

#include "datamanage/PatientFields.h"
#include "link/LogClock.h"
#include "platform/DateFormatter.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

using Records = QList<std::optional<QStringList>>;

constexpr qint64 kShortChartNumber = 15;  // modes 3 and 4
constexpr qint64 kLongChartNumber = 30;   // mode 5
constexpr qsizetype kMode3Fields = 12;
constexpr qsizetype kMode4Lines = 9;
constexpr qsizetype kMode5Fields = 6;

struct Layout {
    int mode;
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

// The paths and names in a message are written printably: none splits its line.
void logError(const QString &message) {
    AppDelegate::shared().errorLog(
        QStringLiteral("\nData-link import: %1\n").arg(cvx::FileManager::printablePath(message)));
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

// Mode 4: blocks of nine lines. A file shorter than one block holds no record (the linked
// program may still be writing it).
Records mode4Records(const QString &text, const QString &path) {
    const QStringList lines = PatientFields::splitLines(text);
    Records records;
    if (lines.size() < kMode4Lines) return records;
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
    // A block cut short is a patient not handed over whole: the file must not go.
    const QStringList rest = lines.mid(lines.size() - lines.size() % kMode4Lines);
    if (std::any_of(rest.cbegin(), rest.cend(), [](const QString &line) { return !trim(line).isEmpty(); }))
        records.append(std::nullopt);
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
    3, {QStringLiteral("csv"), QStringLiteral("txt")}, QStringLiteral("yyyyMMdd HHmmss"), true, mode3Records};
const Layout kMode4{4, {QStringLiteral("txt")}, QStringLiteral("yyyyMMddHHmmss"), false, mode4Records};
const Layout kMode5{5, {QStringLiteral("csv")}, QStringLiteral("yyyyMMdd HHmmss"), true, mode5Records};

QString timeStamp(const QString &pattern) {
    // A file of thousands of rows is stamped within a second or two: on the system's clock the
    // text is made once a second.
    thread_local struct {
        qint64 second = -1;
        QString pattern, text;
    } last;
    const qint64 second = cvx::LogClock::isSystemClock() ? QDateTime::currentSecsSinceEpoch() : -1;
    if (second >= 0 && second == last.second && pattern == last.pattern) return last.text;
    cvx::DateFormatter &formatter = AppDelegate::shared().appDateFormatter();
    formatter.setDateFormat(pattern);
    QString text = formatter.stringFromDate(cvx::LogClock::now());
    if (second >= 0) last = {second, pattern, text};
    return text;
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

// What the import remembers of the files that it read and left in the folder (a rejected
// record keeps a file there): applied again, their patients would undo every correction made
// since. A file counts as the one remembered only while its content is the same, which its hash
// tells: a kept size or time says nothing (a copy that keeps times, a sync tool, the two-second
// clock of a FAT stick). Nor is it the one remembered when read in another mode, whose
// layout finds other records in it. Kept in the data folder, keyed by path.
class ProcessedFiles {
public:
    struct Mark {
        qint64 size = -1;
        QString hash;  // SHA-256 of the content, hex
        int mode = 0;  // 0: read in any mode (marks of older versions)
        bool operator==(const Mark &) const = default;
    };

    ProcessedFiles() {
        const std::optional<QByteArray> bytes = cvx::FileManager::readFile(path());
        const QJsonObject files = bytes ? QJsonDocument::fromJson(*bytes).object() : QJsonObject();
        for (auto it = files.begin(); it != files.end(); ++it) {
            const QJsonObject mark = it.value().toObject();
            marks_.insert(it.key(), {mark.value(QStringLiteral("size")).toInteger(-1),
                                     mark.value(QStringLiteral("sha256")).toString(),
                                     mark.value(QStringLiteral("mode")).toInt()});
        }
    }

    static Mark markOf(const QByteArray &bytes, int mode) {
        return {bytes.size(),
                QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()),
                mode};
    }

    // The mark of the content read in `mode` when it is the one remembered. Only a file of the
    // remembered size is hashed.
    std::optional<Mark> remembered(const QString &file, const QByteArray &bytes, int mode) const {
        const auto it = marks_.constFind(file);
        if (it == marks_.cend() || (it->mode != 0 && it->mode != mode) || it->size != bytes.size() ||
            it->hash.isEmpty() || it->hash != markOf(bytes, mode).hash)
            return std::nullopt;
        return *it;
    }

    void remember(const QString &file, const Mark &mark) {
        const auto it = marks_.constFind(file);
        if (it != marks_.cend() && *it == mark) return;
        marks_.insert(file, mark);
        dirty_ = true;
    }

    void forget(const QString &file) {
        if (marks_.remove(file) > 0) dirty_ = true;
    }

    // Drops the marks of files gone from the folder, and writes the marks when they changed.
    void save(const QString &folder) {
        for (auto it = marks_.begin(); it != marks_.end();) {
            if (isInside(it.key(), folder) && !QFileInfo::exists(it.key())) {
                it = marks_.erase(it);
                dirty_ = true;
            } else {
                ++it;
            }
        }
        if (!dirty_) return;
        QJsonObject files;
        for (auto it = marks_.cbegin(); it != marks_.cend(); ++it)
            files.insert(it.key(), QJsonObject{{QStringLiteral("size"), it->size},
                                               {QStringLiteral("sha256"), it->hash},
                                               {QStringLiteral("mode"), it->mode}});
        if (!cvx::FileManager::writeAtomically(path(), QJsonDocument(files).toJson()))
            logError(QStringLiteral("%1 could not be written").arg(path()));
        dirty_ = false;
    }

private:
    static QString path() { return SettingsFiles::dataFolder() + QStringLiteral("/DataLinkImported.json"); }
    static bool isInside(const QString &file, const QString &folder) {
        return file.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
    }

    QHash<QString, Mark> marks_;
    bool dirty_ = false;
};

// The day's transfer log names a file that was not wholly imported, and why.
void logNotImported(const QString &path, const QString &why, const Layout &layout) {
    UsbUtils::writeLogToPath(transferLogFolder(), QStringLiteral("Not imported,%1,%2,%3")
                                                      .arg(cvx::FileManager::printablePath(path), why,
                                                           timeStamp(layout.timePattern)));
}

// False when the file was not wholly imported (a record rejected, the file unreadable, a
// patient not stored); such a file fails every run while it stays. A file is removed only after
// every one of its records was stored. A file left in the folder (a rejected record, a failed
// removal) is remembered, and while its content stays the same its records are not applied again.
// A file without a single record (a mode-4 file shorter than a block) is left alone.
bool importFile(const QString &path, const Layout &layout, ProcessedFiles &processed) {
    const auto fail = [&](const QString &why, const QByteArray &bytes) {
        logNotImported(path, why, layout);
        processed.remember(path, ProcessedFiles::markOf(bytes, layout.mode));
        return false;
    };

    if (QFileInfo(path).size() > PatientFields::kMaxInputFileSize) {
        logError(QStringLiteral("%1 is too large to be a patient file; it was not read").arg(path));
        logNotImported(path, QStringLiteral("too large"), layout);
        processed.forget(path);
        return false;
    }
    const std::optional<QByteArray> bytes = cvx::FileManager::readFile(path);
    if (!bytes) {
        // Gone since the walk (another import took it) is no failure.
        if (!cvx::FileManager::fileExists(path)) return true;
        logNotImported(path, QStringLiteral("unreadable"), layout);
        return false;
    }
    const std::optional<ProcessedFiles::Mark> applied = processed.remembered(path, *bytes, layout.mode);
    QString refusal;
    std::optional<QString> text = cvx::TextEncoding::fromImportedText(*bytes, &refusal);
    if (!text) {
        logError(QStringLiteral("%1: %2; it was not read").arg(path, refusal));
        return fail(refusal, *bytes);
    }
    if (layout.trimNewlines) text = NSStringExt::trimNewline(*text);

    QList<QStringList> rows;
    int rejected = 0;
    for (const std::optional<QStringList> &row : layout.records(*text, path)) {
        if (row)
            rows.append(*row);
        else
            ++rejected;
    }
    if (rows.isEmpty() && rejected == 0) {
        processed.forget(path);
        return true;
    }
    const QString rejectedWhy = QStringLiteral("%1 record(s) rejected").arg(rejected);
    // Removes the file once its patients are stored; one that cannot go fails the run.
    const auto removeImported = [&] {
        runBeforeRemoveHook(path);
        if (removeIfUnchanged(path, *bytes)) {
            processed.forget(path);
            return true;
        }
        // Changed since it was read: its new content is for the next import.
        if (cvx::FileManager::readFile(path) != bytes) return true;
        return fail(QStringLiteral("imported but not removed"), *bytes);
    };
    // An earlier run stored the good records of a remembered file: stored again, they would
    // undo every correction made since. One without a rejected record stayed only because it
    // could not be removed then; a mark that names no mode (of an older version) is not sure
    // of that, so such a file is read again.
    if (applied && rejected > 0) return fail(rejectedWhy, *bytes);
    if (applied && applied->mode != 0) return removeImported();

    // The patient files are written without waiting for the disk, and their log lines go in
    // one append: both once per input file rather than once per patient.
    int notStored = 0;
    QStringList logLines;
    SettingsFiles::WriteBatch batch;
    for (const QStringList &row : rows) {
        const OCMCustInfo info = PatientFields::custInfoFromRow(row);
        batch.next();
        if (!PatientFields::saveCustInfo(info, cvx::Durability::Deferred)) {
            ++notStored;
            continue;
        }
        logLines.append(QStringLiteral("%1,%2 %3,%4")
                            .arg(cvx::FileManager::printablePath(info.customerNo()),
                                 cvx::FileManager::printablePath(info.firstname()),
                                 cvx::FileManager::printablePath(info.lastname()),
                                 timeStamp(layout.timePattern)));
    }
    batch.release();
    // The input file goes only once its patients are on the disk.
    cvx::UserDefaults::standard().flush();
    if (!rows.isEmpty() && !cvx::FileManager::syncFileSystem(UsbUtils::customerFolder())) {
        logError(QStringLiteral("%1: the patient files could not be flushed to disk").arg(path));
        notStored = int(rows.size());
    }
    if (!logLines.isEmpty())
        UsbUtils::writeLogToPath(transferLogFolder(), logLines.join(QStringLiteral("\r\n")));
    if (notStored > 0) {
        // Not remembered: the next import tries the patients that could not be stored again.
        logNotImported(path, QStringLiteral("%1 patient(s) not stored").arg(notStored), layout);
        processed.forget(path);
        return false;
    }
    if (rejected > 0) return fail(rejectedWhy, *bytes);
    return removeImported();
}

// The mode's files in the folder and its subfolders, in the order the file system lists them:
// regular files only; hidden entries and links are passed over, so that nothing outside the
// folder, and nothing that another program keeps to itself, is read or removed.
void collect(const QString &folder, const Layout &layout, QStringList &paths) {
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().startsWith(u'.') || entry.isSymLink()) continue;
        if (entry.isDir())
            collect(entry.filePath(), layout, paths);
        else if (entry.isFile() && layout.extensions.contains(entry.suffix()))
            paths.append(entry.filePath());
    }
}

// Names the mode's files, and the folders, whose names are not UTF-8 (written on another
// system): no path of text leads to them, so the walk cannot take them. False when there is
// one; such a file is not wholly imported either.
bool nameNonUtf8Entries(const QString &folder, const Layout &layout) {
    QList<cvx::OpenFolder::Unlisted> unlisted;
    cvx::OpenFolder(folder).subpaths(&unlisted);
    bool none = true;
    for (const cvx::OpenFolder::Unlisted &entry : unlisted) {
        if (entry.error != EILSEQ || entry.relative.startsWith(u'.') ||
            entry.relative.contains(QLatin1String("/.")))
            continue;
        if (!entry.folder && !layout.extensions.contains(cvx::FileManager::pathExtension(entry.relative)))
            continue;
        // Named already as a person reads it.
        UsbUtils::writeLogToPath(
            transferLogFolder(),
            QStringLiteral("Not imported,%1/%2,name is not UTF-8,%3")
                .arg(cvx::FileManager::printablePath(folder), entry.relative, timeStamp(layout.timePattern)));
        none = false;
    }
    return none;
}

bool loadAndSave(const QString &folder, const Layout &layout) {
    QStringList paths;
    collect(QDir::cleanPath(folder), layout, paths);
    ProcessedFiles processed;
    bool ok = nameNonUtf8Entries(QDir::cleanPath(folder), layout);
    for (const QString &path : paths) {
        if (!importFile(path, layout, processed)) ok = false;
    }
    processed.save(QDir::cleanPath(folder));
    return ok;
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
