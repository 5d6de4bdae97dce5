#include "sheet/BBGetNewModel.h"

#include <mutex>

#include "platform/FileManager.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

using Getter = const QString &(OCMCustomerComment::*)() const;

struct ItemRow {
    const char16_t *name;
    Getter value;
    Getter word;
    const char16_t *average;
    Getter comment;
};

// Table by table, three rows each; the averages are the reference population's.
const ItemRow kTables[3][3] = {
    {{u"むし歯菌", &OCMCustomerComment::Datavalue1, &OCMCustomerComment::ms, u"平均値:37",
      &OCMCustomerComment::contentMs},
     {u"酸性度", &OCMCustomerComment::Datavalue2, &OCMCustomerComment::ph, u"平均値:43",
      &OCMCustomerComment::contentPh},
     {u"緩衝能", &OCMCustomerComment::Datavalue3, &OCMCustomerComment::bfc, u"平均値:36",
      &OCMCustomerComment::contentBfc}},
    {{u"潜血", &OCMCustomerComment::Datavalue4, &OCMCustomerComment::bld, u"平均値:22",
      &OCMCustomerComment::contentBld},
     {u"白血球", &OCMCustomerComment::Datavalue5, &OCMCustomerComment::leu, u"平均値:49",
      &OCMCustomerComment::contentLeu},
     {u"タンパク質", &OCMCustomerComment::Datavalue6, &OCMCustomerComment::alb, u"平均値:43",
      &OCMCustomerComment::contentAlb}},
    {{u"アンモニア", &OCMCustomerComment::Datavalue7, &OCMCustomerComment::nh3, u"平均値:53",
      &OCMCustomerComment::contentNh3},
     {},
     {}},
};

QString orEmpty(const QString &text) {
    return text.isNull() ? QStringLiteral("") : text;
}

// The chart position of a "value|position" pair; "" without a bar.
QString chartPosition(const QString &pair) {
    const qsizetype bar = pair.indexOf(QLatin1Char('|'));
    if (bar < 0) return QStringLiteral("");
    return orEmpty(pair.mid(bar + 1).section(QLatin1Char('|'), 0, 0));
}

QStringList nameParts(const cvx::XmlElement &root) {
    if (!root.hasAttribute(QStringLiteral("name"))) return {};
    const QString name = orEmpty(root.attribute(QStringLiteral("name")));
    const std::int32_t mode = UsbUtils::isHaveMODE();
    if (mode == 3 || mode == 4) return {name};
    return name.split(QLatin1Char(' '));
}

}  // namespace

QString BBGetNewModel::entry(const QStringList &column, qsizetype row) {
    if (row < 0 || row >= column.size()) return QStringLiteral("");
    return column.at(row);
}

void BBGetNewModel::getDatas(const QString &chartNo, const QString &dateStr) {
    customerComments_.clear();
    const std::optional<cvx::XmlDocument> doc = UsbUtils::getCustomerXml(chartNo);
    if (!doc) return;
    const cvx::XmlElement root = doc->rootElement();
    // Read before the results, so that a corrected name shows even on a file without them.
    nameStr_ = nameParts(root);

    const QList<cvx::XmlElement> results = root.elements();
    for (qsizetype i = 0; i < results.size(); ++i) {
        const QString date = results[i].attribute(QStringLiteral("date"));
        const QString time = results[i].attribute(QStringLiteral("time"));
        if (results.size() != 1 && date + QLatin1Char(' ') + time != dateStr) continue;
        OCMCustomerComment cust;
        cust.setDate(date);
        cust.setTime(time);
        findXML(results, cust, i);
    }
    if (customerComments_.isEmpty()) return;
    tabData_ = customerComments_.first();
    hasTabData_ = true;
    setData(tabData_);
}

void BBGetNewModel::findXML(const QList<cvx::XmlElement> &list, OCMCustomerComment &cust, qsizetype index) {
    UsbUtils::findXML(list, cust, index);
    customerComments_.append(cust);
}

void BBGetNewModel::setData(const OCMCustomerComment &record) {
    QStringList *columns[3][5] = {
        {&tab11_, &tab12_, &tab13a_, &tab13b_, &tab14_},
        {&tab21_, &tab22_, &tab23a_, &tab23b_, &tab24_},
        {&tab31_, &tab32_, &tab33a_, &tab33b_, &tab34_},
    };
    for (int table = 0; table < 3; ++table) {
        for (int column = 0; column < 5; ++column) columns[table][column]->clear();
        for (const ItemRow &row : kTables[table]) {
            const bool item = row.name != nullptr;
            columns[table][0]->append(item ? QString::fromUtf16(row.name) : QStringLiteral(""));
            columns[table][1]->append(item ? chartPosition((record.*row.value)()) : QStringLiteral(""));
            columns[table][2]->append(item ? orEmpty((record.*row.word)()) : QStringLiteral(""));
            columns[table][3]->append(item ? QString::fromUtf16(row.average) : QStringLiteral(""));
            columns[table][4]->append(item ? orEmpty((record.*row.comment)()) : QStringLiteral(""));
        }
    }
}

bool BBGetNewModel::setDatas(const QString &chartNo, const QString &dateStr, const QString &name) {
    customerComments_.clear();
    bool written = false;
    {
        std::lock_guard lock(SettingsFiles::writeMutex());
        const QString path = UsbUtils::getXmlPath(chartNo);
        std::optional<cvx::XmlDocument> doc;
        if (!path.isNull() && cvx::FileManager::fileExists(path)) doc = UsbUtils::patientFileToRewrite(path);
        if (doc) {
            cvx::XmlElement root = doc->rootElement();
            QList<cvx::XmlAttribute> attributes{{QStringLiteral("name"), NSStringExt::trimRight(name)}};
            for (const QString &key :
                 {QStringLiteral("birthday"), QStringLiteral("age"), QStringLiteral("sex")})
                if (root.hasAttribute(key)) attributes.append({key, root.attribute(key)});
            root.setAttributes(attributes);
            written = doc->save(path);
        }
    }
    getDatas(chartNo, dateStr);
    return written;
}
