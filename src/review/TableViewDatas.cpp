#include "review/TableViewDatas.h"

#include <QVariant>
#include <QVariantList>

#include <mutex>

#include "platform/Dispatch.h"
#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFiles.h"

namespace {

const QString kTicked = QStringLiteral("1");
const QString kUnticked = QStringLiteral("0");
const QString kTotalKey = QStringLiteral("total");

constexpr int kLevelCount = 3;

struct LevelWords {
    const char16_t *high;
    const char16_t *low;
};

constexpr LevelWords kLevelWords[TableViewDatas::kItemCount] = {
    {u"多め", u"少なめ"}, {u"高め", u"低め"},   {u"強め", u"弱め"},   {u"多め", u"少なめ"},
    {u"多め", u"少なめ"}, {u"多め", u"少なめ"}, {u"多め", u"少なめ"},
};

bool isItem(int n) {
    return n >= 1 && n <= TableViewDatas::kItemCount;
}

bool isList(int n) {
    return n >= 1 && n <= TableViewDatas::kTotalList;
}

int digitOfKey(const QString &key) {
    return key.isEmpty() ? -1 : key.back().digitValue();
}

// Saves of "Comment.xml" and the choice keys queued from any screen run here, one at a time.
cvx::SerialQueue &saveQueue() {
    static cvx::SerialQueue queue;
    return queue;
}

// The rows that hold text, in order, and beside them the stored flag of each ("0" past the
// stored flags), so that a flag stays with its row when an empty row before it is dropped.
// Every such row is kept: a stored list may be longer than the add button lets the screen make
// one (an import's merge, the comment editor), and closing a pull-down must not shorten it.
std::pair<QStringList, QStringList> keptRows(const QStringList &rows, const QStringList &storedFlags) {
    std::pair<QStringList, QStringList> kept;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (rows.at(r).isEmpty()) continue;
        kept.first.append(rows.at(r));
        kept.second.append(storedFlags.value(r, QStringLiteral("0")));
    }
    return kept;
}

QStringList toStrings(const QVariantList &values) {
    QStringList texts;
    for (const QVariant &value : values) texts.append(value.toString());
    return texts;
}

// "zsignData"[item][level]; empty where the stored value is shorter.
QStringList storedSignFlags(int item, int level) {
    const QVariantList items = cvx::UserDefaults::standard().arrayForKey(QStringLiteral("zsignData"));
    if (item >= items.size()) return {};
    const QVariantList levels = items.at(item).toList();
    return level < levels.size() ? toStrings(levels.at(level).toList()) : QStringList();
}

// The stored flags extended with "0" to `count` entries.
QStringList extendedFlags(QStringList flags, qsizetype count) {
    while (flags.size() < count) flags.append(kUnticked);
    return flags;
}

void storeFlagsAndChoice(const QString &flagsKey, const QString &choiceKey, const QStringList &names,
                         const QString &chosen) {
    QStringList flags;
    for (const QString &name : names) flags.append(name == chosen ? kTicked : kUnticked);
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    defaults.setObject(flags, flagsKey);
    defaults.setObject(chosen, choiceKey);
    defaults.flush();
}

}  // namespace

TableViewDatas::TableViewDatas() {
    const BBInitDatas::Lists lists = BBInitDatas::getTableDetail();
    for (int n = 1; n <= kItemCount; ++n) {
        for (int level = 0; level < kLevelCount; ++level) {
            stored_[n - 1][level] = lists.value(keyOf(n, level));
        }
    }
}

int TableViewDatas::levelOfWord(int n, const QString &word) {
    if (!isItem(n)) return 1;
    if (word == QStringView(kLevelWords[n - 1].high)) return 0;
    if (word == QStringView(kLevelWords[n - 1].low)) return 2;
    return 1;
}

QString TableViewDatas::keyOf(int n, int level) {
    if (!isItem(n) || level < 0 || level >= kLevelCount) return QString();
    return BBInitDatas::listKeys().at((n - 1) * kLevelCount + level);
}

const QStringList &TableViewDatas::storedList(int n, int keyDigit) const {
    static const QStringList none;
    if (!isItem(n)) return none;
    for (int level = 0; level < kLevelCount; ++level) {
        if (digitOfKey(keyOf(n, level)) == keyDigit) return stored_[n - 1][level];
    }
    return none;
}

QStringList &TableViewDatas::shown(int n) {
    if (!isList(n)) n = 1;
    if (n <= kItemCount && shownLevel_[n - 1] >= 0) return stored_[n - 1][shownLevel_[n - 1]];
    return own_[n - 1];
}

QStringList &TableViewDatas::ticks(int n) {
    return ck_[isList(n) ? n - 1 : 0];
}

const QStringList &TableViewDatas::data(int n) const {
    return const_cast<TableViewDatas *>(this)->shown(n);
}

const QStringList &TableViewDatas::ck(int n) const {
    return const_cast<TableViewDatas *>(this)->ticks(n);
}

void TableViewDatas::matchTicks(int n) {
    QStringList &flags = ticks(n);
    const qsizetype rows = shown(n).size();
    flags = extendedFlags(flags.mid(0, rows), rows);
}

void TableViewDatas::setData8(const QStringList &texts) {
    own_[kTotalList - 1] = texts;
    matchTicks(kTotalList);
}

void TableViewDatas::getNineDadas(const QStringList &words) {
    for (int n = 1; n <= kItemCount; ++n) {
        const int level = levelOfWord(n, words.value(n - 1));
        shownLevel_[n - 1] = level;
        ck_[n - 1] = storedSignFlags(n - 1, level);
        matchTicks(n);
    }
}

