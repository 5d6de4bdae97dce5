#include "datamanage/DataExport.h"

#include <QDir>
#include <QFileInfo>
#include <QVariantList>

#include <mutex>

#include "platform/DateFormatter.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

using cvx::FileManager;

const QString kSelect = QStringLiteral("select");

// Gives the entry at the position of the first "1" of the flags select="1"; nothing when the
// flags hold no "1" or the list is shorter.
void markTicked(const cvx::XmlElement &list, const QStringList &flags) {
    const qsizetype ticked = flags.indexOf(QStringLiteral("1"));
    if (ticked < 0) return;
    // The flags run parallel to the entries, which a comment between them does not shift.
    const QList<cvx::XmlElement> entries = list.elements();
    if (ticked < entries.size())
        cvx::XmlElement(entries.at(ticked)).setAttribute(kSelect, QStringLiteral("1"));
}

QStringList texts(const QVariant &value) {
    QStringList out;
    for (const QVariant &entry : value.toList()) out.append(entry.toString());
    return out;
}

// The "zsignData" flags of the stock-comment list at `position` among the root's children.
// A list that names its item and level by `title` and `type` takes that slot, so that the
// import finds the tick on the same list whatever the order of the file; otherwise the order
// of the file the application carries decides.
QStringList stockFlags(const cvx::XmlElement &list, int position, const QVariantList &signData) {
    int item = position / 3;
    int level = position >= 3 && position <= 5 ? position % 3 : 2 - position % 3;
    for (const QString &key : BBInitDatas::listKeys()) {
        const auto row = BBInitDatas::listKey(key);
        if (row->title == list.attribute(QStringLiteral("title")) &&
            row->type == list.attribute(QStringLiteral("type"))) {
            item = row->item;
            level = row->level;
            break;
        }
    }
    if (item >= signData.size()) return {};
    const QVariantList levels = signData.at(item).toList();
    return level < levels.size() ? texts(levels.at(level)) : QStringList();
}

bool isTarget(const QString &name) {
    return name.size() >= 4 && name.endsWith(QLatin1String(".xml"));
}

// The copy is flushed to disk once, when the export stands, not file by file.
constexpr cvx::Durability kDeferred = cvx::Durability::Deferred;

// The data folder copied whole, except that a patient file that cannot be copied is left out
// and named in `skipped` rather than failing the copy of every other one. The running
// program's lock file stays behind: the copy is no program's data folder. So do the
// temporary files of writes, which are no data, in Customer's subfolders too. A pipe, socket
// or device fails the copy, named in `why`, unless it bears a patient file's name.
bool copyDataFolder(const QString &source, const QString &target, QStringList &skipped, QString &why) {
    if (!QDir().mkdir(target)) return false;
    const QString customer = QStringLiteral("Customer");
    const QString lockFile = FileManager::lastPathComponent(SettingsFiles::lockFilePath());
    for (const QString &name : FileManager::contentsOfDirectory(source)) {
        const QString from = FileManager::appendingPathComponent(source, name);
        if (name == lockFile || SettingsFiles::isWriteLeftover(from)) continue;
        const QString to = FileManager::appendingPathComponent(target, name);
        if (name != customer || !FileManager::isDirectory(from) || QFileInfo(from).isSymLink()) {
            if (!FileManager::copyItem(from, to, kDeferred, nullptr, &why)) return false;
            continue;
        }
        if (!QDir().mkdir(to)) return false;
        for (const QString &entry : FileManager::contentsOfDirectory(from)) {
            const QString original = FileManager::appendingPathComponent(from, entry);
            if (SettingsFiles::isWriteLeftover(original)) continue;
            const QString file = FileManager::appendingPathComponent(to, entry);
            if (FileManager::copyItem(original, file, kDeferred, &SettingsFiles::isWriteLeftover, &why))
                continue;
            if (!isTarget(entry)) return false;
            why.clear();
            FileManager::removeItem(file);
            skipped.append(entry);
        }
    }
    return true;
}

// An export that was killed leaves its hidden folders beside the target: the copy it was
// making, or an earlier export it had put aside. The copy goes; an earlier export whose place
// is still free is put back, one that was replaced goes too.
void removeLeftovers(const QString &chosenFolder) {
    for (const QString &name : FileManager::contentsOfDirectory(chosenFolder)) {
        const QString old = FileManager::stagedName(name, QStringLiteral("old"));
        const QString target = old.isNull() ? FileManager::stagedName(name) : old;
        if (!target.startsWith(QStringLiteral("唾液検査結果データ"))) continue;
        const QString path = FileManager::appendingPathComponent(chosenFolder, name);
        const QFileInfo info(path);
        if (info.isSymLink() || !info.isDir()) continue;
        const QString place = FileManager::appendingPathComponent(chosenFolder, target);
        if (!old.isNull() && !QFileInfo(place).exists() && !QFileInfo(place).isSymLink() &&
            FileManager::moveItem(path, place))
            continue;
        FileManager::removeItem(path);
    }
}

