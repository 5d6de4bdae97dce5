#include "link/UsbManager.h"

#include <QStringList>
#include <QVariant>

#include <algorithm>

#include "link/ControlBytes.h"
#include "link/LinkNotifications.h"
#include "link/SharedInstance.h"
#include "platform/Dates.h"
#include "platform/NotificationCenter.h"
#include "platform/Numbers.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/UsbUtils.h"

namespace {

const QString kRxD = QStringLiteral("----- (RxD)------");
const QString kTxD = QStringLiteral("----- (TxD)------\r\n");
const QString kHeaderText = QStringLiteral("002001H|$^&|R||PC|||||||||");
const QString kStateMessage = QStringLiteral("002002X|STATE");
const QString kKartePrefix = QStringLiteral("002002X|KARTE\rY|ID^");

void commLog(const QString &text) {
    UsbUtils::myWriteLogCallback(text);
}

void post(const QString &name, const QVariant &object = QVariant()) {
    cvx::NotificationCenter::defaultCenter().postNotificationName(name, object);
}

bool holdsControlCharacter(const QString &text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

SharedInstance<UsbManager> &shared() {
    static SharedInstance<UsbManager> instance;
    return instance;
}

UsbManager::FirmwareVersionReader &versionReader() {
    static UsbManager::FirmwareVersionReader reader;
    return reader;
}

std::function<bool()> &updateViewQuery() {
    static std::function<bool()> query;
    return query;
}

std::function<QDateTime()> &nowProvider() {
    static std::function<QDateTime()> now;
    return now;
}

}  // namespace

void UsbManager::setFirmwareVersionReader(FirmwareVersionReader reader) {
    versionReader() = std::move(reader);
}

const UsbManager::FirmwareVersionReader &UsbManager::firmwareVersionReader() {
    return versionReader();
}

void UsbManager::setIsUpdateViewShowing(std::function<bool()> query) {
    updateViewQuery() = std::move(query);
}

void UsbManager::setNowProvider(std::function<QDateTime()> now) {
    nowProvider() = std::move(now);
}

UsbManager &UsbManager::sharedUsbManager() {
    return shared().get([] { return new UsbManager; }, [](UsbManager &) {});
}

void UsbManager::resetSharedForTesting() {
    // The transport goes first so that nothing calls into the session being dropped.
    UsbHID::resetSharedForTesting();
    shared().reset();
}

UsbManager::UsbManager() = default;
UsbManager::~UsbManager() = default;

void UsbManager::connectHID() {
    UsbHID &hid = UsbHID::sharedManager();
    hid.setDelegate(this);
    hid.connectHID();
}

OCMCustInfo &UsbManager::currentCustInfo() {
    if (!currentCustInfo_) currentCustInfo_ = std::make_shared<OCMCustInfo>();
    return *currentCustInfo_;
}

TYTestInfo &UsbManager::testInfo() {
    if (!testInfo_) testInfo_ = std::make_shared<TYTestInfo>();
    return *testInfo_;
}

void UsbManager::setDeviceDispVersion(const QString &value) {
    deviceDispVersion_ = value;
    if (value.isEmpty()) return;
    if (updateViewQuery() && updateViewQuery()()) return;
    post(usblink::kUpdateSystem);
}

QString UsbManager::currentDateMessage(const QDateTime &moment) {
    const cvx::DateComponents c = BBInitDatas::getCalendar().components(moment);
    return cvx::format("002002X|CONNECT\rY|CLOCK^%ld$%02ld$%02ld$%02ld$%02ld$%02ld", long(c.year),
                       long(c.month), long(c.day), long(c.hour), long(c.minute), long(c.second));
}

QString UsbManager::getCurrentDate() const {
    return currentDateMessage(nowProvider() ? nowProvider()() : QDateTime::currentDateTime());
}

bool UsbManager::sendMessageToDevice(qint64 kind) {
    UsbHID &hid = UsbHID::sharedManager();
    switch (kind) {
        case SetClock:
            sendMessage_ = getCurrentDate();
            hid.setClockIsChecked(true);
            break;
        case AskState:
            sendMessage_ = kStateMessage;
            break;
        case SendChartNo: {
            const QString chartNo = currentCustInfo().customerNo();
            // A CR would start a new record inside the frame; the instrument would misread it.
            if (holdsControlCharacter(chartNo)) return false;
            sendMessage_ = kKartePrefix + chartNo;
            break;
        }
        default:
            break;
    }
    hid.setSessionInitiator(1);
    addInt_ = 1;
    sendControl(ctl::ENQ, kTxD + QStringLiteral("<ENQ>"));
    return true;
}

void UsbManager::usbhidDidRecvData(const quint8 *data, qint64 length) {
    if (isBurnRom_) {
        post(usblink::kPcReciveDataNotification,
             QByteArray(reinterpret_cast<const char *>(data), qsizetype(std::max<qint64>(length, 0))));
        return;
    }

    QByteArray report;
    const qint64 taken = std::min<qint64>(length, cvx::kHidInputReportSize);
    for (qint64 i = 0; i < taken; ++i)
        if (data[i] != 0) report.append(char(data[i]));
    const char first = report.isEmpty() ? 0 : report.front();
    const char last = report.isEmpty() ? 0 : report.back();

    commLog(kRxD);
    UsbHID &hid = UsbHID::sharedManager();
    if (first == ctl::ENQ) hid.setSessionInitiator(0);
    const bool ownExchange = hid.sessionInitiator() == 1;

    switch (first) {
        case ctl::STX:
            startFrame(report);
            break;
        case ctl::NAK:
            commLog(QStringLiteral("<NAK>"));
            break;
        case ctl::ENQ:
            sendControl(ctl::ACK, QStringLiteral("<ENQ>\r\n") + kTxD + QStringLiteral("<ACK>"));
            break;
        case ctl::ACK:
            commLog(QStringLiteral("<ACK>"));
            if (ownExchange) nextStepOfExchange();
            break;
        case ctl::EOT:
            commLog(QStringLiteral("<EOT>"));
            if (ownExchange) {
                hid.setSessionInitiator(0);
            } else {
                checkClock();
                saveTestData();
            }
            break;
        case ctl::ETX:
            if (ownExchange) {
                spliceString_ += QString::fromLatin1(report);
                completeFrame();
            } else {
                continueFrame(report);
            }
            break;
        default:
            if (!ownExchange || last == ctl::ETB) continueFrame(report);
            break;
    }
}

void UsbManager::startFrame(const QByteArray &report) {
    spliceString_ = QString::fromLatin1(report);
    commLog(UsbUtils::replaceAsciiStr(spliceString_));
    const char last = report.back();
    if (last == ctl::ETB || last == ctl::ETX) completeFrame();
}

void UsbManager::continueFrame(const QByteArray &report) {
    const char last = report.isEmpty() ? 0 : report.back();
    if (last != ctl::ETB && last != ctl::ETX) return;
    const QString text = QString::fromLatin1(report);
    spliceString_ += text;
    commLog(UsbUtils::replaceAsciiStr(text));
    completeFrame();
}

void UsbManager::completeFrame() {
    spliceString_.remove(0, 1);
    if (!UsbUtils::bolSetRcvCheckSum(spliceString_)) return;
    parseData(QString(spliceString_), UsbHID::sharedManager().sessionInitiator());
    sendControl(ctl::ACK, kTxD + QStringLiteral("<ACK>"));
}

void UsbManager::nextStepOfExchange() {
    switch (addInt_) {
        case 1:
            addInt_ = 2;
            sendFrame(kHeaderText);
            break;
        case 2:
            addInt_ = 3;
            sendFrame(sendMessage_);
            break;
        case 3:
            // Stays at 3: a further ACK gets EOT again.
            sendControl(ctl::EOT, kTxD + QStringLiteral("<EOT>"));
            break;
        default:
            break;
    }
}

void UsbManager::sendFrame(const QString &text) {
    QStringList elements{QString::number(int(ctl::STX))};
    for (const char byte : text.toLatin1()) elements << QString::number(quint8(byte));
    elements << QStringLiteral("13");
    UsbUtils::vSetSndCheckSum(elements);
    elements << QString::number(int(addInt_ == 3 ? ctl::ETX : ctl::ETB));

    QByteArray frame;
    for (const QString &element : elements) frame.append(char(element.toInt()));
    commLog(kTxD + UsbUtils::replaceAsciiStr(QString::fromLatin1(frame)));
    UsbHID::sharedManager().senddata(frame);
}

void UsbManager::sendControl(char byte, const QString &logText) {
    commLog(logText);
    const quint8 report = quint8(byte);
    UsbHID::sharedManager().senddata(&report, 1);
}

void UsbManager::usbhidDidMatch() {
    isConnect_ = true;
    // The next communication-log entry opens the file of this connection.
    AppDelegate::shared().setLogDataStr(QStringLiteral(""));
    // Whatever was attached before (another instrument, or this one before its firmware
    // changed), this one announces itself afresh and passes the version gate on its own.
    UsbHID &hid = UsbHID::sharedManager();
    hid.setDeviceNo(QString());
    hid.setVersionID(QString());
    deviceMainVersion_ = QString();
    hid.setDeviceConnectStatus(1);
    post(usblink::kDeviceConnectNotification);
}

void UsbManager::usbhidDidRemove() {
    UsbHID &hid = UsbHID::sharedManager();
    hid.setClockIsChecked(false);
    isConnect_ = false;
    hid.setDeviceConnectStatus(0);
    hid.setDeviceStatus(-1);
    post(usblink::kDeviceRemoveNotification);
}
