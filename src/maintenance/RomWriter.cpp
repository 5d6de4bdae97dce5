#include "maintenance/RomWriter.h"

#include <QDateTime>
#include <QtEndian>

#include <algorithm>
#include <array>

#include "link/ControlBytes.h"
#include "link/LinkNotifications.h"
#include "link/MaintenanceMode.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/AutoUpdate.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/UsbUtils.h"

namespace {

constexpr int kMaxRetries = 3;
constexpr int kBootReplyLength = 48;
constexpr int kSumReplyLength = 4;
constexpr int kMaxLines = int(FirmwareFiles::kMaxLines);

const QString kMethod = QStringLiteral("-[OutputPWController reciveData:]");
const QString kTransferring = QStringLiteral("転送中");
const QString kFinished = QStringLiteral("終了");
const QString kConfirming = QStringLiteral("接続確認中");
const QString kBusy = QStringLiteral("rom_busy");

// Shared by every engine: only one write may run at a time.
struct Shared {
    int step = 0;
    int phase = 0;  // 0 idle, 1 awaiting the ACK of the frame sent, 2 awaiting a reply
    QString sSendStr;
    RomWriter *writing = nullptr;  // the engine whose write runs
};

Shared &shared() {
    static Shared state;
    return state;
}

struct Timings {
    int restartMs = 3000;
    int replyTimeoutMs = 10000;
    int connectionWaitMs = 10000;
    // Erasing a flash block takes a real instrument far longer than answering a frame.
    int eraseTimeoutMs = 30000;
};

Timings &timings() {
    static Timings t;
    return t;
}

QString sumText(const QByteArray &reply) {
    QString text;
    for (int i = 0; i < kSumReplyLength; ++i)
        text += QStringLiteral("%1")
                    .arg(quint8(i < reply.size() ? reply[i] : 0), 2, 16, QLatin1Char('0'))
                    .toUpper();
    return text;
}

// The instrument pads its reports with zero bytes; they mean nothing in a log or a name.
QString asciiText(const QByteArray &bytes) {
    QByteArray text = bytes;
    text.replace('\0', QByteArray());
    return QString::fromLatin1(text);
}

}  // namespace

RomWriter::RomWriter(QObject *parent) : QObject(parent) {
    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, [this] {
        if (!active_ || finished_ || shared().phase == 0) return;
        fail(burnStatus_ == Removed ? QStringLiteral("T504") : QStringLiteral("E402"));
    });
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { showAlert(); });
}

RomWriter::~RomWriter() {
    cvx::NotificationCenter::defaultCenter().removeObserver(this);
    if (shared().writing == this) shared().writing = nullptr;
    // A windowless engine gives the link back when it goes before its write has ended.
    if (active_ && !finished_ && !hasWindow_) UsbManager::sharedUsbManager().setIsBurnRom(false);
}

RomWriter *RomWriter::writingEngine() {
    return shared().writing;
}

bool RomWriter::anotherWrites() const {
    return shared().writing && shared().writing != this;
}

int RomWriter::step() {
    return shared().step;
}

int RomWriter::phase() {
    return shared().phase;
}

void RomWriter::setTimingsForTesting(int restartMs, int replyTimeoutMs, int connectionWaitMs,
                                     int eraseTimeoutMs) {
    const Timings defaults;
    timings().restartMs = restartMs < 0 ? defaults.restartMs : restartMs;
    timings().replyTimeoutMs = replyTimeoutMs < 0 ? defaults.replyTimeoutMs : replyTimeoutMs;
    timings().connectionWaitMs = connectionWaitMs < 0 ? defaults.connectionWaitMs : connectionWaitMs;
    timings().eraseTimeoutMs = eraseTimeoutMs < 0 ? defaults.eraseTimeoutMs : eraseTimeoutMs;
}

void RomWriter::setScreen(Screen screen) {
    screen_ = std::move(screen);
    hasWindow_ = true;
}