void TableViewDatas::getCK(const QStringList &texts) {
    for (int n = 1; n <= kItemCount; ++n) {
        QStringList &rows = shown(n);
        QStringList &flags = ticks(n);
        const QString text = texts.value(n - 1, QStringLiteral(""));
        flags.clear();
        for (const QString &row : rows) flags.append(row == text ? kTicked : kUnticked);
        if (rows.size() < kMaxRows) {
            rows.append(QStringLiteral(""));
            flags.append(kUnticked);
        }
    }
}

void TableViewDatas::getTotal() {
    own_[kTotalList - 1] = BBInitDatas::getTotal().value(kTotalKey);
    ck_[kTotalList - 1].clear();
    matchTicks(kTotalList);
}

void TableViewDatas::getTOCK(const QString &total) {
    QStringList &rows = own_[kTotalList - 1];
    QStringList &flags = ck_[kTotalList - 1];
    flags.clear();
    for (const QString &row : rows) flags.append(row == total ? kTicked : kUnticked);
    if (rows.size() < kMaxRows) {
        rows.append(QStringLiteral(""));
        flags.append(kUnticked);
    }
}

void TableViewDatas::checkSele(int row, int sele, Table &table) {
    if (!isList(sele)) return;
    ifBlank_ = 0;
    matchTicks(sele);
    const QStringList &rows = shown(sele);
    QStringList &flags = ticks(sele);
    // The tick follows the text as stored before this scan: a row typed into since the last
    // scan counts as empty until it has been taken over.
    if (row >= 0 && row < rows.size()) {
        if (rows.at(row).isEmpty()) {
            flags[row] = kUnticked;
        } else {
            for (qsizetype r = 0; r < flags.size(); ++r) flags[r] = r == row ? kTicked : kUnticked;
        }
    }
    scan(sele, table);
}

void TableViewDatas::update(int sele, Table &table) {
    if (!isList(sele)) return;
    ifBlank_ = 0;
    scan(sele, table);
}

void TableViewDatas::scan(int n, Table &table) {
    QStringList &rows = shown(n);
    for (int r = 0; r < table.rowCount(); ++r) {
        const std::optional<QString> text = table.rowText(r);
        if (!text || text->isEmpty()) ifBlank_ = 1;
        array(rows, r, text);
    }
    table.setAddButtonHidden(ifBlank_ == 1 || rows.size() >= kMaxRows);
}

void TableViewDatas::addRow(int sele, Table &table) {
    if (isList(sele)) {
        matchTicks(sele);
        shown(sele).append(QStringLiteral(""));
        ticks(sele).append(kUnticked);
        table.reloadData();
    }
    update(sele, table);
}

void TableViewDatas::array(QStringList &list, qint64 index, const std::optional<QString> &text) {
    if (text && index >= 0 && index < list.size()) list[index] = *text;
}

QString TableViewDatas::getDataSeleRow(int sele) const {
    if (!isItem(sele)) return QStringLiteral("");
    const QStringList &rows = data(sele);
    const QStringList &flags = ck(sele);
    QString chosen = QStringLiteral("");
    for (qsizetype r = 0; r < rows.size() && r < flags.size(); ++r) {
        if (flags.at(r) == kTicked) chosen = rows.at(r);
    }
    return chosen;
}

void TableViewDatas::setAllTableXML(int seleCout) {
    if (!isItem(seleCout) || shownLevel_[seleCout - 1] < 0) return;
    // The key is the one the shown list came from, so a list is never stored under another
    // level; the rows are taken now, so later edits wait for the next save.
    const QString key = keyOf(seleCout, shownLevel_[seleCout - 1]);
    const QStringList rows = shown(seleCout);
    saveQueue().async([key, rows] {
        const std::optional<BBInitDatas::ListKey> place = BBInitDatas::listKey(key);
        if (!place) return;
        std::lock_guard lock(SettingsFiles::writeMutex());
        // The defaults stay with their rows (empty rows go, with their flags); the screen's
        // tick does not become one.
        BBInitDatas::deleteBlankData(rows, storedSignFlags(place->item, place->level), key);
        cvx::UserDefaults::standard().flush();
    });
}

void TableViewDatas::setTotals() {
    std::lock_guard lock(SettingsFiles::writeMutex());
    QStringList stored;
    for (const QString &flag : cvx::UserDefaults::standard().stringArrayForKey(QStringLiteral("ztotAry")))
        stored.append(flag == kTicked ? kTicked : kUnticked);
    const auto [kept, flags] = keptRows(own_[kTotalList - 1], stored);
    // Flags for a list the file does not hold would tick other entries than the user's.
    if (kept.isEmpty() || !BBInitDatas::setTotal(kept, kTotalKey)) return;
    saveCKAryAndData(flags, kept);
}

void TableViewDatas::saveCKAryAndData(const QStringList &flags, const QStringList &texts) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    // Flags stay parallel to the list; one beyond it names no text.
    const QStringList parallel = flags.mid(0, texts.size());
    defaults.setObject(parallel, QStringLiteral("ztotAry"));
    const qsizetype last = parallel.lastIndexOf(kTicked);
    if (last >= 0)
        defaults.setObject(texts.at(last), QStringLiteral("ztotal"));
    else if (!flags.contains(kTicked))
        defaults.setObject(QStringLiteral(""), QStringLiteral("ztotal"));
    defaults.flush();
}

void TableViewDatas::setHospitalFromData(const QStringList &names, const QString &chosen) {
    storeFlagsAndChoice(QStringLiteral("hos1"), QStringLiteral("zhospital"), names, chosen);
}

void TableViewDatas::setDoctorFromData(const QStringList &names, const QString &chosen) {
    storeFlagsAndChoice(QStringLiteral("hos2"), QStringLiteral("zdoctor"), names, chosen);
}

void TableViewDatas::waitForSaves() {
    saveQueue().waitForIdle();
}
