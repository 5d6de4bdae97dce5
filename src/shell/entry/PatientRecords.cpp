#include "shell/entry/PatientRecords.h"

#include <QDir>
#include <QDirIterator>

#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace entry {

namespace {

const QString kCheckFileStem = QStringLiteral("Check_Measure_Result");
const QString kXmlExtension = QStringLiteral("xml");
const QString kXmlSuffix = QStringLiteral(".xml");

QString orEmpty(const QString &text) {
    return text.isNull() ? QStringLiteral("") : text;
}

std::optional<cvx::XmlDocument> readPatientFile(const QString &path) {
    return cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy);
}

const cvx::XmlDocument *orNull(const std::optional<cvx::XmlDocument> &doc) {
    return doc ? &*doc : nullptr;
}

// A non-empty typed name that the record's name holds (case counts); an empty one holds
// nothing.
bool holds(const QString &stored, const QString &typed) {
    return stored.contains(typed, Qt::CaseSensitive);
}

bool matchesNames(const OCMCustInfo &record, const QString &firstName, const QString &lastName) {
    if (!firstName.isEmpty() && !lastName.isEmpty())
        return holds(record.firstname(), firstName) && holds(record.lastname(), lastName);
    if (!firstName.isEmpty()) return holds(record.firstname(), firstName);
    if (!lastName.isEmpty()) return holds(record.lastname(), lastName);
    return false;
}

}  // namespace

bool isCheckMeasureResult(const QString &chartNo) {
    return chartNo.compare(kCheckFileStem, Qt::CaseInsensitive) == 0;
}

bool isRegistrableChartNumber(const QString &chartNo) {
    return !isCheckMeasureResult(chartNo) && UsbUtils::isSafeChartNumber(chartNo, true);
}

QString remarkKey(const QString &chartNo) {
    return chartNo + QStringLiteral("_remark");
}

void splitName(const QString &name, int mode, OCMCustInfo &record) {
    const QString whole = orEmpty(name);
    if (mode == 3 || mode == 4) {
        record.setFirstname(whole);
        return;
    }
    const QStringList parts = whole.split(u' ');
    record.setFirstname(parts.first());
    if (parts.size() >= 2) record.setLastname(parts.last());
}

QString getRemark(const cvx::XmlDocument *doc, const QString &customerNo) {
    QString remark;
    if (doc) {
        const QList<cvx::XmlElement> results = doc->rootElement().elements();
        if (!results.isEmpty() && results.first().name() == QStringLiteral("comment")) {
            const cvx::XmlElement child = results.first().firstElement(QStringLiteral("Remark"));
            if (!child.isNull()) remark = child.stringValue();
        }
    }
    if (!remark.isEmpty()) return remark;
    const QString stored = cvx::UserDefaults::standard().stringForKey(remarkKey(customerNo));
    return stored.isEmpty() ? QStringLiteral("") : stored;
}

OCMCustInfo recordFromFile(const cvx::XmlDocument *doc, const QString &customerNo, int mode) {
    OCMCustInfo record;
    record.setCustomerNo(customerNo);
    if (doc) {
        const cvx::XmlElement root = doc->rootElement();
        splitName(root.attribute(QStringLiteral("name")), mode, record);
        record.setBirthday(orEmpty(root.attribute(QStringLiteral("birthday"))));
        record.setAge(orEmpty(root.attribute(QStringLiteral("age"))));
        record.setSex(orEmpty(root.attribute(QStringLiteral("sex"))));
    }
    record.setRemark(getRemark(doc, customerNo));
    return record;
}

bool isSearchEmpty(const QString &chartNo, const QString &firstName, const QString &lastName) {
    return NSStringExt::trim(chartNo).isEmpty() && NSStringExt::trim(firstName).isEmpty() &&
           NSStringExt::trim(lastName).isEmpty();
}

