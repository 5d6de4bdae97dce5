#include "datamanage/DataImport.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "datamanage/AddTabData.h"
#include "platform/Bundle.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

using cvx::FileManager;
using cvx::XmlDocument;
using cvx::XmlElement;

const QString kCheckName = QStringLiteral("Check_Measure_Result");
constexpr cvx::Durability kDeferred = cvx::Durability::Deferred;

std::function<void(const QString &)> &afterFileHook() {
    static std::function<void(const QString &)> hook;
    return hook;
}

using Entry = cvx::OpenFolder::Entry;

// A plain file: not a link, not a folder.
bool isPlainFile(const QString &path) {
    std::error_code error;
    return std::filesystem::symlink_status(QFile::encodeName(path).toStdString(), error).type() ==
           std::filesystem::file_type::regular;
}

bool isHidden(const QString &relative) {
    for (const QString &part : relative.split(QLatin1Char('/')))
        if (part.startsWith(QLatin1Char('.'))) return true;
    return false;
}

QString dataPath(const QString &name) {
    return FileManager::appendingPathComponent(SettingsFiles::dataFolder(), name);
}

QStringList localListing(const QString &localCustomer) {
    QStringList out;
    for (const QString &name : FileManager::contentsOfDirectory(localCustomer)) {
        if (name.size() >= 4 && name.endsWith(QLatin1String(".xml")))
            out.append(QStringLiteral("     ") + name);
    }
    return out;
}

QString baseName(const QString &relative) {
    return FileManager::deletingPathExtension(FileManager::lastPathComponent(relative));
}

// The folder part of a path relative to Customer ("" for none) and the file's name.
std::pair<QString, QString> splitRelative(const QString &relative) {
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return {slash < 0 ? QString() : relative.left(slash), relative.mid(slash + 1)};
}

