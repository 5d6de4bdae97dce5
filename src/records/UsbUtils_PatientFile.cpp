// Reading, classifying and marking the patient files of the Customer folder.
#include <algorithm>

#include "platform/FileManager.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

const QString kCheckFileStem = QStringLiteral("Check_Measure_Result");
const QString kXmlSuffix = QStringLiteral(".xml");
constexpr qsizetype kMaxFileNameBytes = 255;

// A text that can round-trip through UTF-8 and holds nothing that a file system or a
// terminal would treat specially.
bool holdsUnsafeCharacter(const QString &text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) return true;
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()) return true;
            ++i;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

// The text of a child as a field: present means "", never null.
QString fieldText(const cvx::XmlElement &element) {
    const QString text = element.stringValue();
    return text.isNull() ? QStringLiteral("") : text;
}

using Setter = void (OCMCustomerComment::*)(const QString &);

struct ChildField {
    const char16_t *name;
    Setter setter;
};

// Plain fields; the comments are handled apart, each getting a text of its own.
const ChildField kChildFields[] = {
    {u"Hospital", &OCMCustomerComment::setHospital},
    {u"Doctor", &OCMCustomerComment::setDoctor},
    {u"SheetFlg", &OCMCustomerComment::setSheetflg},
    {u"Remark", &OCMCustomerComment::setRemark},
    {u"TotalComment", &OCMCustomerComment::setTotalcomment},
    {u"DataValue1", &OCMCustomerComment::setDatavalue1},
    {u"DataValue2", &OCMCustomerComment::setDatavalue2},
    {u"DataValue3", &OCMCustomerComment::setDatavalue3},
    {u"DataValue4", &OCMCustomerComment::setDatavalue4},
    {u"DataValue5", &OCMCustomerComment::setDatavalue5},
    {u"DataValue6", &OCMCustomerComment::setDatavalue6},
    {u"DataValue7", &OCMCustomerComment::setDatavalue7},
    {u"MS", &OCMCustomerComment::setMs},
    {u"pH", &OCMCustomerComment::setPh},
    {u"BFC", &OCMCustomerComment::setBfc},
    {u"BLD", &OCMCustomerComment::setBld},
    {u"LEU", &OCMCustomerComment::setLeu},
    {u"ALB", &OCMCustomerComment::setAlb},
    {u"NH3", &OCMCustomerComment::setNh3},
    {u"RsvData", &OCMCustomerComment::setRsvData},
};

using CommentField = QString &(OCMCustomerComment::*)();

const CommentField kCommentFields[] = {
    &OCMCustomerComment::contentMs,  &OCMCustomerComment::contentPh,  &OCMCustomerComment::contentBfc,
    &OCMCustomerComment::contentBld, &OCMCustomerComment::contentLeu, &OCMCustomerComment::contentAlb,
    &OCMCustomerComment::contentNh3,
};

std::optional<cvx::XmlDocument> loadTidy(const QString &path) {
    return cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy);
}

}  // namespace

bool UsbUtils::isSafeChartNumber(const QString &text, bool forPatientFile) {
    if (text.isEmpty() || text.startsWith(QLatin1Char('.'))) return false;  // also "." and ".."
    if (holdsUnsafeCharacter(text)) return false;
    if ((text + kXmlSuffix).toUtf8().size() > kMaxFileNameBytes) return false;
    if (forPatientFile && text.compare(kCheckFileStem, Qt::CaseInsensitive) == 0) return false;
    return true;
}

QString UsbUtils::customerFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix/Customer");
}

QString UsbUtils::getXmlPath(const QString &chartNo) {
    if (!isSafeChartNumber(chartNo, true)) return QString();
    return customerFolder() + QLatin1Char('/') + chartNo + kXmlSuffix;
}

QString UsbUtils::getCheckXmlPath() {
    return customerFolder() + QLatin1Char('/') + kCheckFileStem + kXmlSuffix;
}