void RomWriter::observeLink() {
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    center.removeObserver(this);
    center.addObserver(this, usblink::kDeviceConnectNotification,
                       [this](const cvx::Notification &) { deviceConnect(); });
    center.addObserver(this, usblink::kDeviceRemoveNotification,
                       [this](const cvx::Notification &) { deviceRemove(); });
    center.addObserver(this, usblink::kPcReciveDataNotification,
                       [this](const cvx::Notification &n) { reciveData(n.object.toByteArray()); });
}

// ---- Screen and mode

void RomWriter::setLabel(const QString &text) {
    confirmConnectLabel_ = text;
    if (screen_.setConfirmConnectLabel) screen_.setConfirmConnectLabel(text);
}

void RomWriter::setMode(std::uint8_t value) {
    if (hasWindow_) MaintenanceMode::sharedMode().setMode(value);
}

std::uint8_t RomWriter::mode() const {
    return MaintenanceMode::sharedMode().getMode();
}

void RomWriter::stopClock() {
    if (screen_.stopClock) screen_.stopClock();
}

// ---- Entry points

void RomWriter::initUpdateSystemInfo() {
    stopClock();
    setMode(1);
    isBurning_ = false;
    controller_.firmwareFiles().setIRomFileNo(0);
    isCou_ = 1;
    isBurnROM_ = true;
    burnStatus_ = Armed;
}

void RomWriter::arm() {
    isBurnROM_ = true;
    burnStatus_ = Armed;
    controller_.firmwareFiles().setIRomFileNo(0);
}

void RomWriter::deviceConnect() {
    if (isBurnROM_ && burnStatus_ == Armed && anotherWrites()) {
        // Two engines on one instrument would interleave their frames and spoil both writes.
        timer_.stop();
        burnRomOkButtonClicked();
        OutputPWController::showErrorAlertView(kBusy);
        return;
    }
    if (isBurnROM_ && burnStatus_ == Armed) {
        // A measurement in progress keeps the link; the next attachment may start the write.
        if (UsbHID::sharedManager().deviceStatus() == 2) return;
        UsbManager::sharedUsbManager().setIsBurnRom(true);
        timer_.stop();
        burnStatus_ = Connected;
        if (controller_.fileExitChk_USB())
            sndBgn();
        else
            burnRomOkButtonClicked();
    } else if (burnStatus_ == Removed) {
        burnStatus_ = Connected;
        // A frame dropped while the instrument restarted goes out now, or the write would
        // wait for an answer to something never sent.
        if (active_ && framePending_ && !isBurning_) {
            framePending_ = false;
            stopClock();
            setMode(1);
            sndStr();
            armWatchdog();
        }
    }
    if (isBurning_) {
        stopClock();
        setMode(1);
        isBurning_ = false;
    }
}

void RomWriter::deviceRemove() {
    if (AppDelegate::shared().updateStep() == 2) return;
    // The instrument belongs to the write that runs; its restart is no failure of this one.
    if (anotherWrites()) return;
    // Frames are being exchanged: the write cannot go on, whatever the mode or window.
    if (active_ && !finished_ && !isBurning_ && burnStatus_ == Connected && restart_ == nullptr) {
        fail(QStringLiteral("T504"));
        return;
    }
    if (hasWindow_ && screen_.isKeyWindow && screen_.isKeyWindow()) {
        if (burnStatus_ != WasReset) burnStatus_ = Removed;
        if (confirmConnectLabel_ == kFinished || isBurning_ || mode() == 1) return;
        fail(QStringLiteral("T504"));
        return;
    }
    if (AppDelegate::shared().outputVc() && burnStatus_ == Connected && !isBurning_) {
        if (mode() == 1) return;
        fail(QStringLiteral("T504"));
        return;
    }
    if (burnStatus_ != WasReset) burnStatus_ = Removed;
}

