#include "datamanage/AddTabData.h"

#include <QVariant>
#include <QVariantList>

#include <functional>

#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFiles.h"

namespace {

constexpr int kItemCount = 7;
constexpr int kLevelCount = 3;

const QString kSelect = QStringLiteral("select");

// Which list a root child of an imported file is, with the prefix of its entries; a null key
// for a child that is none.
struct ListMatch {
    QString key;
    QString prefix;
};
using Matcher = std::function<ListMatch(const cvx::XmlElement &)>;

AddTabData::Imported readLists(const QString &path, const Matcher &matcher) {
    AddTabData::Imported out;
    if (!cvx::FileManager::fileExists(path)) return out;
    out.exists = true;
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(path);
    if (!doc) return out;
    for (const cvx::XmlElement &list : doc->rootElement().elements()) {
        const ListMatch match = matcher(list);
        if (match.key.isNull()) continue;
        QStringList texts;
        for (const cvx::XmlElement &entry : SettingsFiles::numberedEntries(list, match.prefix)) {
            texts.append(entry.stringValue());
            if (entry.hasAttribute(kSelect)) out.select.insert(match.key, entry.stringValue());
        }
        out.lists.insert(match.key, texts);
    }
    return out;
}

QStringList flagsTicking(qsizetype length, qsizetype ticked) {
    QStringList flags;
    for (qsizetype i = 0; i < length; ++i)
        flags.append(i == ticked ? QStringLiteral("1") : QStringLiteral("0"));
    return flags;
}

QStringList texts(const QVariant &value) {
    QStringList out;
    for (const QVariant &entry : value.toList()) out.append(entry.toString());
    return out;
}

// A local file that the store can read: its failed write is a failed merge, where a missing
// file only leaves nothing to merge into.
bool localFileLoads(const QString &name) {
    return SettingsFiles::load(SettingsFiles::dataFolder() + QLatin1Char('/') + name).has_value();
}

}  // namespace

AddTabData::Imported AddTabData::getTableDetail(const QString &path) {
    return readLists(path, [](const cvx::XmlElement &list) {
        const QString title = list.attribute(QStringLiteral("title"));
        const QString type = list.attribute(QStringLiteral("type"));
        for (const QString &key : BBInitDatas::listKeys()) {
            const auto row = BBInitDatas::listKey(key);
            if (row && row->title == title && row->type == type)
                return ListMatch{key, QStringLiteral("data")};
        }
        return ListMatch{};
    });
}

AddTabData::Imported AddTabData::getTotal(const QString &path) {
    return readLists(path, [](const cvx::XmlElement &list) {
        if (list.attribute(QStringLiteral("title")) == QLatin1String("TotalComment") &&
            list.attribute(QStringLiteral("type")) == QLatin1String("0"))
            return ListMatch{QStringLiteral("total"), QStringLiteral("data")};
        return ListMatch{};
    });
}

AddTabData::Imported AddTabData::getHospital(const QString &path) {
    return readLists(path, [](const cvx::XmlElement &list) {
        const QString name = list.attribute(QStringLiteral("name"));
        if (name == QLatin1String("hospital") || name == QLatin1String("doctor"))
            return ListMatch{name, name};
        return ListMatch{};
    });
}

QStringList AddTabData::merged(const QStringList &local, const QStringList &imported) {
    QStringList out = local;
    for (const QString &text : imported) {
        if (!local.contains(text)) out.append(text);
    }
    return out;
}

