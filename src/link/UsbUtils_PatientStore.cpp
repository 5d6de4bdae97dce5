// Storing a finished measurement in its patient's file, and the raw data line of the
// link's current measurement.
#include <cmath>

#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/DateFormatter.h"
#include "platform/FileManager.h"
#include "platform/Numbers.h"
#include "platform/UserDefaults.h"
#include "records/CalcSettingDatas.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

struct Item {
    const char16_t *element;
    double value;
    double chartInput;
    std::int32_t flag;
    std::int64_t wordIndex;
};

struct ItemResult {
    QString word;
    QString dataValue;
    QString content;
};

int reading(const TYTestData &pad) {
    return cvx::intValue(pad.tyRefTempBefor());
}

double logOrZero(double v) {
    return v > 0 ? std::log10(v) : 0.0;
}

// The seven items in order MS, pH, BFC, BLD, LEU, ALB, NH3. Reads the calculation ranges
// for the LEU choice, so it may throw.
QList<Item> itemsOf(const TYTestInfo &info) {
    const TYEachTest &a = info.firstTest();
    const TYEachTest &b = info.secondTest();
    const bool olderNh3 = b.nh3TestData().isOldData();
    const bool olderLeu = b.leuTestData().isOldData();

    const double ms = (qint64(reading(b.msTestData())) - reading(a.msTestData())) / 10.0;
    const double ph = reading(a.phTestData()) / 10.0;
    const double bfc = reading(a.bfcTestData()) / 10.0;
    const double bld = reading(a.bldTestData()) / 10.0;
    const double leu = reading(a.leuTestData()) / 10.0;
    const double alb = reading(a.albTestData()) / 10.0;
    const double nh3 = (olderNh3 ? reading(a.nh3TestData()) : reading(b.nh3TestData())) / 10.0;

    std::int32_t leuFlag = 8;
    if (!olderLeu) leuFlag = CalcSettingDatas::getInst().I_LEU().usesMore(leu) ? 4 : 7;
    const std::int32_t nh3Flag = olderNh3 ? 9 : 6;

    return {
        {u"MS", ms, ms, olderNh3 ? 10 : 0, 0},
        {u"pH", ph, ph, 1, 1},
        {u"BFC", bfc, bfc, 2, 2},
        {u"BLD", bld, logOrZero(bld), 3, 3},
        {u"LEU", leu, logOrZero(leu), leuFlag, leuFlag},
        {u"ALB", alb, alb, 5, 5},
        {u"NH3", nh3, logOrZero(nh3), nh3Flag, nh3Flag},
    };
}

QString userDefault(const char *key) {
    const QString value = cvx::UserDefaults::standard().stringForKey(QString::fromLatin1(key));
    return value.isNull() ? QStringLiteral("") : value;
}

std::optional<cvx::XmlDocument> newPatientDocument() {
    std::optional<cvx::XmlDocument> doc =
        cvx::XmlDocument::fromText(QStringLiteral("<DATA></DATA>"), cvx::XmlDocument::Option::Tidy);
    if (!doc) return doc;
    doc->setVersion(QStringLiteral("1.0"));
    doc->setStandalone(false);
    doc->setCharacterEncoding(QStringLiteral("UTF-8"));
    return doc;
}

bool hasText(const QString &text) {
    return !NSStringExt::trim(text).isEmpty();
}

// Both pass headers and every item pad of both passes: a value is never made up from a
// reading that did not arrive.
bool isComplete(const TYTestInfo &info) {
    for (const TYEachTest *pass : {&info.firstTest(), &info.secondTest()}) {
        if (!hasText(pass->tyData())) return false;
        for (const TYTestData *pad :
             {&pass->msTestData(), &pass->phTestData(), &pass->bfcTestData(), &pass->bldTestData(),
              &pass->leuTestData(), &pass->albTestData(), &pass->nh3TestData()})
            if (!hasText(pad->tyName())) return false;
    }
    return hasText(info.secondTest().tyTime());
}

bool isStored(const cvx::XmlElement &root, const QString &date, const QString &time) {
    for (const cvx::XmlElement &child : root.elements()) {
        if (child.attributeCount() == 2 && child.attribute(QStringLiteral("date")) == date &&
            child.attribute(QStringLiteral("time")) == time)
            return true;
    }
    return false;
}

}  // namespace

QString UsbUtils::spliceRsvData(const QStringList &entries) {
    const UsbHID &hid = UsbHID::sharedManager();
    return rsvDataLine(hid.deviceNo(), hid.versionID(), UsbManager::sharedUsbManager().testInfo(), entries);
}

bool UsbUtils::saveCustomerComment(const TYTestInfo &testInfo, qint64 deviceStatus) {
    return storeCustomerComment(testInfo, deviceStatus) == StoreResult::Stored;
}