// A copy that cannot be read, or only with replacement characters, or with a character that no
// write may keep, goes out as it is: its ticks are left unmarked rather than its bytes that are
// no text lost, or the export failed.
bool readableCopy(const std::optional<cvx::XmlDocument> &doc) {
    return doc && !doc->hasReplacedBytes() && doc->holdsOnlyXmlText();
}

}  // namespace

QString DataExport::exportFolderName(const QDateTime &now) {
    return QStringLiteral("唾液検査結果データ") +
           cvx::DateFormatter(QStringLiteral("yyyy年MM月dd日")).stringFromDate(now);
}

bool DataExport::updateCommentXml(const QString &path) {
    if (!FileManager::fileExists(path)) return true;
    std::optional<cvx::XmlDocument> doc = SettingsFiles::load(path);
    if (!readableCopy(doc)) return true;
    const cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    const QList<cvx::XmlElement> lists = doc->rootElement().elements();
    if (lists.isEmpty()) return true;
    if (lists.size() != 1) {
        const QVariantList signData = defaults.arrayForKey(QStringLiteral("zsignData"));
        for (int i = 0; i < lists.size() - 1; ++i)
            markTicked(lists.at(i), stockFlags(lists.at(i), i, signData));
    }
    markTicked(lists.last(), defaults.stringArrayForKey(QStringLiteral("ztotAry")));
    return doc->save(path, nullptr, cvx::Durability::Deferred);
}

bool DataExport::updateHisSettingXml(const QString &path) {
    if (!FileManager::fileExists(path)) return true;
    std::optional<cvx::XmlDocument> doc = SettingsFiles::load(path);
    if (!readableCopy(doc)) return true;
    const cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    for (const cvx::XmlElement &list : doc->rootElement().elements()) {
        const bool hospital = list.attribute(QStringLiteral("name")) == QLatin1String("hospital");
        markTicked(list,
                   defaults.stringArrayForKey(hospital ? QStringLiteral("hos1") : QStringLiteral("hos2")));
    }
    return doc->save(path, nullptr, cvx::Durability::Deferred);
}

bool DataExport::updateCustomer(const QString &folder, QStringList *skipped) {
    return stripBld(folder, QString(), skipped);
}

// Patient files also stand in Customer's subfolders (an imported folder keeps its own), and
// they must not carry the values the six-item mode withholds either. A linked folder is not
// walked: the copy holds none, and nothing outside it is changed.
bool DataExport::stripBld(const QString &folder, const QString &relative, QStringList *skipped) {
    for (const QString &name : FileManager::contentsOfDirectory(folder)) {
        const QString path = FileManager::appendingPathComponent(folder, name);
        const QString shown = relative.isEmpty() ? name : relative + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink()) {
            if (!stripBld(path, shown, skipped)) return false;
            continue;
        }
        if (!isTarget(name)) continue;
        std::optional<cvx::XmlDocument> doc = cvx::XmlDocument::fromFileToRewrite(path);
        if (!doc || !doc->holdsOnlyXmlText()) {
            // Left in the copy it would carry the BLD values that the six-item mode withholds.
            if (!skipped || !FileManager::removeItem(path)) return false;
            skipped->append(shown);
            continue;
        }
        const QList<cvx::XmlElement> results = doc->rootElement().elements();
        for (const cvx::XmlElement &result : results) {
            for (cvx::XmlElement child : result.elements()) {
                const QString n = child.name();
                if (n == QLatin1String("BLD") || n == QLatin1String("DataValue4") ||
                    n == QLatin1String("Content4"))
                    cvx::XmlElement(result).removeChild(child);
            }
        }
        if (doc->rootElement().childCount() > 0 && !doc->save(path, nullptr, cvx::Durability::Deferred))
            return false;
    }
    return true;
}

