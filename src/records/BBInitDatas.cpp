#include "records/BBInitDatas.h"

#include <QVariant>
#include <QVariantList>

#include <array>

#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "records/SettingsFiles.h"

namespace {

const QString kDataPrefix = QStringLiteral("data");
const QString kTotalKey = QStringLiteral("total");
const QString kTotalTitle = QStringLiteral("TotalComment");
const QString kTotalType = QStringLiteral("0");

constexpr int kItemCount = 7;
constexpr int kLevelCount = 3;

struct KeyRow {
    const char *key;
    const char *title;
    const char *type;
};

// Item by item in item order, each from the high level (index 0) to the low one (index 2);
// the level index is always 2 minus the type.
// clang-format off
constexpr std::array<KeyRow, kItemCount * kLevelCount> kKeyRows{{
    {"ms0", "MS", "2"},   {"ms1", "MS", "1"},   {"ms2", "MS", "0"},
    {"ph0", "pH", "2"},   {"ph1", "pH", "1"},   {"ph2", "pH", "0"},
    {"bfc2", "BFC", "2"}, {"bfc1", "BFC", "1"}, {"bfc0", "BFC", "0"},
    {"bld0", "BLD", "2"}, {"bld1", "BLD", "1"}, {"bld2", "BLD", "0"},
    {"leu0", "LEU", "2"}, {"leu1", "LEU", "1"}, {"leu2", "LEU", "0"},
    {"alb0", "ALB", "2"}, {"alb1", "ALB", "1"}, {"alb2", "ALB", "0"},
    {"nh30", "NH3", "2"}, {"nh31", "NH3", "1"}, {"nh32", "NH3", "0"},
}};
// clang-format on

QString commentPath() {
    return SettingsFiles::preparedPath(QStringLiteral("Comment.xml"));
}

bool matches(const cvx::XmlElement &list, const QString &title, const QString &type) {
    return list.hasAttribute(QStringLiteral("title")) && list.hasAttribute(QStringLiteral("type")) &&
           list.attribute(QStringLiteral("title")) == title && list.attribute(QStringLiteral("type")) == type;
}

// Every list of the file by its title and type, as a read gives it (the later of two with the
// same pair).
using ListsByTitle = QMap<std::pair<QString, QString>, QStringList>;
ListsByTitle listsIn(const cvx::XmlElement &root) {
    ListsByTitle lists;
    for (const cvx::XmlElement &list : root.elements()) {
        if (list.hasAttribute(QStringLiteral("title")) && list.hasAttribute(QStringLiteral("type")))
            lists.insert({list.attribute(QStringLiteral("title")), list.attribute(QStringLiteral("type"))},
                         SettingsFiles::numberedTexts(list, kDataPrefix));
    }
    return lists;
}

void replaceChoice(QVariantList &items, int item, int level, const QVariant &value) {
    QVariantList levels = items.at(item).toList();
    levels[level] = value;
    items[item] = levels;
}

}  // namespace

QVariantList BBInitDatas::paddedChoices(const QString &key, const QVariant &blank) {
    QVariantList items = cvx::UserDefaults::standard().arrayForKey(key);
    while (items.size() < kItemCount) items.append(QVariant(QVariantList()));
    for (QVariant &item : items) {
        QVariantList levels = item.toList();
        while (levels.size() < kLevelCount) levels.append(blank);
        item = levels;
    }
    return items;
}

cvx::Calendar BBInitDatas::getCalendar() {
    return cvx::Calendar::application();
}

const QStringList &BBInitDatas::listKeys() {
    static const QStringList keys = [] {
        QStringList all;
        for (const KeyRow &row : kKeyRows) all.append(QString::fromLatin1(row.key));
        return all;
    }();
    return keys;
}

std::optional<BBInitDatas::ListKey> BBInitDatas::listKey(const QString &key) {
    for (size_t i = 0; i < kKeyRows.size(); ++i) {
        if (key != QLatin1String(kKeyRows[i].key)) continue;
        return ListKey{QString::fromLatin1(kKeyRows[i].title), QString::fromLatin1(kKeyRows[i].type),
                       int(i) / kLevelCount, int(i) % kLevelCount};
    }
    return std::nullopt;
}

BBInitDatas::Lists BBInitDatas::getTableDetail() {
    return BBInitDatas().readTableDetail();
}
BBInitDatas::Lists BBInitDatas::getTotal() {
    return BBInitDatas().readTotal();
}

bool BBInitDatas::setTableContent(const QStringList &texts, const QString &key) {
    return BBInitDatas().writeTableContent(texts, key);
}

bool BBInitDatas::setTotal(const QStringList &texts, const QString &key) {
    return BBInitDatas().writeTotal(texts, key);
}