UsbUtils::StoreResult UsbUtils::storeCustomerComment(const TYTestInfo &testInfo, qint64 deviceStatus) {
    // A character that XML cannot hold (a control character pasted into a remark or a
    // hospital name) is left out of what the store writes, rather than the measurement lost.
    const auto text = [](const QString &t) { return cvx::withoutNonXmlCharacters(t); };
    const QString chartNo = testInfo.userID();
    const QString date = text(testInfo.secondTest().tyData());
    const QString time = text(testInfo.secondTest().tyTime());
    cvx::FileManager::createDirectory(customerFolder());
    const QString path = getXmlPath(chartNo);
    if (path.isNull() || !isComplete(testInfo)) return StoreResult::Refused;

    std::lock_guard lock(SettingsFiles::writeMutex());
    const bool existed = cvx::FileManager::fileExists(path);
    std::optional<cvx::XmlDocument> doc = existed ? patientFileToRewrite(path) : newPatientDocument();
    if (!doc) return StoreResult::Unreadable;
    cvx::XmlElement root = doc->rootElement();

    UsbManager &session = UsbManager::sharedUsbManager();
    const bool ownPatient = deviceStatus == 2 && session.hasCurrentCustInfo() &&
                            chartNo == session.currentCustInfo().customerNo();
    if (ownPatient) {
        const OCMCustInfo &patient = session.currentCustInfo();
        root.setAttributes({
            {QStringLiteral("name"),
             text(NSStringExt::trimRight(patient.firstname() + QLatin1Char(' ') + patient.lastname()))},
            {QStringLiteral("birthday"), text(NSStringExt::trim(patient.birthday()))},
            {QStringLiteral("age"), text(NSStringExt::trim(patient.age()))},
            {QStringLiteral("sex"), text(NSStringExt::trim(patient.sex()))},
        });
    } else if (!existed) {
        root.setAttributes({{QStringLiteral("name"), QStringLiteral("")},
                            {QStringLiteral("birthday"), QStringLiteral("")},
                            {QStringLiteral("age"), QStringLiteral("")},
                            {QStringLiteral("sex"), QStringLiteral("")}});
    }

    if (isStored(root, date, time)) return StoreResult::Duplicate;

    // Everything that may throw runs before the document changes.
    QList<Item> items;
    QList<ItemResult> results;
    QStringList entries;
    try {
        items = itemsOf(testInfo);
        for (qsizetype n = 0; n < items.size(); ++n) {
            const Item &item = items[n];
            const double position = getAxiYValue(item.chartInput, item.flag);
            const QString word = getResultValue(position, item.wordIndex);
            results.append(
                {word, cvx::format("%.1f|%.0f", item.value, position), getContent(word, std::int32_t(n))});
            entries << cvx::format("%.1f|", item.value) + word;
        }
    } catch (...) {
        return StoreResult::CalculationFailed;
    }

    const UsbHID &hid = UsbHID::sharedManager();
    const QString line = rsvDataLine(hid.deviceNo(), hid.versionID(), testInfo, entries);

    cvx::XmlElement result = root.insertElement(0, QStringLiteral("comment"));
    result.setAttribute(QStringLiteral("date"), date);
    result.setAttribute(QStringLiteral("time"), time);
    const auto put = [&](const QString &name, const QString &value) {
        result.appendElement(name, text(value));
    };
    put(QStringLiteral("Hospital"), userDefault("zhospital"));
    put(QStringLiteral("Doctor"), userDefault("zdoctor"));
    put(QStringLiteral("SheetFlg"), QStringLiteral("-"));
    put(QStringLiteral("Remark"), ownPatient ? session.currentCustInfo().remark() : QString());
    put(QStringLiteral("TotalComment"), userDefault("ztotal"));
    for (qsizetype n = 0; n < items.size(); ++n) {
        put(QString::fromUtf16(items[n].element), results[n].word);
        put(QStringLiteral("DataValue%1").arg(n + 1), results[n].dataValue);
        put(QStringLiteral("Content%1").arg(n + 1), results[n].content);
    }
    put(QStringLiteral("RsvData"), line);
    result.appendElement(QStringLiteral("SaveDate"), cvx::DateFormatter(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                                         .stringFromDate(QDateTime::currentDateTime()));

    // The old reading is in the tree whole, with the result in front (and the root's attributes
    // set for the window's own patient); the write must give back just that, else the file is
    // left as it is.
    const std::optional<SettingsFiles::Written> written = SettingsFiles::writtenReadingBack(*doc);
    if (!written) return StoreResult::Unreadable;
    return SettingsFiles::write(*written, path) ? StoreResult::Stored : StoreResult::WriteFailed;
}