void RomWriter::burnRomOkButtonClicked() {
    setLabel(kConfirming);
    if (screen_.hideWidgets) screen_.hideWidgets();
    isBurnROM_ = false;
    isCou_ = 1;
    controller_.burnRomOkButtonClicked();
    txBuff_.clear();
    bRetry_ = 0;
    iSndCnt_ = 0;
    iSndMax_ = 0;
    bErsBlk_ = 0;
    ayErsBlk_.clear();
    blnSndRcv_ = false;
    reply_.clear();
    burnStatus_ = WasReset;
    active_ = false;
    if (shared().writing == this) shared().writing = nullptr;
    framePending_ = false;
    watchdog_.stop();
    delete restart_;
    restart_ = nullptr;
    // Without a screen nobody else gives the link back: the instrument's versions would
    // never be read again. A write that runs keeps it.
    if (!hasWindow_ && !anotherWrites()) UsbManager::sharedUsbManager().setIsBurnRom(false);
}

void RomWriter::startConnectionWait() {
    timer_.start(timings().connectionWaitMs);
}

void RomWriter::showAlert() {
    if (mode() == 1) return;
    burnRomOkButtonClicked();
    OutputPWController::showErrorAlertView(QStringLiteral("T504"));
}

void RomWriter::fail(const QString &code) {
    burnRomOkButtonClicked();
    shared().phase = 0;
    OutputPWController::showErrorAlertView(code);
}

// ---- Frames

void RomWriter::sndBgn() {
    shared().writing = this;
    shared().step = 0;
    active_ = true;
    finished_ = false;
    framePending_ = false;
    if (!controller_.getDataRomInf()) {
        burnRomOkButtonClicked();
        return;
    }
    makeData();
}

QByteArray RomWriter::makeCmd(char letter, bool withoutBcc) {
    shared().sSendStr = QString(QChar(ctl::STX)) + QChar(letter) + QChar(ctl::ETX);
    QByteArray frame;
    frame.append(ctl::STX).append(letter).append(ctl::ETX);
    if (!withoutBcc) frame.append(char((quint8(letter) + quint8(ctl::ETX)) & 0xFF));
    return frame;
}

QByteArray RomWriter::makeParam(const QList<std::pair<qint64, qint64>> &pairs) {
    QByteArray frame;
    for (const auto &[begin, end] : pairs) {
        for (qint64 address : {begin, end}) {
            std::array<uchar, 4> bytes{};
            qToBigEndian(quint32(address), bytes.data());
            frame.append(reinterpret_cast<const char *>(bytes.data()), 4);
        }
    }
    quint8 sum = 0;
    for (char byte : frame) sum += quint8(byte);
    frame.append(char(sum));
    return frame;
}

std::pair<qint64, qint64> RomWriter::eraseBlock() const {
    const RomInf_t &record = controller_.firmwareFiles().atRomInf()[0];
    return {record.qErsBgnAdr.value(bErsBlk_), record.qErsEndAdr.value(bErsBlk_)};
}

// Loads the file at its first line and builds the data frame of line iSndCnt; false when
// the file cannot be sent.
bool RomWriter::makeDataPrg() {
    const int step = shared().step;
    FirmwareFiles &files = controller_.firmwareFiles();
    if (iSndCnt_ == 0) {
        const QString path = step == 5 ? files.sGetFileNameWrtPrg() : files.sGetFileNameRomDat(0);
        const std::optional<QStringList> lines =
            path.isNull() ? std::nullopt : FirmwareFiles::sendLines(path);
        if (!lines || lines->isEmpty() || lines->size() > kMaxLines) return false;
        if (std::any_of(lines->begin(), lines->end(),
                        [](const QString &line) { return line.size() > kMaxLineDigits; }))
            return false;
        asSendData_ = *lines;
        iSndMax_ = std::int16_t(lines->size() - 1);
    }
    if (iSndCnt_ < 0 || iSndCnt_ >= asSendData_.size()) return false;
    const QString &line = asSendData_[iSndCnt_];
    shared().sSendStr = line;
    if (step == 11) {
        const int rom = files.iRomCnt() + 1;
        setLabel(QStringLiteral("%1 [%2/2] (%3/%4)").arg(kTransferring).arg(rom).arg(iSndCnt_).arg(iSndMax_));
        AutoUpdate::showProgress(QStringLiteral(" [%1/2] (%2/%3)").arg(rom).arg(iSndCnt_).arg(iSndMax_));
    }
    QByteArray frame;
    quint8 sum = 0;
    for (qsizetype i = 0; i + 1 < line.size(); i += 2) {
        const quint8 byte = FirmwareFiles::hexToByte(QStringView(line).mid(i, 2));
        frame.append(char(byte));
        sum += byte;
    }
    frame.append(char(sum));
    txBuff_ = frame;
    return true;
}