void AddTabData::updateSelectItem(const QStringList &list, const QMap<QString, QString> &selectDic,
                                  const QString &nodeName, int nodeIndex, int currentIndex) {
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    qsizetype ticked = -1;
    QString chosen;
    if (selectDic.contains(nodeName)) {
        chosen = selectDic.value(nodeName);
        ticked = list.indexOf(chosen);
        if (ticked < 0) return;
    } else {
        const QVariantList items = defaults.arrayForKey(QStringLiteral("zsignData"));
        if (nodeIndex >= items.size()) return;
        const QVariantList levels = items.at(nodeIndex).toList();
        if (currentIndex >= levels.size()) return;
        ticked = texts(levels.at(currentIndex)).indexOf(QStringLiteral("1"));
        // A stale flag list longer than its list ticks nothing rather than a wrong entry.
        if (ticked < 0 || ticked >= list.size()) return;
    }

    QVariantList signData = BBInitDatas::paddedChoices(QStringLiteral("zsignData"), QVariant(QVariantList()));
    QVariantList levels = signData.at(nodeIndex).toList();
    levels[currentIndex] = QVariant(flagsTicking(list.size(), ticked));
    signData[nodeIndex] = levels;
    if (!chosen.isEmpty()) {
        QVariantList content =
            BBInitDatas::paddedChoices(QStringLiteral("zcontent"), QVariant(QStringLiteral("")));
        QVariantList contentLevels = content.at(nodeIndex).toList();
        contentLevels[currentIndex] = chosen;
        content[nodeIndex] = contentLevels;
        defaults.setObject(content, QStringLiteral("zcontent"));
    }
    defaults.setObject(signData, QStringLiteral("zsignData"));
}

void AddTabData::updateListSelectItem(const QStringList &list, const QMap<QString, QString> &selectDic,
                                      const QString &nodeName, const QString &saveKey) {
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    qsizetype ticked = -1;
    if (selectDic.contains(nodeName)) {
        ticked = list.indexOf(selectDic.value(nodeName));
    } else {
        ticked = defaults.stringArrayForKey(saveKey).indexOf(QStringLiteral("1"));
        if (ticked >= list.size()) return;
    }
    if (ticked < 0) return;
    const QString textKey = saveKey == QLatin1String("ztotAry") ? QStringLiteral("ztotal")
                            : saveKey == QLatin1String("hos1")  ? QStringLiteral("zhospital")
                                                                : QStringLiteral("zdoctor");
    defaults.setObject(list.at(ticked), textKey);
    defaults.setObject(flagsTicking(list.size(), ticked), saveKey);
    defaults.synchronize();
}

bool AddTabData::addTabDataFromPath(const QString &path) {
    const Imported imported = getTableDetail(path);
    const BBInitDatas::Lists local = BBInitDatas::getTableDetail();
    const bool fileThere = localFileLoads(QStringLiteral("Comment.xml"));
    BBInitDatas::Lists lists;
    for (const QString &key : BBInitDatas::listKeys())
        lists.insert(key, merged(local.value(key), imported.lists.value(key)));
    // One write of the file for all the lists.
    const bool written = BBInitDatas::setTableContents(lists);
    if (written) {
        for (const QString &key : BBInitDatas::listKeys()) {
            const auto row = BBInitDatas::listKey(key);
            updateSelectItem(lists.value(key), imported.select, key, row->item, row->level);
        }
    }
    cvx::UserDefaults::standard().synchronize();
    return written || !fileThere;
}

bool AddTabData::addTotalDataFromPath(const QString &path) {
    const Imported imported = getTotal(path);
    const QStringList list = merged(BBInitDatas::getTotal().value(QStringLiteral("total")),
                                    imported.lists.value(QStringLiteral("total")));
    if (!BBInitDatas::setTotal(list, QStringLiteral("total")))
        return !localFileLoads(QStringLiteral("Comment.xml"));
    updateListSelectItem(list, imported.select, QStringLiteral("total"), QStringLiteral("ztotAry"));
    return true;
}

bool AddTabData::addHisDataFromPath(const QString &path) {
    const Imported imported = getHospital(path);
    const BBInitDatas::Lists local = BBInitDatas::getHospital();
    bool ok = true;
    for (const auto &[type, saveKey] : {std::pair{QStringLiteral("hospital"), QStringLiteral("hos1")},
                                        std::pair{QStringLiteral("doctor"), QStringLiteral("hos2")}}) {
        const QStringList list = merged(local.value(type), imported.lists.value(type));
        if (!BBInitDatas::setHospital(list, type)) {
            ok = ok && !local.contains(type);
            continue;
        }
        updateListSelectItem(list, imported.select, type, saveKey);
    }
    return ok;
}
