#include "settings/ResultInitOne.h"

#include <QVariant>
#include <QVariantList>

#include <mutex>

#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFiles.h"
#include "settings/TickedList.h"

namespace {

const QString kSignData = QStringLiteral("zsignData");
const QString kContent = QStringLiteral("zcontent");
const QString kTicked = QStringLiteral("1");
const char *const kPrefixes[] = {"ms", "ph", "bfc", "bld", "leu", "alb", "nh3"};

QStringList toStrings(const QVariant &value) {
    QStringList texts;
    for (const QVariant &entry : value.toList()) texts.append(entry.toString());
    return texts;
}

}  // namespace

ResultInitOne::ResultInitOne() {
    const BBInitDatas::Lists lists = BBInitDatas::getTableDetail();
    for (int item = 1; item <= 7; ++item)
        for (int table = 1; table <= 3; ++table) data(item, table) = lists.value(keyOf(item, table));
}

QString ResultInitOne::keyOf(int item, int table) {
    if (!isItem(item) || !isTable(table)) return QString();
    return QLatin1String(kPrefixes[item - 1]) + QString::number(table - 1);
}

int ResultInitOne::slotOf(int item, int table) {
    const std::optional<BBInitDatas::ListKey> key = BBInitDatas::listKey(keyOf(item, table));
    return key ? key->level : -1;
}

QStringList &ResultInitOne::data(int item, int table) {
    if (!isItem(item) || !isTable(table)) return scratch_ = QStringList();
    return texts_[item - 1][table - 1];
}

QStringList &ResultInitOne::dataCHK(int item, int table) {
    if (!isItem(item) || !isTable(table)) return scratch_ = QStringList();
    return flags_[item - 1][table - 1];
}

const QStringList &ResultInitOne::data(int item, int table) const {
    static const QStringList none;
    return isItem(item) && isTable(table) ? texts_[item - 1][table - 1] : none;
}

const QStringList &ResultInitOne::dataCHK(int item, int table) const {
    static const QStringList none;
    return isItem(item) && isTable(table) ? flags_[item - 1][table - 1] : none;
}

void ResultInitOne::saveRows(int table, int item, const QStringList &shown) {
    if (!isItem(item) || !isTable(table)) return;
    QStringList &texts = data(item, table);
    for (qsizetype r = 0; r < shown.size() && r < texts.size(); ++r) texts[r] = shown.at(r);
}

void ResultInitOne::beforeSetting(int item, const Shown &shown) {
    if (!isItem(item)) return;
    for (int table = 1; table <= 3; ++table) saveRows(table, item, shown[table - 1]);
    writeChoices(item, {1, 2, 3}, false);
}

void ResultInitOne::afterSetting(int item) {
    if (!isItem(item)) return;
    const QVariantList signData = cvx::UserDefaults::standard().arrayForKey(kSignData);
    const QVariantList levels = item - 1 < signData.size() ? signData.at(item - 1).toList() : QVariantList();
    for (int table = 1; table <= 3; ++table) {
        const int slot = slotOf(item, table);
        // Taken as stored, also when another length than the list; none stored (the keys
        // reset from outside) gives one unticked flag per text.
        dataCHK(item, table) = slot < levels.size() ? toStrings(levels.at(slot))
                                                    : TickedList::parallelFlags({}, data(item, table).size());
    }
}

void ResultInitOne::selectRow(int table, int item, int row, const QStringList &shown) {
    if (!isItem(item) || !isTable(table)) return;
    saveRows(table, item, shown);
    // A row beyond short stored flags has none to tick: every flag of the table becomes "0".
    QStringList &flags = dataCHK(item, table);
    for (qsizetype r = 0; r < flags.size(); ++r) flags[r] = r == row ? kTicked : QStringLiteral("0");
    writeChoices(item, {table}, true);
}

void ResultInitOne::addRow(int table, int item, const QStringList &shown) {
    if (!isItem(item) || !isTable(table)) return;
    saveRows(table, item, shown);
    QStringList &flags = dataCHK(item, table);
    flags = TickedList::parallelFlags(flags, data(item, table).size());
    flags.append(flags.isEmpty() ? kTicked : QStringLiteral("0"));
    data(item, table).append(QStringLiteral(""));
}

void ResultInitOne::deleRow(int table, int item, int row) {
    if (!isItem(item) || !isTable(table)) return;
    QStringList &texts = data(item, table);
    QStringList &flags = dataCHK(item, table);
    if (row < 0 || row >= texts.size()) return;
    texts.removeAt(row);
    if (row < flags.size()) flags.removeAt(row);
}

int ResultInitOne::setHiddFromAry(int table, int item) const {
    return data(item, table).size() > 9 ? 1 : 0;
}

double ResultInitOne::setMinHei(int table, int item) const {
    return data(item, table).size() * 62.0;
}

QString ResultInitOne::tickedText(int item, int table) const {
    const QStringList &texts = data(item, table);
    const QStringList &flags = dataCHK(item, table);
    // pH's and BFC's outer tables take their last text for a tick beyond it; the other lists
    // take nothing from beyond their end.
    const bool lastForBeyond = (item == 2 || item == 3) && table != 2;
    QString ticked = QStringLiteral("");
    for (qsizetype r = 0; r < flags.size() && !texts.isEmpty(); ++r) {
        if (flags.at(r) != kTicked) continue;
        if (r < texts.size())
            ticked = texts.at(r);
        else if (lastForBeyond)
            ticked = texts.last();
    }
    return ticked;
}

void ResultInitOne::writeChoices(int item, const QList<int> &tables, bool keepUntickedText) {
    // A save of the result screen may be rewriting the same keys on its queue.
    std::lock_guard lock(SettingsFiles::writeMutex());
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    QVariantList signData = BBInitDatas::paddedChoices(kSignData, QVariant(QVariantList()));
    QVariantList content = BBInitDatas::paddedChoices(kContent, QVariant(QStringLiteral("")));
    QVariantList signSlots = signData.at(item - 1).toList();
    QVariantList contentSlots = content.at(item - 1).toList();
    for (int table : tables) {
        const int slot = slotOf(item, table);
        const QStringList &flags = dataCHK(item, table);
        signSlots[slot] = QVariant(flags);
        if (!keepUntickedText || flags.contains(kTicked)) contentSlots[slot] = tickedText(item, table);
    }
    signData[item - 1] = signSlots;
    content[item - 1] = contentSlots;
    defaults.setObject(signData, kSignData);
    defaults.setObject(content, kContent);
    defaults.flush();
}