bool BBInitDatas::deleteBlankData(const QStringList &texts, const QStringList &chkData, const QString &key) {
    return BBInitDatas().writeEditedList(texts, chkData, key);
}

const BBInitDatas::Lists &BBInitDatas::readTableDetail() {
    dic_ = Lists();
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(commentPath());
    if (!doc) return dic_;
    const ListsByTitle lists = listsIn(doc->rootElement());
    for (const KeyRow &row : kKeyRows) {
        const auto list = lists.constFind({QString::fromLatin1(row.title), QString::fromLatin1(row.type)});
        if (list != lists.cend()) dic_.insert(QString::fromLatin1(row.key), *list);
    }
    return dic_;
}

const BBInitDatas::Lists &BBInitDatas::readTotal() {
    dic_ = Lists();
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(commentPath());
    if (!doc) return dic_;
    const ListsByTitle lists = listsIn(doc->rootElement());
    const auto list = lists.constFind({kTotalTitle, kTotalType});
    if (list != lists.cend()) dic_.insert(kTotalKey, *list);
    return dic_;
}

bool BBInitDatas::replaceLists(const QList<Replacement> &replacements) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    const QString path = commentPath();
    std::optional<cvx::XmlDocument> doc = SettingsFiles::loadToRewrite(path, SettingsFiles::kCommentsRoot);
    if (!doc) return false;
    ListsByTitle saved = listsIn(doc->rootElement());
    for (const Replacement &r : replacements) {
        if (r.title.isNull()) continue;
        QList<cvx::XmlElement> lists;
        for (const cvx::XmlElement &list : doc->rootElement().elements())
            if (matches(list, r.title, r.type)) lists.append(list);
        if (lists.isEmpty()) continue;
        // A rewrite must not lose what the editor was never shown: the earlier of two lists
        // with the pair, or whatever a list holds besides its shown entries.
        if (lists.size() > 1 || !SettingsFiles::holdsOnlyShownEntries(lists.first(), kDataPrefix))
            return false;
        SettingsFiles::setNumberedTexts(lists.first(), kDataPrefix, r.texts);
        saved.insert({r.title, r.type}, SettingsFiles::asReadBack(r.texts));
    }
    // What is written reads back as saved, every other list and all else as it was; else the
    // file is left.
    const std::optional<SettingsFiles::Written> written = SettingsFiles::writtenReadingBack(*doc);
    if (!written || listsIn(written->read.rootElement()) != saved) return false;
    return SettingsFiles::write(*written, path);
}

bool BBInitDatas::writeTableContent(const QStringList &texts, const QString &key) {
    const std::optional<ListKey> row = listKey(key);
    return replaceLists({row ? Replacement{row->title, row->type, texts} : Replacement{}});
}

bool BBInitDatas::setTableContents(const Lists &textsByKey) {
    QList<Replacement> replacements;
    for (auto it = textsByKey.cbegin(); it != textsByKey.cend(); ++it) {
        if (const std::optional<ListKey> row = listKey(it.key()))
            replacements.append({row->title, row->type, it.value()});
    }
    return BBInitDatas().replaceLists(replacements);
}

bool BBInitDatas::writeTotal(const QStringList &texts, const QString &key) {
    return replaceLists({key == kTotalKey ? Replacement{kTotalTitle, kTotalType, texts} : Replacement{}});
}

bool BBInitDatas::writeEditedList(const QStringList &texts, const QStringList &chkData, const QString &key) {
    QStringList keptTexts;
    QStringList keptFlags;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        if (texts.at(i).isEmpty()) continue;
        keptTexts.append(texts.at(i));
        keptFlags.append(i < chkData.size() ? chkData.at(i) : QStringLiteral("0"));
    }
    const std::optional<ListKey> row = listKey(key);
    if (!row) return false;

    // One lock over both keys and the file, so that two saves of different lists do not
    // lose each other's choice.
    std::lock_guard lock(SettingsFiles::writeMutex());
    // The flags are index-parallel to the list in the file: they follow a file that is there
    // only when it was written. Without a file they are kept all the same.
    const bool written = writeTableContent(keptTexts, key);
    if (!written && cvx::FileManager::fileExists(commentPath())) return false;
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();

    QVariantList signData = paddedChoices(QStringLiteral("zsignData"), QVariant(QVariantList()));
    replaceChoice(signData, row->item, row->level, QVariant(keptFlags));
    defaults.setObject(signData, QStringLiteral("zsignData"));

    QVariantList content = paddedChoices(QStringLiteral("zcontent"), QVariant(QStringLiteral("")));
    for (qsizetype i = 0; i < keptFlags.size(); ++i) {
        if (keptFlags.at(i) == QLatin1String("1"))
            replaceChoice(content, row->item, row->level, QVariant(keptTexts.at(i)));
    }
    defaults.setObject(content, QStringLiteral("zcontent"));
    return written;
}