DataExport::Outcome DataExport::exportDataFolder(const QString &chosenFolder,
                                                 const DataJobs::CancelFlag *isCancel) {
    Outcome out;
    const QString source = SettingsFiles::dataFolder();
    out.folder = FileManager::appendingPathComponent(chosenFolder, exportFolderName());
    // A failed write is named in the transfer log; a refused folder is not a write.
    const auto fail = [&out](const QString &what = QString()) {
        out.isSucc = DataJobs::kExportFailed;
        if (!what.isEmpty()) DataJobs::transferLog(QStringLiteral("Export: ") + what);
        return out;
    };
    if (chosenFolder.isEmpty() || !FileManager::isDirectory(chosenFolder) ||
        !FileManager::isDirectory(source))
        return fail();
    // An export inside the data folder would copy the folder into itself.
    if (DataJobs::isInsideFolder(chosenFolder, source)) return fail();
    if (DataJobs::cancelled(isCancel)) {
        out.cancelled = true;
        return out;
    }
    removeLeftovers(chosenFolder);
    // Only the day's earlier export, a folder, is replaced: a file, link, pipe or anything else
    // under its name is the user's and stays.
    const auto otherThanAnExport = [&out] {
        const QFileInfo there(out.folder);
        return (there.exists() || there.isSymLink()) && (there.isSymLink() || !there.isDir());
    };
    if (otherThanAnExport())
        return fail(out.folder + QStringLiteral(" is not an earlier export and is kept"));

    const QString staging = FileManager::stagingPath(out.folder);
    QString failure;
    {
        // One consistent picture of the lists, the ticks and the patient files.
        std::lock_guard lock(SettingsFiles::writeMutex());
        const auto marked = [&](bool (*mark)(const QString &), const QString &name) {
            if (mark(FileManager::appendingPathComponent(staging, name))) return true;
            failure = name + QStringLiteral(" could not be written for ") + out.folder;
            return false;
        };
        QString why;
        // As the start-up's backup: a copy that cannot fit is not begun, rather than fill the
        // disk and give up.
        if (!FileManager::hasRoomFor(source, chosenFolder, nullptr, &why) ||
            !copyDataFolder(source, staging, out.skipped, why))
            failure = QStringLiteral("the data folder could not be copied for ") + out.folder +
                      (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
        else if (marked(&updateCommentXml, QStringLiteral("Comment.xml")))
            marked(&updateHisSettingXml, QStringLiteral("HisSetting.xml"));
    }
    if (failure.isEmpty() && UsbUtils::isDeleteBLD() &&
        !updateCustomer(FileManager::appendingPathComponent(staging, QStringLiteral("Customer")),
                        &out.skipped))
        failure = QStringLiteral("a patient file could not be written for ") + out.folder;
    if (!failure.isEmpty() || DataJobs::cancelled(isCancel)) {
        FileManager::removeItem(staging);
        if (!failure.isEmpty()) return fail(failure);
        out.cancelled = true;
        return out;
    }

    // The earlier export of the day is put aside, not deleted, until the new one stands.
    const QString aside = FileManager::stagingPath(out.folder, QStringLiteral("old"));
    const bool hadEarlier = FileManager::fileExists(out.folder);
    if (otherThanAnExport() || (hadEarlier && !FileManager::moveItem(out.folder, aside))) {
        FileManager::removeItem(staging);
        return fail(out.folder + QStringLiteral(" could not be replaced"));
    }
    if (!FileManager::moveItem(staging, out.folder)) {
        if (hadEarlier) FileManager::moveItem(aside, out.folder);
        FileManager::removeItem(staging);
        return fail(out.folder + QStringLiteral(" could not be replaced"));
    }
    if (hadEarlier) FileManager::removeItem(aside);
    if (!out.skipped.isEmpty()) {
        // The rest stands exported; what is missing from it is named, not passed over.
        out.isSucc = DataJobs::kExportFailed;
        DataJobs::transferLog(
            QStringLiteral("Export: %1 patient file(s) not exported: %2")
                .arg(QString::number(out.skipped.size()), out.skipped.join(QStringLiteral("; "))));
    }
    // The files changed in the copy were written without waiting for the disk.
    if (!FileManager::syncFileSystem(out.folder))
        return fail(out.folder + QStringLiteral(" could not be written to the disk"));
    return out;
}

void DataExport::start(const QString &chosenFolder, std::shared_ptr<DataJobs::CancelFlag> isCancel,
                       std::function<void(const Outcome &)> completion) {
    cvx::Dispatch::globalAsync([chosenFolder, isCancel, completion] {
        const Outcome outcome = exportDataFolder(chosenFolder, isCancel.get());
        cvx::Dispatch::mainAsync([completion, outcome] {
            if (completion) completion(outcome);
        });
    });
}