std::optional<cvx::XmlDocument> UsbUtils::getCustomerXml(const QString &chartNo) {
    cvx::FileManager::createDirectory(customerFolder());
    const QString path = getXmlPath(chartNo);
    if (path.isNull() || !cvx::FileManager::fileExists(path)) return std::nullopt;
    return loadTidy(path);
}

std::optional<cvx::XmlDocument> UsbUtils::patientFileToRewrite(const QString &path) {
    return SettingsFiles::toRewrite(cvx::XmlDocument::fromFileToRewrite(path), SettingsFiles::kDataRoot);
}

OCMCustomerComment &UsbUtils::findXML(const QList<cvx::XmlElement> &list, OCMCustomerComment &cust,
                                      qsizetype index) {
    if (index < 0 || index >= list.size()) return cust;
    for (const cvx::XmlElement &child : list.at(index).elements()) {
        const QString name = child.name();
        bool matched = false;
        for (const ChildField &field : kChildFields) {
            if (name == QStringView(field.name)) {
                (cust.*field.setter)(fieldText(child));
                matched = true;
                break;
            }
        }
        if (matched || !name.startsWith(QLatin1String("Content")) || name.size() != 8) continue;
        const int n = name.at(7).unicode() - u'1';
        if (n < 0 || n > 6) continue;
        QString &comment = (cust.*kCommentFields[n])();
        comment = QStringLiteral("");
        comment.append(fieldText(child));
    }
    return cust;
}

OCMCustomerComment UsbUtils::getCustComment(const QList<cvx::XmlElement> &list, qsizetype index) {
    OCMCustomerComment cust;
    findXML(list, cust, index);
    return cust;
}

bool UsbUtils::savePrintInfo(const QString &chartNo, const QString &date, const QString &time) {
    cvx::FileManager::createDirectory(customerFolder());
    const QString path = getXmlPath(chartNo);
    std::lock_guard lock(SettingsFiles::writeMutex());
    if (path.isNull() || !cvx::FileManager::fileExists(path)) return false;
    std::optional<cvx::XmlDocument> doc = patientFileToRewrite(path);
    if (!doc) return false;
    for (const cvx::XmlElement &result : doc->rootElement().elements(QStringLiteral("comment"))) {
        if (result.attribute(QStringLiteral("date")) != date ||
            result.attribute(QStringLiteral("time")) != time)
            continue;
        // Looked up by name: in older layouts the third child holds other data.
        cvx::XmlElement flag = result.firstElement(QStringLiteral("SheetFlg"));
        if (!flag.isNull()) flag.setStringValue(QStringLiteral("済"));
        break;
    }
    return doc->save(path);
}

int UsbUtils::isOldData(const QString &path) {
    if (!cvx::FileManager::fileExists(path)) return 0;
    const std::optional<cvx::XmlDocument> doc = loadTidy(path);
    return doc ? layoutClass(*doc) : 0;
}

int UsbUtils::layoutClass(const cvx::XmlDocument &doc) {
    const cvx::XmlElement root = doc.rootElement();
    if (root.attributeCount() < 4) return 1;
    const QList<cvx::XmlElement> results = root.elements();
    if (results.isEmpty()) return 0;
    const QList<cvx::XmlElement> children = results.first().elements();
    if (children.isEmpty()) return 0;
    return children.last().name() == QLatin1String("RsvData") ? 2 : 0;
}

QList<cvx::XmlElement> UsbUtils::compareComment(const QList<cvx::XmlElement> &list) {
    QList<cvx::XmlElement> sorted = list;
    std::stable_sort(sorted.begin(), sorted.end(), [](const cvx::XmlElement &a, const cvx::XmlElement &b) {
        const int byDate =
            QString::compare(a.attribute(QStringLiteral("date")), b.attribute(QStringLiteral("date")));
        if (byDate != 0) return byDate < 0;
        return QString::compare(a.attribute(QStringLiteral("time")), b.attribute(QStringLiteral("time"))) < 0;
    });
    return sorted;
}
