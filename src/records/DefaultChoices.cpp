#include "records/DefaultChoices.h"

#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"

namespace {

// One flag per entry, "1" at the ticked position (none when the list is shorter).
QStringList flagsTicking(const QStringList &list, qsizetype ticked) {
    QStringList flags;
    for (qsizetype i = 0; i < list.size(); ++i)
        flags.append(i == ticked ? QStringLiteral("1") : QStringLiteral("0"));
    return flags;
}

QString entryAt(const QStringList &list, qsizetype position) {
    return position < list.size() ? list.at(position) : QStringLiteral("");
}

void set(const QString &key, const QVariant &value) {
    cvx::UserDefaults::standard().setObject(value, key);
}

void storeHospitalAndDoctor() {
    const BBInitDatas::Lists lists = BBInitDatas::getHospital();
    const QStringList hospitals = lists.value(QStringLiteral("hospital"));
    const QStringList doctors = lists.value(QStringLiteral("doctor"));
    set(QStringLiteral("hos1"), flagsTicking(hospitals, 1));
    set(QStringLiteral("hos2"), flagsTicking(doctors, 1));
    set(QStringLiteral("zhospital"), entryAt(hospitals, 1));
    set(QStringLiteral("zdoctor"), entryAt(doctors, 1));
}

void storeTotal() {
    const QStringList totals = BBInitDatas::getTotal().value(QStringLiteral("total"));
    set(QStringLiteral("ztotal"), entryAt(totals, 0));
    set(QStringLiteral("ztotAry"), flagsTicking(totals, 0));
}

void storeStockComments() {
    const BBInitDatas::Lists lists = BBInitDatas::getTableDetail();
    QVariantList content;
    QVariantList signData;
    QVariantList itemContent;
    QVariantList itemSigns;
    for (const QString &key : BBInitDatas::listKeys()) {
        const QStringList list = lists.value(key);
        itemContent.append(entryAt(list, 1));
        itemSigns.append(QVariant(flagsTicking(list, 1)));
        if (itemContent.size() == 3) {
            content.append(QVariant(itemContent));
            signData.append(QVariant(itemSigns));
            itemContent.clear();
            itemSigns.clear();
        }
    }
    set(QStringLiteral("zcontent"), content);
    set(QStringLiteral("zsignData"), signData);
}

}  // namespace

const QString &DefaultChoices::defaultTotalComment() {
    static const QString sentence = QStringLiteral(
        "歯科医院での「プロケア」と自分で行う「セルフケア」は、予防歯科の「車の両輪」です。"
        "両方のケアをしっかり実践し、生涯を通じて歯とお口の健康を守っていきましょう。");
    return sentence;
}

void DefaultChoices::setHispitalAndDoctorDefaultData() {
    storeHospitalAndDoctor();
    set(QStringLiteral("ztotal"), defaultTotalComment());
}

void DefaultChoices::setTableAndTotalDefaultData() {
    storeTotal();
    storeStockComments();
    set(QStringLiteral("signz"), QStringLiteral("isTure"));
    set(QStringLiteral("xyz"), QStringLiteral("y"));
}

void DefaultChoices::seedAll() {
    setHispitalAndDoctorDefaultData();
    setTableAndTotalDefaultData();
}

void DefaultChoices::resetSelections() {
    storeHospitalAndDoctor();
    storeTotal();
    storeStockComments();
}
