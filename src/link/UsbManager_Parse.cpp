// Reading the instrument's records and the work at the end of its transfers.
#include <QDateTime>
#include <QStringList>

#include <optional>

#include "link/LinkNotifications.h"
#include "link/UsbManager.h"
#include "platform/DateFormatter.h"
#include "platform/NotificationCenter.h"
#include "platform/Numbers.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"

namespace {

// A frame split at "|". A CR inside a field ends a record but not the field, so field
// numbers run on across records; a field's head is its text up to the first CR.
class Fields {
public:
    explicit Fields(const QString &frame) : all_(frame.split(QLatin1Char('|'))) {}

    qsizetype size() const { return all_.size(); }
    QString at(qsizetype n) const { return all_.value(n); }
    QString head(qsizetype n) const { return headOf(all_.value(n)); }
    // The text after the head's first "^", up to a second one; nothing when the field is
    // missing or its head has no "^".
    std::optional<QString> value(qsizetype n) const {
        if (n >= all_.size()) return std::nullopt;
        const QStringList parts = head(n).split(QLatin1Char('^'));
        if (parts.size() < 2) return std::nullopt;
        return parts[1];
    }

    static QString headOf(const QString &field) {
        const qsizetype cr = field.indexOf(QLatin1Char('\r'));
        return cr < 0 ? field : field.left(cr);
    }

private:
    QStringList all_;
};

void commLog(const QString &text) {
    UsbUtils::myWriteLogCallback(text);
}

const QString kStateLog[] = {
    QStringLiteral("================起動処理中"),  QStringLiteral("================待機中"),
    QStringLiteral("================測定中"),      QStringLiteral("================トラブル状態"),
    QStringLiteral("================電源OFF状態"), QStringLiteral("================その他状態"),
    QStringLiteral("================待機中"),      QStringLiteral("================未知の"),
    QStringLiteral("================未知の"),      QStringLiteral("================未知の"),
};

TYTestData *padNamed(TYEachTest &pass, const QString &name, bool *older) {
    *older = false;
    const QString trimmed = NSStringExt::trim(name);
    if (trimmed == QLatin1String("BFC")) return &pass.bfcTestData();
    if (trimmed == QLatin1String("PH")) return &pass.phTestData();
    if (trimmed == QLatin1String("MS")) return &pass.msTestData();
    if (trimmed == QLatin1String("DUMMY")) return &pass.dummyTestData();
    if (trimmed == QLatin1String("BLD")) return &pass.bldTestData();
    if (trimmed == QLatin1String("[Cal]")) return &pass.calTestData();
    if (trimmed == QLatin1String("I_LEU")) return &pass.leuTestData();
    if (trimmed == QLatin1String("ALB")) return &pass.albTestData();
    if (trimmed == QLatin1String("I_NH3")) return &pass.nh3TestData();
    *older = true;
    if (trimmed == QLatin1String("LEU")) return &pass.leuTestData();
    if (trimmed == QLatin1String("NH3")) return &pass.nh3TestData();
    *older = false;
    return nullptr;
}

// A pad record's texts, all present or none.
std::optional<TYTestData> padRecord(const Fields &f) {
    if (f.size() < 6) return std::nullopt;
    const std::optional<QString> name = f.value(2), data = f.value(3), refs = f.value(4), dark = f.value(5);
    if (!name || !data || !refs || !dark) return std::nullopt;
    const QStringList readings = data->split(QLatin1Char('$'));
    const QStringList reflectances = refs->split(QLatin1Char('$'));
    if (readings.size() < 6 || reflectances.size() < 3) return std::nullopt;
    TYTestData pad;
    pad.setTyName(*name);
    pad.setTySample565(readings[0]);
    pad.setTyReference565(readings[1]);
    pad.setTySample635(readings[2]);
    pad.setTyReference635(readings[3]);
    pad.setTySample760(readings[4]);
    pad.setTyReference760(readings[5]);
    pad.setTyRefBefor(reflectances[0]);
    pad.setTyRefTempBefor(reflectances[1]);
    pad.setTyRefnmBefor(reflectances[2]);
    pad.setTyDark(*dark);
    return pad;
}

bool isWhiteRecord(const QString &name, const Fields &f) {
    if (name != QLatin1String("INF12") && name != QLatin1String("INF10")) return false;
    return f.size() > 2 && f.at(2).split(QLatin1Char('^')).first() == QLatin1String("WHITE");
}

// Control characters would forge lines of the error log.
QString printable(const QString &text) {
    QString out = text;
    for (QChar &c : out)
        if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
    return out;
}

void logNotStored(const QString &what, const TYTestInfo &info) {
    const QString stamp = cvx::DateFormatter(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                              .stringFromDate(QDateTime::currentDateTime());
    AppDelegate::shared().errorLog(
        QStringLiteral("%1 %2 not stored: chart number \"%3\", date \"%4\", time \"%5\"\n")
            .arg(stamp, what, printable(info.userID()), printable(info.secondTest().tyData()),
                 printable(info.secondTest().tyTime())));
}

}  // namespace

void UsbManager::parseData(const QString &frame, quint64 sessionInitiator) {
    // Frames of both kinds of exchange are read alike.
    Q_UNUSED(sessionInitiator);
    const Fields f(frame);
    if (f.size() < 2 || !f.at(1).contains(QLatin1Char('\r'))) return;
    const QString name = f.head(1);
    UsbHID &hid = UsbHID::sharedManager();

    if (name == QLatin1String("CONNECT")) {
        if (hid.deviceStatus() != -1) return;
        hid.setDeviceStatus(7);
        commLog(QStringLiteral("================接続確認"));
        return;
    }

    if (name == QLatin1String("STATE")) {
        if (f.size() < 3) return;
        const QStringList state = f.at(2).split(QLatin1Char('^'));
        if (state.size() == 2 && state[0] == QLatin1String("INF")) {
            const QString digitText = Fields::headOf(state[1]);
            if (digitText.isEmpty()) return;
            const QChar first = digitText.front();
            const int digit = first >= QLatin1Char('0') && first <= QLatin1Char('9') ? first.digitValue() : 0;
            commLog(kStateLog[digit]);
            if (digit == 2 || digit == 5) {
                testInfo_.reset();
                // A check interrupted before its records were stored must not capture the
                // next patient's measurement.
                isCheck_ = false;
            }
            hid.setDeviceStatus(digit);
        }
        QString version = QStringLiteral("unknown");
        if (f.size() > 4) {
            const QStringList ver = f.at(4).split(QLatin1Char('^'));
            if (ver.size() == 2 && ver[0] == QLatin1String("VER")) {
                const QStringList pieces = ver[1].split(QLatin1Char('\r'));
                if (pieces.size() == 2) version = NSStringExt::trim(pieces[0]);
            }
        }
        setDeviceDispVersion(version);
        return;
    }

    if (name.contains(QLatin1String("RESLT_AD"))) {
        QStringList values;
        for (const qsizetype n : {1, 3, 4, 5, 6, 7, 8, 9}) {
            const std::optional<QString> value = f.value(n);
            if (!value) return;
            values << *value;
        }
        if (values[7] == QLatin1String("1")) isCheck_ = true;
        TYEachTest *pass = &testInfo().secondTest();
        if (cvx::intValue(values[6]) == 0) {
            commLog(QStringLiteral("==========第一次測光"));
            pass = &testInfo().firstTest();
        } else if (!isCheck_) {
            commLog(QStringLiteral("==========第二次測光"));
        }
        pass->setTyResltAD(values[0]);
        pass->setTyData(values[1]);
        pass->setTyTime(values[2]);
        pass->setTyTemp(values[3]);
        pass->setTyTestNO(values[4]);
        pass->setTyStrep(values[5]);
        pass->setTyCount(values[6]);
        pass->setTyType(values[7]);
        return;
    }

    if (name == QLatin1String("KARTE")) {
        if (const std::optional<QString> chartNo = f.value(2)) testInfo().setUserID(*chartNo);
        return;
    }

    if (!name.contains(QLatin1String("INF")) || name == QLatin1String("INF")) return;

    TYTestInfo &info = testInfo();
    if (isWhiteRecord(name, f)) {
        const std::optional<QString> value = f.value(2);
        if (!value) return;
        const QStringList white = value->split(QLatin1Char('$'));
        if (white.size() < 3) return;  // also the lone "CHECK" outside check mode
        TYEachTest &pass = isCheck_ || cvx::intValue(info.secondTest().tyCount()) == 1 ? info.secondTest()
                                                                                       : info.firstTest();
        pass.setTyWhite565(white[0]);
        pass.setTyWhite635(white[1]);
        pass.setTyWhite760(white[2]);
        return;
    }

    std::optional<TYTestData> pad = padRecord(f);
    if (!pad) return;
    if (isCheck_) {
        info.secondTest().checkArray().append(*pad);
        return;
    }
    TYEachTest &pass = cvx::intValue(info.secondTest().tyCount()) == 1 ? info.secondTest() : info.firstTest();
    bool older = false;
    TYTestData *target = padNamed(pass, pad->tyName(), &older);
    if (!target) return;
    const bool wasOlder = target->isOldData();
    *target = *pad;
    target->setIsOldData(wasOlder || older);
}

void UsbManager::checkClock() {
    const UsbHID &hid = UsbHID::sharedManager();
    if (hid.clockIsChecked()) return;
    // Not while a measurement is under way.
    if (hid.deviceStatus() == 2 || hid.deviceStatus() == 5) return;
    sendMessageToDevice(SetClock);
}

void UsbManager::saveTestData() {
    const qint64 status = UsbHID::sharedManager().deviceStatus();
    if (status != 2 && status != 5) return;
    if (!testInfo_) return;  // nothing received since the measurement was dropped

    if (isCheck_) {
        const std::shared_ptr<TYTestInfo> info = testInfo_;
        QList<TYTestData> &checks = info->secondTest().checkArray();
        if (checks.isEmpty()) return;
        if (!UsbUtils::saveCheckMeasureResult(*info))
            logNotStored(QStringLiteral("Check measurement"), *info);
        checks.clear();
        isCheck_ = false;
        return;
    }

    // Without its second pass the measurement is not handed over.
    if (cvx::intValue(testInfo_->secondTest().tyCount()) != 1) return;
    if (status == 5) {
        const std::shared_ptr<TYTestInfo> info = testInfo_;
        const UsbUtils::StoreResult result = UsbUtils::storeCustomerComment(*info, 5);
        if (result != UsbUtils::StoreResult::Stored && result != UsbUtils::StoreResult::Duplicate)
            logNotStored(QStringLiteral("Measurement"), *info);
        testInfo_.reset();
    } else {
        cvx::NotificationCenter::defaultCenter().postNotificationName(usblink::kTestDataSaved);
    }
}