void RomWriter::makeData() {
    bRetry_ = 0;
    const PrjInf_t &prj = controller_.firmwareFiles().tPrjInf();
    switch (shared().step) {
        case 0:
            txBuff_ = makeCmd('S', true);
            break;
        case 1:
            txBuff_ = makeCmd('B', false);
            break;
        case 2:
            txBuff_ = makeCmd('P', false);
            break;
        case 3: {
            QList<std::pair<qint64, qint64>> pairs;
            for (std::int32_t i = 0; i < prj.bRomNum; ++i)
                pairs.append({prj.aqVerBgnAdr.value(i), prj.aqVerEndAdr.value(i)});
            if (8 * pairs.size() + 1 >= kTxBuffSize) return fail(QStringLiteral("E402"));
            txBuff_ = makeParam(pairs);
            break;
        }
        case 4:
            txBuff_ = makeCmd('W', false);
            break;
        case 5:
        case 11:
            if (!makeDataPrg()) return fail(QStringLiteral("E402"));
            break;
        case 7:
            txBuff_ = makeCmd('E', false);
            break;
        case 8:
        case 10:
            txBuff_ = makeParam({eraseBlock()});
            break;
        case 9:
            txBuff_ = makeCmd('T', false);
            break;
        case 12:
            return finish();
        default:
            return;
    }
    sndData(txBuff_);
}

void RomWriter::sndData(const QByteArray &frame) {
    txBuff_ = frame;
    addLog(true, UsbUtils::replaceAsciiStr(shared().sSendStr));
    sndStr();
    shared().phase = 1;
    armWatchdog();
}

void RomWriter::sndStr() {
    if (burnStatus_ != Connected) {
        framePending_ = true;
        return;
    }
    framePending_ = false;
    UsbHID::sharedManager().senddata(reinterpret_cast<const quint8 *>(txBuff_.constData()),
                                     quint32(txBuff_.size()));
}

void RomWriter::sendAck() {
    const quint8 ack = quint8(ctl::ACK);
    UsbHID::sharedManager().senddata(&ack, 1);
    addLog(true, QStringLiteral("<ACK>"));
}

void RomWriter::armWatchdog() {
    watchdog_.start(shared().step == 8 ? timings().eraseTimeoutMs : timings().replyTimeoutMs);
}

void RomWriter::finish() {
    txBuff_ = makeCmd('Q', false);
    setLabel(kFinished);
    if (screen_.showBurnRomOkButton) screen_.showBurnRomOkButton();
    UsbManager::sharedUsbManager().setIsBurnRom(false);
    finished_ = true;
    if (shared().writing == this) shared().writing = nullptr;
    sndData(txBuff_);
    // The link parses reports again; nothing more is awaited.
    watchdog_.stop();
    UsbHID::sharedManager().setVersionID(QStringLiteral(""));
    AppDelegate &delegate = AppDelegate::shared();
    if (delegate.outputVc()) {
        delegate.setOutputVc(nullptr);
        if (QObject *field = delegate.msgTextField()) field->setProperty("text", QStringLiteral(""));
        delegate.setMsgTextField(nullptr);
        AutoUpdate::updateSystemFinish();
    }
    BBInitDatas::setAutoVersionUp(false);
}

// ---- Replies

