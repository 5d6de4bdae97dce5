#include "support/InstrumentSimulator.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/HidManager.h"

namespace cvxtest {

namespace {

// Input reports are at most this long, and the program joins a frame from at most two.
constexpr qsizetype kReportSize = cvx::kHidInputReportSize;

QByteArray valueAfter(const QByteArray &record, const QByteArray &marker) {
    const qsizetype at = record.indexOf(marker);
    return at < 0 ? QByteArray() : record.mid(at + marker.size());
}

}  // namespace

InstrumentSimulator::InstrumentSimulator() {
    cvx::VirtualHidHub::install();
}

InstrumentSimulator::~InstrumentSimulator() {
    if (isAttached()) {
        detach();
        cvx::HidManager::processPendingEvents();
    }
}

void InstrumentSimulator::attach() {
    if (isAttached()) return;
    device_ = cvx::VirtualHidHub::install().attach();
    device_->setOutputHandler([this](const QByteArray &report) { onOutputReport(report); });
}

void InstrumentSimulator::detach() {
    if (!device_) return;
    cvx::VirtualHidHub::install().remove(device_);
    queue_.clear();
    open_.clear();
    phase_ = Phase::Idle;
    programExchange_ = false;
    programFrames_.clear();
}

bool InstrumentSimulator::isAttached() const {
    return device_ && device_->isAttached();
}

void InstrumentSimulator::setState(int digit, const QString &displayVersion) {
    state_ = digit;
    displayVersion_ = displayVersion;
}

// ---- Exchanges of the instrument

void InstrumentSimulator::enqueue(const Exchange &exchange) {
    queue_.append(exchange);
}

InstrumentSimulator::Exchange InstrumentSimulator::opening() const {
    return {{records::header(1, identity_.serial, identity_.mainVersion), ctl::ETB}};
}

void InstrumentSimulator::sendRecords(const QList<QByteArray> &texts) {
    Exchange exchange = opening();
    for (const QByteArray &text : texts) exchange.append({text, ctl::ETX});
    enqueue(exchange);
}

void InstrumentSimulator::sendFrames(const QList<QByteArray> &texts) {
    Exchange exchange;
    for (const QByteArray &text : texts) exchange.append({text, ctl::ETX});
    enqueue(exchange);
}

void InstrumentSimulator::sendRawReport(const QByteArray &report) {
    if (isAttached()) device_->feedInputReport(report);
}

void InstrumentSimulator::sendConnect() {
    sendRecords({records::connect(2)});
}

void InstrumentSimulator::sendState(int digit, const QString &displayVersion) {
    setState(digit, displayVersion);
    sendRecords({records::state(2, digit, displayVersion)});
}

QString InstrumentSimulator::announcedChartNo() const {
    return chartNo_.isEmpty() ? QStringLiteral("12345") : chartNo_;
}

void InstrumentSimulator::sendMeasurement(const Measurement &m) {
    sendState(m.state, displayVersion_);
    for (int pass = 0; pass < 2; ++pass) {
        const Pass &p = pass == 0 ? m.first : m.second;
        int seq = 2;
        Exchange exchange = opening();
        exchange.append({records::resultHeader(seq++, p, QString::number(pass), m.type), ctl::ETX});
        exchange.append({records::karte(seq, m.chartNo), ctl::ETX, m.chartNo.isEmpty() ? seq : 0});
        ++seq;
        exchange.append({records::white(seq++, p.white), ctl::ETX});
        for (const PadReading &pad : p.pads) exchange.append({records::pad(seq++, pad), ctl::ETX});
        enqueue(exchange);
    }
}

void InstrumentSimulator::sendCheckMeasurement(const Measurement &m) {
    sendState(m.state, displayVersion_);
    int seq = 2;
    QList<QByteArray> texts{
        records::resultHeader(seq++, m.second, QStringLiteral("1"), QStringLiteral("1")),
        records::white(seq++, m.second.white),
    };
    for (const PadReading &pad : m.second.pads) texts.append(records::pad(seq++, pad));
    sendRecords(texts);
}

bool InstrumentSimulator::run() {
    for (int round = 0; round < 10000; ++round) {
        if (!cvx::HidManager::processPendingEvents()) return false;
        // Only on a quiet line, so that the instrument never talks into the program's exchange.
        if (phase_ != Phase::Idle || programExchange_ || queue_.isEmpty() || !isAttached()) return true;
        startNextExchange();
    }
    return false;
}

void InstrumentSimulator::startNextExchange() {
    open_ = queue_.takeFirst();
    next_ = 0;
    phase_ = Phase::WaitEnqAck;
    sendControl(ctl::ENQ);
}

void InstrumentSimulator::advanceOwnExchange() {
    if (phase_ == Phase::WaitFrameAck) {
        sentFrames_.last().acknowledged = true;
        ++next_;
    }
    phase_ = Phase::WaitFrameAck;
    if (next_ < open_.size()) {
        sendFrame(open_[next_]);
        return;
    }
    phase_ = Phase::Idle;
    open_.clear();
    sendControl(ctl::EOT);
}

void InstrumentSimulator::timeout() {
    programExchange_ = false;
    programFrames_.clear();
    if (phase_ == Phase::Idle) return;
    phase_ = Phase::Idle;
    open_.clear();
    sendControl(ctl::EOT);
}

bool InstrumentSimulator::isIdle() const {
    return phase_ == Phase::Idle && queue_.isEmpty();
}

void InstrumentSimulator::sendFrame(const OutFrame &frame) {
    const QByteArray text =
        frame.karteSeq > 0 ? records::karte(frame.karteSeq, announcedChartNo()) : frame.text;
    QByteArray sum = frameChecksum(text);
    if (faults_.wrongChecksum) sum = frameChecksum(text + '\x01');
    if (faults_.lowerCaseChecksum) sum = sum.toLower();
    const QByteArray bytes = ctl::STX + text + sum + frame.terminator;
    sentFrames_.append({bytes, false});
    for (const QByteArray &report : cut(bytes, true)) device_->feedInputReport(report);
}

void InstrumentSimulator::sendControl(char byte) {
    if (!isAttached()) return;
    for (const QByteArray &report : cut(QByteArray(1, byte), false)) device_->feedInputReport(report);
}

QList<QByteArray> InstrumentSimulator::cut(const QByteArray &bytes, bool frame) const {
    const qsizetype zeros = faults_.zeroBytes ? 2 : 0;
    const qsizetype room = kReportSize - zeros;
    qsizetype parts = (bytes.size() + room - 1) / room;
    if (frame && faults_.reportsPerFrame > parts) parts = faults_.reportsPerFrame;
    if (frame && bytes.size() > 2 * room)
        ADD_FAILURE() << "instrument frame of " << bytes.size()
                      << " bytes does not fit two reports: " << bytes.toStdString();

    QList<QByteArray> reports;
    qsizetype at = 0;
    for (qsizetype i = 0; i < parts; ++i) {
        const qsizetype length = bytes.size() / parts + (i < bytes.size() % parts ? 1 : 0);
        QByteArray report = bytes.mid(at, length);
        at += length;
        if (faults_.zeroBytes) {
            report.insert((report.size() + 1) / 2, '\0');
            report.prepend('\0');
        }
        if (faults_.zeroPadding) report = report.leftJustified(kReportSize, '\0');
        reports.append(report);
    }
    return reports;
}

// ---- The program's side

void InstrumentSimulator::onOutputReport(const QByteArray &report) {
    reports_.append(report);
    if (report.isEmpty()) return;

    if (report.front() == ctl::STX) {
        const std::optional<Frame> frame = decodeFrame(report);
        if (frame) requests_.append(*frame);
        if (!programExchange_ || faults_.reply == Reply::Silence) return;
        if (frame && frame->checksumOk() && faults_.reply == Reply::Ack) {
            programFrames_.append(*frame);
            sendControl(ctl::ACK);
        } else {
            sendControl(ctl::NAK);
        }
        return;
    }
    if (report.size() != 1) return;

    switch (report.front()) {
        case ctl::ENQ:
            // While its own exchange is open the instrument keeps the line.
            if (phase_ != Phase::Idle) return;
            if (faults_.reply == Reply::Silence) return;
            if (faults_.reply == Reply::Nak) {
                sendControl(ctl::NAK);
                return;
            }
            programExchange_ = true;
            programFrames_.clear();
            sendControl(ctl::ACK);
            return;
        case ctl::ACK:
            if (phase_ != Phase::Idle) advanceOwnExchange();
            return;
        case ctl::EOT:
            if (!programExchange_) return;
            programExchange_ = false;
            for (const Frame &frame : std::exchange(programFrames_, {})) onProgramMessage(frame);
            return;
        default:
            return;
    }
}

void InstrumentSimulator::onProgramMessage(const Frame &frame) {
    const QList<QByteArray> lines = frame.records();
    if (lines.isEmpty()) return;
    const QByteArray &first = lines.front();
    const QByteArray second = lines.size() > 1 ? lines[1] : QByteArray();
    if (first.endsWith("X|STATE")) {
        ++stateRequests_;
        if (answersStateRequests_) sendRecords({records::state(2, state_, displayVersion_)});
    } else if (first.endsWith("X|CONNECT") && second.startsWith("Y|CLOCK^")) {
        clock_ = QString::fromLatin1(valueAfter(second, "CLOCK^"));
    } else if (first.endsWith("X|KARTE") && second.startsWith("Y|ID^")) {
        chartNo_ = QString::fromLatin1(valueAfter(second, "ID^"));
    }
}

int InstrumentSimulator::unacknowledgedFrames() const {
    int count = 0;
    for (const SentFrame &frame : sentFrames_) count += frame.acknowledged ? 0 : 1;
    return count;
}

void InstrumentSimulator::clearHistory() {
    reports_.clear();
    requests_.clear();
    sentFrames_.clear();
    stateRequests_ = 0;
}

}  // namespace cvxtest