SearchResult searchPatients(const QString &chartNo, const QString &firstName, const QString &lastName,
                            int mode) {
    SearchResult result;
    if (isSearchEmpty(chartNo, firstName, lastName)) {
        result.message = QStringLiteral("W302");
        return result;
    }
    if (isCheckMeasureResult(chartNo)) {
        result.message = QStringLiteral("W301");
        return result;
    }

    const QString folder = UsbUtils::customerFolder();
    QStringList entries;
    QString hit;
    // Folders are told apart by the listing itself, not by a look at each entry.
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next().mid(folder.size() + 1);
        if (cvx::FileManager::pathExtension(entry) != kXmlExtension || entry == kCheckFileStem + kXmlSuffix)
            continue;
        entries.append(entry);
        const QString stem =
            cvx::FileManager::deletingPathExtension(cvx::FileManager::lastPathComponent(entry));
        if (!chartNo.isEmpty() && stem.compare(chartNo, Qt::CaseInsensitive) == 0) {
            hit = entry;
            break;
        }
    }

    if (!chartNo.isEmpty()) {
        if (hit.isNull()) {
            result.message = QStringLiteral("W301");
        } else {
            // The file found, under its own name: where case counts, the typed name would name
            // no file, or another patient's.
            const std::optional<cvx::XmlDocument> doc =
                readPatientFile(cvx::FileManager::appendingPathComponent(folder, hit));
            result.shown = recordFromFile(
                orNull(doc),
                cvx::FileManager::deletingPathExtension(cvx::FileManager::lastPathComponent(hit)), mode);
        }
    } else {
        for (const QString &entry : entries) {
            const QString path = cvx::FileManager::appendingPathComponent(folder, entry);
            OCMCustInfo record;
            record.setCustomerNo(entry.left(entry.size() - kXmlSuffix.size()));
            // Most files are no match, which the start of the file already tells.
            if (const auto head = cvx::XmlDocument::rootAttributesOfFile(path)) {
                splitName(cvx::attributeValue(*head, QStringLiteral("name")), mode, record);
                if (!matchesNames(record, firstName, lastName)) continue;
            }
            // A file gone since the listing reads as no file: no match.
            const std::optional<cvx::XmlDocument> doc = readPatientFile(path);
            if (doc) splitName(doc->rootElement().attribute(QStringLiteral("name")), mode, record);
            if (!doc || !matchesNames(record, firstName, lastName)) continue;
            result.userArray.append(recordFromFile(orNull(doc), record.customerNo(), mode));
        }
        if (result.userArray.isEmpty())
            result.message = QStringLiteral("W301");
        else
            result.shown = result.userArray.first();
    }

    cvx::FileManager::createDirectory(folder);
    return result;
}

QString storedChartNumber(const QString &chartNo) {
    const QString path = UsbUtils::getXmlPath(chartNo);
    if (path.isNull() || cvx::FileManager::fileExists(path)) return chartNo;
    QStringList names = cvx::FileManager::contentsOfDirectory(UsbUtils::customerFolder());
    names.sort();
    for (const QString &name : names) {
        if (cvx::FileManager::pathExtension(name) != kXmlExtension) continue;
        const QString stem = cvx::FileManager::deletingPathExtension(name);
        if (stem.compare(chartNo, Qt::CaseInsensitive) == 0 && UsbUtils::isSafeChartNumber(stem, true))
            return stem;
    }
    return chartNo;
}

bool saveCustInfo(const OCMCustInfo &info, bool *writeFailed, cvx::Durability durability) {
    if (writeFailed) *writeFailed = false;
    const QString path = UsbUtils::getXmlPath(info.customerNo());
    if (path.isNull() || isCheckMeasureResult(info.customerNo())) return false;

    // The data-link import calls this from its worker thread while the link may store a result
    // into the same file: one lock from reading to writing keeps both.
    std::lock_guard lock(SettingsFiles::writeMutex());
    std::optional<cvx::XmlDocument> doc;
    const bool isNew = !cvx::FileManager::fileExists(path);
    if (!isNew) {
        doc = UsbUtils::patientFileToRewrite(path);
    } else {
        doc = cvx::XmlDocument::fromText(
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><DATA/>"),
            cvx::XmlDocument::Option::Tidy);
    }

    QString name = info.firstname() + u' ';
    if (!info.lastname().isEmpty()) name += info.lastname();
    if (doc) {
        // A character that XML cannot hold (pasted, or in an imported list) is left out, as the
        // patient's file then shows, rather than the patient not registered.
        const auto text = [](const QString &t) { return cvx::withoutNonXmlCharacters(t); };
        doc->rootElement().setAttributes({
            {QStringLiteral("name"), text(NSStringExt::trimRight(name))},
            {QStringLiteral("birthday"), text(NSStringExt::trim(info.birthday()))},
            {QStringLiteral("age"), text(NSStringExt::trim(info.age()))},
            {QStringLiteral("sex"), text(NSStringExt::trim(info.sex()))},
        });
    }

    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    defaults.setObject(NSStringExt::trim(info.remark()), remarkKey(NSStringExt::trim(info.customerNo())));
    // A single save is the patient entry's OK, whose remark default is written at once; a bulk
    // job leaves its defaults to the coalesced write.
    if (durability == cvx::Durability::Synced) defaults.flush();
    if (!doc) return false;
    const auto save = [&] {
        // Nothing there: the writer need not look at the place first. Something there after
        // all (a link to a missing file) takes the usual write, through the link.
        if (isNew) {
            const std::optional<QByteArray> bytes = doc->toBytes();
            const auto created = bytes ? cvx::FileManager::createAtomically(path, *bytes, durability)
                                       : cvx::FileManager::Created::Failed;
            if (created != cvx::FileManager::Created::AlreadyThere)
                return created == cvx::FileManager::Created::Written;
        }
        return doc->save(path, nullptr, durability);
    };
    bool written = save();
    // A new practice has no patient folder until its first patient.
    if (!written && !cvx::FileManager::isDirectory(UsbUtils::customerFolder()) &&
        cvx::FileManager::createDirectory(UsbUtils::customerFolder()))
        written = save();
    if (writeFailed) *writeFailed = !written;
    return written;
}

}  // namespace entry
