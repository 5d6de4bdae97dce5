// Hospital and dentist lists, the update flag and the result listing of BBInitDatas.
#include <algorithm>

#include "platform/FileManager.h"
#include "platform/XmlRecovery.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

const QString kHospital = QStringLiteral("hospital");
const QString kDoctor = QStringLiteral("doctor");
const QString kAutoVersionUp = QStringLiteral("AutoVersionUp");

QString hisSettingPath() {
    return SettingsFiles::preparedPath(QStringLiteral("HisSetting.xml"));
}
QString commSettingPath() {
    return SettingsFiles::preparedPath(QStringLiteral("CommSetting.xml"));
}

// The group that a rewrite of the type's list replaces; null when there is none. Of repeated
// groups the reader shows the last, so that is the one written. A group without the type's name
// is not read as its list, so a list written there would never be read back.
cvx::XmlElement groupToRewrite(const cvx::XmlElement &root, const QString &type) {
    const QList<cvx::XmlElement> groups = root.elements();
    for (auto group = groups.crbegin(); group != groups.crend(); ++group) {
        if (group->attribute(QStringLiteral("name")) == type) return *group;
    }
    return {};
}

// The lists that the groups below the root hold, as the windows are offered them.
BBInitDatas::Lists listsIn(const cvx::XmlElement &root) {
    BBInitDatas::Lists lists;
    for (const cvx::XmlElement &group : root.elements()) {
        const QString name = group.attribute(QStringLiteral("name"));
        if (name == kHospital || name == kDoctor)
            lists.insert(name, SettingsFiles::numberedTexts(group, name));
    }
    return lists;
}

// The record of a patient without results: every field of a result "".
void blankResult(OCMCustomerComment &record) {
    const QString e = QStringLiteral("");
    record.setDate(e), record.setTime(e), record.setHospital(e), record.setDoctor(e);
    record.setSheetflg(e), record.setRemark(e), record.setTotalcomment(e), record.setRsvData(e);
    record.setDatavalue1(e), record.setDatavalue2(e), record.setDatavalue3(e), record.setDatavalue4(e);
    record.setDatavalue5(e), record.setDatavalue6(e), record.setDatavalue7(e);
    record.setMs(e), record.setPh(e), record.setBfc(e), record.setBld(e);
    record.setLeu(e), record.setAlb(e), record.setNh3(e);
    record.setContentMs(e), record.setContentPh(e), record.setContentBfc(e), record.setContentBld(e);
    record.setContentLeu(e), record.setContentAlb(e), record.setContentNh3(e);
}

QString sexWord(const QString &sex) {
    if (sex == QLatin1String("0")) return QStringLiteral("男");
    if (sex == QLatin1String("1")) return QStringLiteral("女");
    return QStringLiteral("");
}

}  // namespace

BBInitDatas::Lists BBInitDatas::getHospital() {
    return BBInitDatas().readHospital();
}

bool BBInitDatas::setHospital(const QStringList &names, const QString &type) {
    return BBInitDatas().writeHospital(names, type);
}

QList<OCMCustomerComment> BBInitDatas::getDatas(const QString &chartNo, bool isMode0) {
    return BBInitDatas().readDatas(chartNo, isMode0);
}

const BBInitDatas::Lists &BBInitDatas::readHospital() {
    dicHospital_ = Lists();
    if (const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(hisSettingPath()))
        dicHospital_ = listsIn(doc->rootElement());
    return dicHospital_;
}

bool BBInitDatas::writeHospital(const QStringList &names, const QString &type) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    const QString path = hisSettingPath();
    std::optional<cvx::XmlDocument> doc = SettingsFiles::loadToRewrite(path, SettingsFiles::kHisSettingRoot);
    if (!doc) return false;
    Lists saved = listsIn(doc->rootElement());
    if (type == kHospital || type == kDoctor) {
        cvx::XmlElement group = groupToRewrite(doc->rootElement(), type);
        // Nothing the editor did not show (the other list's entries, a group) is lost.
        if (group.isNull() || !SettingsFiles::holdsOnlyShownEntries(group, type)) return false;
        saved.insert(type, SettingsFiles::asReadBack(names));
        SettingsFiles::setNumberedTexts(group, type, names);
    }
    // What is written reads back as saved, the other list and all else as it was; else the
    // file is left.
    const std::optional<SettingsFiles::Written> written = SettingsFiles::writtenReadingBack(*doc);
    if (!written || listsIn(written->read.rootElement()) != saved) return false;
    return SettingsFiles::write(*written, path);
}

bool BBInitDatas::getAutoVersionUp() {
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(commSettingPath());
    if (!doc) return false;
    for (const cvx::XmlElement &flag : doc->rootElement().elements(kAutoVersionUp)) {
        if (flag.stringValue() == QLatin1String("1")) return true;
    }
    return false;
}

void BBInitDatas::setAutoVersionUp(bool flag) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    const QString path = commSettingPath();
    std::optional<cvx::XmlDocument> doc = SettingsFiles::loadToRewrite(path, SettingsFiles::kDataRoot);
    if (!doc) return;
    const QString text = flag ? QStringLiteral("1") : QStringLiteral("0");
    cvx::XmlElement root = doc->rootElement();
    const QList<cvx::XmlElement> flags = root.elements(kAutoVersionUp);
    for (cvx::XmlElement element : flags) element.setStringValue(text);
    if (flags.isEmpty()) root.appendElement(kAutoVersionUp, text);
    QString error;
    if (!doc->save(path, &error))
        AppDelegate::shared().errorLog(
            QStringLiteral("\nThe automatic update flag could not be stored: %1\n").arg(error));
}

const QList<OCMCustomerComment> &BBInitDatas::readDatas(const QString &chartNo, bool isMode0) {
    customerComments_.clear();
    cvx::FileManager::createDirectory(UsbUtils::customerFolder());
    // A refused chart number (hidden, leaving the folder, the check-measurement file)
    // names no patient file.
    const QString path = UsbUtils::getXmlPath(chartNo);
    if (path.isNull() || !cvx::FileManager::fileExists(path)) return customerComments_;

    OCMCustomerComment patient;
    patient.setZno(chartNo);
    QString sex;
    QList<cvx::XmlElement> results;
    if (const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(path)) {
        const cvx::XmlElement root = doc->rootElement();
        patient.setZname(root.attribute(QStringLiteral("name")));
        patient.setAge(root.attribute(QStringLiteral("age")));
        sex = root.attribute(QStringLiteral("sex"));
        results = root.elements();
    }
    patient.setZsex(sexWord(sex));

    for (qsizetype i = 0; i < results.size(); ++i) {
        OCMCustomerComment record = patient;
        record.setDate(results.at(i).attribute(QStringLiteral("date")));
        record.setTime(results.at(i).attribute(QStringLiteral("time")));
        findXML(results, record, i);
    }
    if (results.isEmpty() && !isMode0) {
        OCMCustomerComment blank = patient;
        blankResult(blank);
        customerComments_.append(blank);
    }
    return customerComments_;
}

void BBInitDatas::findXML(const QList<cvx::XmlElement> &elements, OCMCustomerComment &cust, qsizetype index) {
    UsbUtils::findXML(elements, cust, index);
    customerComments_.append(cust);
}
