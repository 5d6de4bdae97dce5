// Writing the result screen's choices into the shown result of the patient file.
#include "platform/FileManager.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"
#include "review/TableViewDatas.h"

namespace {

// Places in a result element as the store writes it.
constexpr int kHospitalPlace = 0;
constexpr int kDoctorPlace = 1;
constexpr int kTotalPlace = 4;
constexpr int kFirstContentPlace = 7;

// The child named `name`: the element at `place` when it has that name (the stored layout),
// else the first of that name; a new one at `place` (or at the end) when there is none.
void replaceChild(cvx::XmlElement &result, int place, const QString &name, const QString &text) {
    const QList<cvx::XmlElement> children = result.elements();
    cvx::XmlElement target = place < children.size() && children.at(place).name() == name
                                 ? children.at(place)
                                 : result.firstElement(name);
    int index;
    if (!target.isNull()) {
        index = target.index();
        result.removeChildAt(index);
    } else {
        index = place < children.size() ? children.at(place).index() : result.childCount();
    }
    result.insertElement(index, name, text);
}

// Changes every result of that date and time; false when there is none.
bool replaceInResults(cvx::XmlDocument &document, int place, const QString &name, const QString &text,
                      const QString &dateStr) {
    bool matched = false;
    for (cvx::XmlElement result : document.rootElement().elements()) {
        if (!result.hasAttribute(QStringLiteral("date")) || !result.hasAttribute(QStringLiteral("time")))
            continue;
        if (result.attribute(QStringLiteral("date")) + QLatin1Char(' ') +
                result.attribute(QStringLiteral("time")) !=
            dateStr)
            continue;
        replaceChild(result, place, name, text);
        matched = true;
    }
    return matched;
}

// Only a patient file of the Customer folder, as UsbUtils::getXmlPath names it, is written.
bool isPatientFilePath(const QString &path) {
    if (path.isEmpty()) return false;
    const QString chartNo =
        cvx::FileManager::deletingPathExtension(cvx::FileManager::lastPathComponent(path));
    return UsbUtils::getXmlPath(chartNo) == path;
}

bool writeChoice(std::optional<cvx::XmlDocument> &document, int place, const QString &name,
                 const QString &text, const QString &dateStr, const QString &path,
                 bool *writeFailed = nullptr) {
    if (writeFailed) *writeFailed = false;
    if (!isPatientFilePath(path)) return false;
    // The file is the truth: what the store or the sheet wrote since the screen read it stays.
    std::lock_guard lock(SettingsFiles::writeMutex());
    std::optional<cvx::XmlDocument> current;
    if (cvx::FileManager::fileExists(path)) {
        current = UsbUtils::patientFileToRewrite(path);
        if (!current) return false;  // never overwrite a file that could not be read
    } else if (document) {
        current = document->clone();
    } else {
        return false;
    }
    if (!replaceInResults(*current, place, name, text, dateStr)) return false;
    if (!current->save(path)) {
        if (writeFailed) *writeFailed = true;
        return false;
    }
    document = std::move(current);
    return true;
}

}  // namespace

bool TableViewDatas::setHospitalXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                                    const QString &dateStr, const QString &path, bool *writeFailed) {
    return writeChoice(document, kHospitalPlace, QStringLiteral("Hospital"), text, dateStr, path,
                       writeFailed);
}

bool TableViewDatas::setDoctorXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                                  const QString &dateStr, const QString &path, bool *writeFailed) {
    return writeChoice(document, kDoctorPlace, QStringLiteral("Doctor"), text, dateStr, path, writeFailed);
}

bool TableViewDatas::setTotalXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                                 const QString &dateStr, const QString &path) {
    return writeChoice(document, kTotalPlace, QStringLiteral("TotalComment"), text, dateStr, path);
}

bool TableViewDatas::setTabelXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                                 const QString &dateStr, const QString &path, int seleCount) {
    if (seleCount < 1 || seleCount > kItemCount) return false;
    return writeChoice(document, kFirstContentPlace + 3 * (seleCount - 1),
                       QStringLiteral("Content%1").arg(seleCount), text, dateStr, path);
}

std::optional<cvx::XmlDocument> TableViewDatas::bbgetXMLZ(const QString &chartNo) {
    return UsbUtils::getCustomerXml(chartNo);
}