void RomWriter::reciveData(const QByteArray &report) {
    if (!active_ || finished_) return;
    Shared &state = shared();
    if (state.phase == 0) return;
    armWatchdog();
    // Cleared, then the report at its start: never more than the buffer holds.
    const QByteArray abRxBuff = report.left(kRxBuffSize);
    if (state.phase == 1) {
        if (!abRxBuff.isEmpty() && abRxBuff[0] == ctl::ACK) {
            addLog(false, QStringLiteral("<ACK>"));
            bRetry_ = 0;
            onAck();
            return;
        }
        addLog(false, QStringLiteral("<NAK>"));
        if (++bRetry_ >= kMaxRetries) return fail(QStringLiteral("E402"));
        addLog(true, UsbUtils::replaceAsciiStr(state.sSendStr));
        sndStr();
        return;
    }
    const int step = state.step;
    if (step != 1 && step != 3 && step != 5 && step != 8 && step != 11) return;
    addLog(false, UsbUtils::replaceAsciiStr(asciiText(abRxBuff)));
    if (step == 3) {
        // The version areas come in two reports, whatever their number: the first is only
        // noted, the second is acknowledged.
        if (!blnSndRcv_) {
            blnSndRcv_ = true;
            return;
        }
        blnSndRcv_ = false;
        return onReply();
    }
    // A reply may come in several reports.
    reply_.append(abRxBuff);
    if (reply_.size() < expectedReplyLength()) return;
    onReply();
}

int RomWriter::expectedReplyLength() const {
    switch (shared().step) {
        case 1:
            return kBootReplyLength;
        case 5:
        case 11:
            return kSumReplyLength;
        default:
            return 1;
    }
}

void RomWriter::onAck() {
    Shared &state = shared();
    FirmwareFiles &files = controller_.firmwareFiles();
    switch (state.step) {
        case 0:
            timer_.stop();
            setLabel(kTransferring);
            burnStatus_ = Connected;
            reply_.clear();
            state.step = 1;
            return makeData();
        case 1:
        case 8:
            reply_.clear();
            state.phase = 2;
            return;
        case 2:
            state.step = 3;
            return makeData();
        case 3:
            files.setIRomCnt(0);
            ayErsBlk_ = QList<bool>(RomInf_t::kMaxEraseBlocks, false);
            blnSndRcv_ = false;
            reply_.clear();
            state.phase = 2;
            return;
        case 4:
            iSndCnt_ = 0;
            state.step = 5;
            return makeData();
        case 5:
        case 11:
            if (iSndCnt_ < iSndMax_) {
                ++iSndCnt_;
                return makeData();
            }
            if (state.step == 11) {
                iSndCnt_ = iSndMax_;
                asSendData_.clear();
            }
            reply_.clear();
            state.phase = 2;
            return;
        case 6:
            state.step = 7;
            return vWrtNextRom();
        case 7:
            state.step = 8;
            return makeData();
        case 9:
            state.step = 10;
            return makeData();
        case 10:
            iSndCnt_ = 0;
            state.step = 11;
            return makeData();
        default:
            state.phase = 0;
            return;
    }
}

void RomWriter::onReply() {
    Shared &state = shared();
    FirmwareFiles &files = controller_.firmwareFiles();
    const QByteArray reply = reply_;
    reply_.clear();
    switch (state.step) {
        case 1: {
            sClientName_ = asciiText(reply.left(16)).trimmed();
            sendAck();
            if (sClientName_ != files.tPrjInf().sBootName) {
                // Not the boot loader the firmware is made for: waiting on would hang.
                return fail(QStringLiteral("E402"));
            }
            state.step = 2;
            return makeData();
        }
        case 3:
            sendAck();
            state.step = 4;
            return makeData();
        case 5:
            sWrtRcvSum_ = sumText(reply);
            sendAck();
            isBurning_ = true;
            state.step = 0;
            if (sWrtRcvSum_.compare(files.sWrtPrgSum(), Qt::CaseInsensitive) != 0 ||
                files.sWrtPrgSum().isEmpty())
                return sumError(kMethod + QStringLiteral("  "), files.sWrtPrgSum(), sWrtRcvSum_);
            // The instrument restarts into the write program; it is addressed again later.
            watchdog_.stop();
            delete restart_;
            restart_ = new QObject(this);
            cvx::Dispatch::mainAfter(timings().restartMs, restart_, [this] { restartAfterProgram(); });
            return;
        case 8:
            if (reply.isEmpty() || reply[0] != 0) return;  // not done yet: the next report is judged alike
            sendAck();
            state.step = 9;
            return makeData();
        case 11: {
            sRomRcvSum_ = sumText(reply);
            sendAck();
            const QString expected = files.asRomPrgSum().value(files.iRomCnt());
            if (expected.isEmpty() || sRomRcvSum_.compare(expected, Qt::CaseInsensitive) != 0)
                return sumError(kMethod + QStringLiteral(" "), expected, sRomRcvSum_);
            files.setIRomCnt(files.iRomCnt() + 1);
            return vWrtNextRom();
        }
        default:
            return;
    }
}