// Why an imported Customer entry is not taken; null when it is. `entry` is what the file is,
// looked at through its folder. Its folders are real ones (the walk does not follow links),
// and their names must be as safe as a chart number. A folder named like a patient file would
// take that patient's place below the local Customer, so that the patient's next measurement
// could not be stored.
QString refusal(const QString &relative, Entry entry) {
    const QStringList parts = relative.split(QLatin1Char('/'));
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        if (!UsbUtils::isSafeChartNumber(parts[i], false) ||
            parts[i].endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
            return QStringLiteral("not a safe folder name");
    if (entry != Entry::File) return QStringLiteral("not a plain file");
    const QString base = baseName(relative);
    if (base != kCheckName && !UsbUtils::isSafeChartNumber(base, true))
        return QStringLiteral("not a chart number");
    return QString();
}

// Why the listing of the imported Customer did not go into a folder.
QString unlistedReason(int error) {
    if (error == ELOOP) return QStringLiteral("link to a folder, not followed");
    if (error == ENAMETOOLONG) return QStringLiteral("folder deeper than a path can name");
    if (error == ENOTDIR) return QStringLiteral("folder is a link or a file now");
    if (error == EILSEQ) return QStringLiteral("name is not UTF-8");
    return QStringLiteral("folder unreadable (%1)").arg(qt_error_string(error));
}

// The whole element as text, to tell results that stand identically in both files.
QString fingerprint(const XmlElement &element) {
    return element.toString();
}

// The local check-measurement file with the imported results added: all newest first, the
// local root kept, an imported result equal to a local one not added again.
XmlDocument mergedCheck(const XmlDocument &local, const std::optional<XmlDocument> &theirs) {
    XmlElement root = local.rootElement();
    QList<XmlElement> all = root.elements();
    QSet<QString> seen;
    for (const XmlElement &result : all) seen.insert(fingerprint(result));
    if (theirs) {
        for (const XmlElement &result : theirs->rootElement().elements()) {
            if (!seen.contains(fingerprint(result))) all.append(result);
        }
    }
    XmlDocument merged = local.clone();
    XmlElement mergedRoot = merged.rootElement();
    // A comment or instruction stays, after the results.
    for (const XmlElement &result : mergedRoot.elements()) mergedRoot.removeChild(result);
    for (const XmlElement &result : UsbUtils::compareComment(all)) mergedRoot.insertCopy(0, result);
    return merged;
}

// One collected Customer entry, read and converted ahead of its turn.
struct Pending {
    QString relative;
    bool hidden = false;  // passed over without a word
    QString why;          // null when taken
    bool check = false;
    std::optional<QByteArray> checkBytes;  // the imported check-measurement file, as read
    UsbUtils::ConvertedFile converted;
};

// Reads and converts the collected files on every core, a bounded number of files ahead of
// the one thread that takes them in order. That thread lends a hand while its next file is
// not ready.
class ConvertAhead {
public:
    // `localNames`: the local files when the import began, by their paths relative to Customer.
    // `sourcePath` names the imported Customer in reports.
    ConvertAhead(const QStringList &paths, const cvx::OpenFolder &source, const QString &sourcePath,
                 const QSet<QString> &localNames)
        : paths_(paths),
          source_(source),
          sourcePath_(sourcePath),
          localNames_(localNames),
          window_(std::max(32, 16 * QThread::idealThreadCount())),
          step_(window_ / 4),
          slots_(size_t(window_)),
          room_(window_) {
        const int workers = std::max(1, QThread::idealThreadCount() - 1);
        pool_.setMaxThreadCount(workers);
        for (int i = 0; i < workers; ++i) pool_.start([this] { work(); });
    }

    ~ConvertAhead() {
        stop_ = true;
        room_.store(std::numeric_limits<qsizetype>::max());
        room_.notify_all();
        pool_.waitForDone();
    }

    ConvertAhead(const ConvertAhead &) = delete;
    ConvertAhead &operator=(const ConvertAhead &) = delete;

    // The next file in order, or null after the last. The one before it is done with.
    Pending *next() {
        if (taken_ > 0 && taken_ % step_ == 0) {
            room_.store(taken_ + window_);
            room_.notify_all();
        }
        if (taken_ == paths_.size()) return nullptr;
        Slot &slot = slots_[size_t(taken_ % window_)];
        for (qsizetype done = slot.done.load(); done != taken_ + 1; done = slot.done.load()) {
            const qsizetype other = claim();
            if (other >= 0)
                convert(other);
            else
                slot.done.wait(done);
        }
        return &*slots_[size_t(taken_++ % window_)].pending;
    }

private:
    struct Slot {
        std::optional<Pending> pending;  // built afresh for each file: nothing of the one before stays
        std::atomic<qsizetype> done{0};  // index + 1 of the file in `pending` once it is ready
    };

    // The next index to convert, when it has a free slot; -1 otherwise.
    qsizetype claim() {
        qsizetype i = next_.load();
        do {
            if (stop_ || i >= paths_.size() || i >= room_.load()) return -1;
        } while (!next_.compare_exchange_weak(i, i + 1));
        return i;
    }

    void work() {
        while (!stop_ && next_.load() < paths_.size()) {
            const qsizetype room = room_.load();
            const qsizetype i = claim();
            if (i >= 0)
                convert(i);
            else
                room_.wait(room);
        }
    }

    // The imported file, read through the imported folders as they are now, never through a
    // link: the files of a folder swapped for a link meanwhile read as unreadable.
    std::optional<QByteArray> readImported(const QString &relative) const {
        const auto [folder, name] = splitRelative(relative);
        return source_.folder(folder).readFile(name);
    }

    void convert(qsizetype i) {
        Slot &slot = slots_[size_t(i % window_)];
        Pending &p = slot.pending.emplace();
        p.relative = paths_[i];
        // Hidden files are the copying system's own (resource forks, trash), no patients.
        p.hidden = isHidden(p.relative);
        if (!p.hidden) {
            const auto [folderPart, name] = splitRelative(p.relative);
            const cvx::OpenFolder folder = source_.folder(folderPart);
            p.why = refusal(p.relative, folder.isOpen() ? folder.entry(name) : Entry::File);
            p.check = baseName(p.relative) == kCheckName;
            if (p.why.isNull() && p.check) p.checkBytes = folder.readFile(name);
            // Looking for the local file here would hold up the writes in the same folder; the
            // save looks again.
            if (p.why.isNull() && !p.check)
                p.converted = UsbUtils::convertImportedFile(
                    [this, relative = p.relative] { return readImported(relative); },
                    sourcePath_ + u'/' + p.relative, !localNames_.contains(p.relative));
        }
        slot.done.store(i + 1);
        slot.done.notify_all();
    }

    const QStringList &paths_;
    const cvx::OpenFolder &source_;
    const QString sourcePath_;
    const QSet<QString> &localNames_;
    const qsizetype window_;
    const qsizetype step_;
    std::vector<Slot> slots_;
    std::atomic<qsizetype> next_{0};
    std::atomic<qsizetype> room_;  // indices below it have a free slot
    std::atomic<bool> stop_{false};
    qsizetype taken_ = 0;  // the taking thread's own
    QThreadPool pool_;     // last: joined before the rest goes
};

class Importer {
public:
    Importer(const QString &chosen, const DataJobs::CancelFlag *isCancel)
        : chosen_(chosen), isCancel_(isCancel) {}

    DataImport::Outcome run() {
        const QString data = SettingsFiles::dataFolder();
        FileManager::createDirectory(data);
        // Importing the data folder into itself would merge every file with itself.
        if (chosen_.isEmpty() || !FileManager::isDirectory(chosen_) ||
            DataJobs::isInsideFolder(chosen_, data) ||
            DataJobs::isInsideFolder(chosen_ + QStringLiteral("/Customer"), data)) {
            return finish(false);
        }

        // What was merged stays merged, whatever follows: each file is written whole.
        bool ok = importCustomer();
        if (ok && !cancelled()) ok = importSettings();
        // The patient files were written without waiting for the disk: one flush before the
        // import counts as done. What a cancelled or failed import merged stays too, so it is
        // flushed as well.
        cvx::UserDefaults::standard().flush();
        if (!FileManager::syncFileSystem(data)) ok = false;
        // A patient file left out is a failure to report, not a success.
        return finish(ok && !cancelled() && skipped_.isEmpty());
    }

private:
    bool cancelled() const { return DataJobs::cancelled(isCancel_); }

    // Names a file or folder left out, and why. A name can hold anything but a slash: written
    // as a person can read it, no line end in it splits its line in the transfer log.
    void skip(const QString &path, const QString &why) {
        skipped_.append(FileManager::printablePath(path) + QStringLiteral(": ") + why);
    }

    bool importCustomer() {
        const QString source = FileManager::appendingPathComponent(chosen_, QStringLiteral("Customer"));
        if (!FileManager::isDirectory(source)) return true;
        hasCustomer_ = true;
        const QString local = UsbUtils::customerFolder();
        if (!FileManager::createDirectory(local)) return false;
        // Both held open from here on: every file below them is read and written through folders
        // as they are opened, so that no link put in place of one during the import leads out
        // of either Customer.
        const cvx::OpenFolder sourceFolder(source);
        if (!sourceFolder.isOpen()) {
            skip(source, unlistedReason(errno));
            return true;
        }
        local_ = cvx::OpenFolder(local);
        sourcePath_ = source;
        localPath_ = local;
        if (!local_.isOpen()) return false;

        QList<cvx::OpenFolder::Unlisted> unlisted;
        const QStringList listed = sourceFolder.subpaths(&unlisted);
        // A folder not gone into may hold patients: named as a file left out is.
        QSet<QString> folders;
        for (const cvx::OpenFolder::Unlisted &folder : unlisted) {
            if (isHidden(folder.relative)) continue;
            if (folder.error == EILSEQ) {
                // Named already as a person can read it; of the files only patient files count.
                if (folder.folder || FileManager::pathExtension(folder.relative) == QLatin1String("xml"))
                    skipped_.append(folder.relative + QStringLiteral(": ") + unlistedReason(folder.error));
                continue;
            }
            folders.insert(folder.relative);
            skip(folder.relative.isEmpty() ? source : folder.relative, unlistedReason(folder.error));
        }
        QStringList paths;
        for (const QString &relative : listed) {
            if (cancelled()) return true;
            if (FileManager::pathExtension(relative) == QLatin1String("xml") && !folders.contains(relative))
                paths.append(relative);
        }
        const QSet<QString> present = localNames(paths);
        ConvertAhead ahead(paths, sourceFolder, source, present);
        // A measurement stored meanwhile waits for a run of files, not for the whole import.
        // The converting threads never take the lock, so waiting for them under it is safe.
        SettingsFiles::WriteBatch batch;
        while (Pending *item = ahead.next()) {
            if (cancelled()) return true;
            if (item->hidden) continue;
            if (!item->why.isNull()) {
                skip(item->relative, item->why);
                continue;
            }
            batch.next();
            if (!importOne(*item)) return false;
            if (afterFileHook()) afterFileHook()(item->relative);
        }
        return true;
    }

    // The local files in the folders that `paths` lead to, by their relative paths: one listing
    // per folder.
    QSet<QString> localNames(const QStringList &paths) const {
        QSet<QString> names;
        QSet<QString> folders{QString()};
        for (const QString &relative : paths) {
            const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
            if (slash >= 0) folders.insert(relative.left(slash + 1));
        }
        for (const QString &folder : folders)
            for (const QString &name : local_.folder(folder).contents()) names.insert(folder + name);
        return names;
    }

    // The local folder of `folder` (relative to the local Customer), made as needed. Every step
    // must be a real folder: a link could lead the write out of Customer. It is opened again
    // for each file, so that a folder swapped for a link after its first files leads nowhere.
    // Not open, with the reason in *why, when it cannot be had; a folder refused once stays
    // refused, and so do the folders below it.
    cvx::OpenFolder localFolder(const QString &folder, QString *why) {
        for (qsizetype slash = folder.indexOf(QLatin1Char('/')); !folders_.isEmpty();
             slash = folder.indexOf(QLatin1Char('/'), slash + 1)) {
            const auto known = folders_.constFind(slash < 0 ? folder : folder.left(slash));
            if (known != folders_.cend()) {
                *why = *known;
                return {};
            }
            if (slash < 0) break;
        }
        cvx::OpenFolder opened = local_.folder(folder, true);
        if (!opened.isOpen()) {
            *why = errno == ENOTDIR ? QStringLiteral("local folder is a link or a file")
                                    : QStringLiteral("local folder not made");
            folders_.insert(folder, *why);
        }
        return opened;
    }

    bool importOne(Pending &item) {
        const QString &relative = item.relative;
        const auto [folderPart, name] = splitRelative(relative);
        // The files' paths name them in reports; they are read and written through `folder`.
        const QString to = FileManager::appendingPathComponent(localPath_, relative);
        QString why;
        const cvx::OpenFolder folder = localFolder(folderPart, &why);
        if (!why.isNull()) {
            skip(relative, why);
            return true;
        }
        if (item.check) {
            const Entry local = folder.entry(name);
            if (local == Entry::Link) {
                skip(relative, QStringLiteral("local file is a link"));
                return true;
            }
            if (local != Entry::Missing)
                return saveCheck(folder, name, to, item.checkBytes,
                                 FileManager::appendingPathComponent(sourcePath_, relative));
            return item.checkBytes && folder.writeAtomically(name, *item.checkBytes, kDeferred);
        }
        using R = UsbUtils::ConvertResult;
        switch (UsbUtils::saveConverted(std::move(item.converted), folder, name, to, kDeferred)) {
            case R::Written:
                return true;
            case R::NothingToRead:
                skip(relative, QStringLiteral("unreadable"));
                return true;
            case R::LocalUnreadable:
                skip(relative, QStringLiteral("local file unreadable"));
                return true;
            case R::CalculationFailed:
                skip(relative, QStringLiteral("calculation ranges unreadable"));
                return true;
            case R::WriteFailed:
                skip(relative, QStringLiteral("not written"));
                return true;
            case R::LocalIsLink:
                skip(relative, QStringLiteral("local file is a link"));
                return true;
        }
        return true;
    }

    // Merges the imported check-measurement file into the local one in `folder`, as
    // DataImport::saveCheckDataPath does.
    static bool saveCheck(const cvx::OpenFolder &folder, const QString &name, const QString &to,
                          const std::optional<QByteArray> &imported, const QString &from) {
        std::lock_guard lock(SettingsFiles::writeMutex());
        const std::optional<XmlDocument> local = SettingsFiles::toRewrite(
            UsbUtils::documentToRewrite(folder.readFile(name), to), SettingsFiles::kDataRoot);
        if (!local) return false;
        const std::optional<QByteArray> bytes =
            mergedCheck(*local, UsbUtils::documentToRewrite(imported, from)).toBytes();
        return bytes && folder.writeAtomically(name, *bytes, kDeferred);
    }

    // The imported settings file when it is a plain file; null otherwise.
    QString imported(const QString &name) const {
        const QString path = FileManager::appendingPathComponent(chosen_, name);
        return isPlainFile(path) ? path : QString();
    }

    bool importSettings() {
        bool ok = true;
        bool nothingFound = false;

        const QString comment = imported(QStringLiteral("Comment.xml"));
        if (!comment.isNull()) {
            if (cancelled()) return true;
            ok = AddTabData::addTabDataFromPath(comment) && AddTabData::addTotalDataFromPath(comment) && ok;
        } else {
            nothingFound = true;
        }

        const QString his = imported(QStringLiteral("HisSetting.xml"));
        if (!his.isNull()) {
            if (cancelled()) return true;
            ok = AddTabData::addHisDataFromPath(his) && ok;
            nothingFound = false;
        }

        const QString mode = imported(QStringLiteral("ModeSetting.xml"));
        if (!mode.isNull()) {
            if (cancelled()) return true;
            ok = takeMode(mode) && ok;
            nothingFound = false;
        }

        const QString transfer = imported(QStringLiteral("DataTransfer.xml"));
        if (!transfer.isNull()) {
            if (cancelled()) return true;
            // A file of another kind would give the link no folders, and no writer would take it.
            const std::optional<XmlDocument> doc =
                SettingsFiles::loadToRewrite(transfer, SettingsFiles::kDataRoot);
            ok = doc && save(*doc, QStringLiteral("DataTransfer.xml")) && ok;
            nothingFound = false;
        }

        const QString usb = imported(QStringLiteral("USBSetting.xml"));
        if (!usb.isNull()) {
            if (cancelled()) return true;
            std::optional<XmlDocument> doc = SettingsFiles::loadToRewrite(usb, SettingsFiles::kDataRoot);
            if (doc && doc->firstNodeForXPath(QStringLiteral("/DATA/Timeout")).isNull())
                doc->rootElement().appendElement(QStringLiteral("Timeout"), QStringLiteral("10000"));
            ok = doc && save(*doc, QStringLiteral("USBSetting.xml")) && ok;
        } else if (nothingFound) {
            ok = false;
        }
        return ok;
    }

    bool takeMode(const QString &path) {
        const std::optional<XmlDocument> theirs = SettingsFiles::load(path);
        const auto first = [&theirs](const QString &xpath) {
            const XmlElement node = theirs ? theirs->firstNodeForXPath(xpath) : XmlElement();
            return node.isNull() ? QStringLiteral("0") : node.stringValue();
        };
        const QString mode = first(QStringLiteral("/DATA/MODE"));
        const QString deleteBld = first(QStringLiteral("/DATA/DeleteBLD"));

        const std::optional<QByteArray> bytes =
            FileManager::readFile(cvx::Bundle::pathForResource(QStringLiteral("ModeSetting.xml")));
        if (!bytes) return false;
        std::optional<XmlDocument> ours = XmlDocument::fromBytes(*bytes, XmlDocument::Option::Tidy);
        if (!ours) return false;
        XmlElement modeNode = ours->firstNodeForXPath(QStringLiteral("/DATA/MODE"));
        XmlElement bldNode = ours->firstNodeForXPath(QStringLiteral("/DATA/DeleteBLD"));
        modeNode.setStringValue(mode);
        bldNode.setStringValue(deleteBld);
        return save(*ours, QStringLiteral("ModeSetting.xml"));
    }

    bool save(const XmlDocument &doc, const QString &name) {
        // Flushed with the patient files before the import counts as done.
        return doc.save(dataPath(name), nullptr, kDeferred);
    }

    DataImport::Outcome finish(bool ok) {
        DataImport::Outcome out;
        out.cancelled = cancelled();
        out.signResult = ok ? DataJobs::kSuccess : DataJobs::kImportFailed;
        out.alertStr = ok ? QStringLiteral("インポートは成功しました。")
                          : QStringLiteral("インポート対象ファイルがありません。");
        if (hasCustomer_)
            out.fileList = QStringList{QStringLiteral("Customer")} + localListing(UsbUtils::customerFolder());
        out.skipped = skipped_;
        if (!skipped_.isEmpty())
            DataJobs::transferLog(
                QStringLiteral("Import: %1 patient file(s) skipped: %2")
                    .arg(QString::number(skipped_.size()), skipped_.join(QStringLiteral("; "))));
        return out;
    }

    const QString chosen_;
    const DataJobs::CancelFlag *isCancel_;
    bool hasCustomer_ = false;
    cvx::OpenFolder local_;  // the local Customer folder
    QString localPath_;      // its path, and the imported one's, to name files in reports
    QString sourcePath_;
    QHash<QString, QString> folders_;  // local folders refused, with the reason
    QStringList skipped_;
};

}  // namespace

bool DataImport::saveCheckDataPath(const QString &localPath, const QString &importedPath,
                                   cvx::Durability durability) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    std::optional<XmlDocument> local = UsbUtils::patientFileToRewrite(localPath);
    if (!local) return false;
    return mergedCheck(*local, XmlDocument::fromFileToRewrite(importedPath))
        .save(localPath, nullptr, durability);
}

DataImport::Outcome DataImport::importDataFolder(const QString &chosenFolder,
                                                 const DataJobs::CancelFlag *isCancel) {
    return Importer(chosenFolder, isCancel).run();
}

void DataImport::start(const QString &chosenFolder, std::shared_ptr<DataJobs::CancelFlag> isCancel,
                       std::function<void(const Outcome &)> completion) {
    cvx::Dispatch::globalAsync([chosenFolder, isCancel, completion] {
        const Outcome outcome = importDataFolder(chosenFolder, isCancel.get());
        cvx::Dispatch::mainAsync([completion, outcome] {
            if (completion) completion(outcome);
        });
    });
}

void DataImport::setAfterFileHookForTesting(std::function<void(const QString &name)> hook) {
    afterFileHook() = std::move(hook);
}
