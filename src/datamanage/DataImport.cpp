#include "datamanage/DataImport.h"

#include <QFileInfo>
#include <QSet>
#include <QThreadPool>

#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <semaphore>

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

// A plain file: not a link, not a folder.
bool isPlainFile(const QString &path) {
    const QFileInfo info(path);
    return info.isFile() && !info.isSymLink();
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

// Why an imported Customer entry is not taken; null when it is.
QString refusal(const QString &relative, const QString &source) {
    if (relative.contains(QLatin1Char('/'))) return QStringLiteral("not directly in Customer");
    if (!isPlainFile(source)) return QStringLiteral("not a plain file");
    const QString base = FileManager::deletingPathExtension(relative);
    if (base != kCheckName && !UsbUtils::isSafeChartNumber(base, true))
        return QStringLiteral("not a chart number");
    return QString();
}

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
        // import counts as done.
        cvx::UserDefaults::standard().flush();
        if (ok && !cancelled() && !FileManager::syncFileSystem(data)) ok = false;
        // A patient file left out is a failure to report, not a success.
        return finish(ok && !cancelled() && skipped_.isEmpty());
    }

private:
    bool cancelled() const { return DataJobs::cancelled(isCancel_); }

    bool importCustomer() {
        const QString source = FileManager::appendingPathComponent(chosen_, QStringLiteral("Customer"));
        if (!FileManager::isDirectory(source)) return true;
        hasCustomer_ = true;
        const QString local = UsbUtils::customerFolder();
        if (!FileManager::createDirectory(local)) return false;

        QStringList paths;
        for (const QString &relative : FileManager::subpaths(source)) {
            if (cancelled()) return true;
            if (FileManager::pathExtension(relative) == QLatin1String("xml")) paths.append(relative);
        }
        // Reading and converting runs on every core a few files ahead; merging and writing
        // stays in order, one file at a time.
        std::deque<std::unique_ptr<Pending>> ahead;
        QThreadPool pool;  // made after `ahead` so that it is joined before `ahead` goes
        const qsizetype limit = 4 * std::max(1, pool.maxThreadCount());
        qsizetype next = 0;
        for (;;) {
            for (; next < paths.size() && ahead.size() < size_t(limit); ++next) {
                const QString &relative = paths[next];
                // Hidden files are the copying system's own (resource forks, trash), no patients.
                if (isHidden(relative)) continue;
                auto item = std::make_unique<Pending>();
                item->relative = relative;
                item->from = FileManager::appendingPathComponent(source, relative);
                item->to = FileManager::appendingPathComponent(local, relative);
                item->why = refusal(relative, item->from);
                item->check = FileManager::deletingPathExtension(relative) == kCheckName;
                if (item->why.isNull() && !item->check) {
                    Pending *p = item.get();
                    pool.start([p] {
                        p->converted = UsbUtils::convertImportedPath(p->from, p->to);
                        p->ready.release();
                    });
                } else {
                    item->ready.release();
                }
                ahead.push_back(std::move(item));
            }
            if (ahead.empty()) return true;
            const std::unique_ptr<Pending> item = std::move(ahead.front());
            ahead.pop_front();
            item->ready.acquire();  // before any return: its worker writes into it
            if (cancelled()) return true;
            if (!item->why.isNull()) {
                skipped_.append(item->relative + QStringLiteral(": ") + item->why);
                continue;
            }
            const QString &to = item->to;
            // A link in our own folder is not followed: the save would write through it.
            if (QFileInfo(to).isSymLink()) {
                skipped_.append(item->relative + QStringLiteral(": local file is a link"));
                continue;
            }
            {
                // Held file by file: a measurement stored meanwhile waits for one file, not
                // for the whole import.
                std::lock_guard lock(SettingsFiles::writeMutex());
                if (!importOne(*item, to)) return false;
            }
            if (afterFileHook()) afterFileHook()(item->relative);
        }
    }

    struct Pending {
        QString relative;
        QString from;
        QString to;
        QString why;  // null when taken
        bool check = false;
        UsbUtils::ConvertedFile converted;
        std::binary_semaphore ready{0};
    };

    bool importOne(Pending &item, const QString &to) {
        const QString &name = item.relative;
        const QString &from = item.from;
        if (item.check) {
            if (FileManager::fileExists(to)) return DataImport::saveCheckDataPath(to, from, kDeferred);
            const std::optional<QByteArray> bytes = FileManager::readFile(from);
            return bytes && FileManager::writeAtomically(to, *bytes, kDeferred);
        }
        using R = UsbUtils::ConvertResult;
        switch (UsbUtils::saveConverted(std::move(item.converted), to, kDeferred)) {
            case R::Written:
                return true;
            case R::NothingToRead:
                skipped_.append(name + QStringLiteral(": unreadable"));
                return true;
            case R::LocalUnreadable:
                skipped_.append(name + QStringLiteral(": local file unreadable"));
                return true;
            case R::CalculationFailed:
                skipped_.append(name + QStringLiteral(": calculation ranges unreadable"));
                return true;
            case R::WriteFailed:
                skipped_.append(name + QStringLiteral(": not written"));
                return true;
        }
        return true;
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
            const std::optional<XmlDocument> doc = SettingsFiles::load(transfer);
            ok = doc && save(*doc, QStringLiteral("DataTransfer.xml")) && ok;
            nothingFound = false;
        }

        const QString usb = imported(QStringLiteral("USBSetting.xml"));
        if (!usb.isNull()) {
            if (cancelled()) return true;
            std::optional<XmlDocument> doc = SettingsFiles::load(usb);
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
        const QString path = dataPath(name);
        return doc.save(path);
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
    QStringList skipped_;
};

// The whole element as text, to tell results that stand identically in both files.
QString fingerprint(const XmlElement &element) {
    return element.toString();
}

}  // namespace

bool DataImport::saveCheckDataPath(const QString &localPath, const QString &importedPath,
                                   cvx::Durability durability) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    std::optional<XmlDocument> local = XmlDocument::fromFile(localPath, XmlDocument::Option::Tidy);
    if (!local || local->rootElement().isNull()) return false;
    const std::optional<XmlDocument> theirs = XmlDocument::fromFile(importedPath, XmlDocument::Option::Tidy);

    XmlElement root = local->rootElement();
    QList<XmlElement> all = root.elements();
    QSet<QString> seen;
    for (const XmlElement &result : all) seen.insert(fingerprint(result));
    if (theirs) {
        for (const XmlElement &result : theirs->rootElement().elements()) {
            if (!seen.contains(fingerprint(result))) all.append(result);
        }
    }
    XmlDocument merged = local->clone();
    XmlElement mergedRoot = merged.rootElement();
    mergedRoot.removeAllChildren();
    for (const XmlElement &result : UsbUtils::compareComment(all)) mergedRoot.insertCopy(0, result);
    return merged.save(localPath, nullptr, durability);
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