void RomWriter::restartAfterProgram() {
    restart_->deleteLater();
    restart_ = nullptr;
    stopClock();
    // The mode would keep the link from taking up an instrument still restarting: it is set
    // once the instrument is back.
    if (burnStatus_ != Removed) setMode(1);
    isBurning_ = false;
    makeData();  // "S", still step 0
    shared().step = 6;
}

void RomWriter::vWrtNextRom() {
    Shared &state = shared();
    FirmwareFiles &files = controller_.firmwareFiles();
    const RomInf_t &record = files.atRomInf()[0];
    const std::int32_t r = files.iRomCnt();
    if (r >= record.bWrtRomNum) {
        state.step = 12;
        return makeData();
    }
    const quint64 fileEnd = quint64(record.aaqWrtRomEndAdr.value(r));
    const quint64 lowerBound = quint64(record.qWrtPrgEndAdr.value(r));
    const std::int32_t blocks = std::min(record.bErsNum, RomInf_t::kMaxEraseBlocks);
    for (std::int32_t i = 0; i < blocks; ++i) {
        if (ayErsBlk_.value(i)) continue;
        const bool beginsInFile = quint64(record.qErsBgnAdr.value(i)) <= fileEnd;
        const bool reachesBound =
            quint64(record.qErsEndAdr.value(i)) >= lowerBound ||
            (i + 1 < record.bErsNum && quint64(record.qErsEndAdr.value(i + 1)) >= lowerBound);
        if (beginsInFile && reachesBound) {
            bErsBlk_ = std::uint8_t(i);
            if (ayErsBlk_.size() < RomInf_t::kMaxEraseBlocks) ayErsBlk_.resize(RomInf_t::kMaxEraseBlocks);
            ayErsBlk_[i] = true;
            state.step = 7;
            return makeData();
        }
    }
    state.step = 9;
    makeData();
}

void RomWriter::sumError(const QString &method, const QString &expected, const QString &received) {
    const QString line =
        QStringLiteral("%1チェックサム 異常!!   [SEND](%2) != [RECV](%3)").arg(method, expected, received);
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                         QStringLiteral(" +0000");
    AppDelegate::shared().errorLog(QStringLiteral("\n\n*************************exception begin\nexception "
                                                  "time: %1\n%2\n*************************exception end\n\n")
                                       .arg(time, line));
    fail(QStringLiteral("E402"));
}

// ---- Log

void RomWriter::addLog(bool sent, const QString &text) {
    const QString path = cvx::FileManager::appendingPathComponent(cvx::FileManager::homeDirectory(),
                                                                  QStringLiteral("RomConvert.log"));
    const bool first = strConvertLogData_.isEmpty();
    strConvertLogData_ = sent ? QStringLiteral("/----- (TxD) <Port 1>------\r\n")
                              : QStringLiteral("/----- (RxD) <Port 1>------\r\n");
    const QByteArray entry = (strConvertLogData_ + text + QStringLiteral("\r\n")).toUtf8();
    // The first entry starts the log anew. Each goes through the checked append, as in the
    // other logs: one that a full disk cuts short is taken back, never left half, and the
    // firmware write goes on without it.
    if (first) (void)cvx::FileManager::writeAtomically(path, QByteArray());
    (void)cvx::FileManager::appendToFile(path, entry);
}
