#include "support/RomSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <algorithm>

#include "link/ControlBytes.h"
#include "platform/HidManager.h"

namespace cvxtest {

namespace {

bool sumIsRight(const QByteArray &frame) {
    if (frame.isEmpty()) return false;
    quint8 sum = 0;
    for (qsizetype i = 0; i + 1 < frame.size(); ++i) sum += quint8(frame[i]);
    return sum == quint8(frame.back());
}

}  // namespace

RomSimulator::RomSimulator() {
    cvx::VirtualHidHub::install();
}

RomSimulator::~RomSimulator() {
    if (isAttached()) {
        detach();
        cvx::HidManager::processPendingEvents();
    }
}

void RomSimulator::attach() {
    if (isAttached()) return;
    device_ = cvx::VirtualHidHub::install().attach();
    device_->setOutputHandler([this](const QByteArray &report) { onOutputReport(report); });
}

void RomSimulator::detach() {
    if (device_) cvx::VirtualHidHub::install().remove(device_);
}

bool RomSimulator::isAttached() const {
    return device_ && device_->isAttached();
}

QList<QByteArray> RomSimulator::frames() const {
    QList<QByteArray> result;
    for (const QByteArray &report : reports_)
        if (report != QByteArray(1, ::ctl::ACK)) result.append(report);
    return result;
}

bool RomSimulator::runUntil(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        cvx::HidManager::processPendingEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    cvx::HidManager::processPendingEvents();
    return true;
}

void RomSimulator::reply(const QByteArray &bytes) {
    for (qsizetype at = 0; at < bytes.size(); at += cvx::kHidInputReportSize)
        sendReport(bytes.mid(at, cvx::kHidInputReportSize));
}

void RomSimulator::sendReport(QByteArray bytes) {
    bytes.truncate(cvx::kHidInputReportSize);
    if (faults_.padReports) bytes = bytes.leftJustified(cvx::kHidInputReportSize, '\0');
    device_->feedInputReport(bytes);
}

void RomSimulator::ack() {
    reply(QByteArray(1, ::ctl::ACK));
}

void RomSimulator::nak() {
    reply(QByteArray(1, ::ctl::NAK));
}

void RomSimulator::sendSum(quint32 delta) {
    quint32 sum = 0;
    for (qsizetype i = 1; i < lines_.size(); ++i) {
        QByteArray data = lines_[i].mid(4, lines_[i].size() - 5);
        if (program_ && i == lines_.size() - 1) data.chop(4);
        for (char byte : data) sum += quint8(byte);
    }
    sum += delta;
    sums_.append(QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper());
    reply(QByteArray::fromHex(QByteArray::number(sum, 16).rightJustified(8, '0')));
}

void RomSimulator::lineReceived(const QByteArray &frame) {
    if (frame.startsWith(QByteArray(4, char(0xFF)))) {
        ack();
        sendSum(program_ ? faults_.programSumDelta : (romFile_ == 0 ? faults_.romSumDelta : 0));
        restartPending_ = program_ && faults_.restartMs >= 0;
        if (!program_) ++romFile_;
        lines_.clear();
        expect_ = Expect::Command;
        return;
    }
    lines_.append(frame);
    ack();
}

void RomSimulator::onOutputReport(const QByteArray &report) {
    reports_.append(report);
    if (report == QByteArray(1, ::ctl::ACK)) {
        if (restartPending_) {
            restartPending_ = false;
            detach();
            QTimer::singleShot(faults_.restartMs, [this] { attach(); });
        }
        return;
    }
    const int index = frameCount_++;
    if (index == faults_.removeAtFrame) {
        detach();
        return;
    }
    if (faults_.silentFromFrame >= 0 && index >= faults_.silentFromFrame) return;
    if (index == faults_.nakFrame && naksSent_ < faults_.naks) {
        ++naksSent_;
        --frameCount_;  // the same frame comes again
        nak();
        return;
    }

    switch (expect_) {
        case Expect::Command: {
            const bool plainS = report == QByteArray("\x02S\x03", 3);
            if (!plainS && (report.size() != 4 || report[0] != ::ctl::STX || report[2] != ::ctl::ETX ||
                            quint8(report[3]) != quint8(quint8(report[1]) + quint8(::ctl::ETX)))) {
                nak();
                return;
            }
            lastCommand_ = report[1];
            ack();
            switch (lastCommand_) {
                case 'B': {
                    QByteArray name = faults_.bootName.toLatin1().leftJustified(16, ' ');
                    reply(name + QByteArray(32, ' '));
                    break;
                }
                case 'P':
                case 'E':
                case 'T':
                    expect_ = Expect::Param;
                    break;
                case 'W':
                    program_ = true;
                    lines_.clear();
                    expect_ = Expect::Data;
                    break;
                case 'Q':
                    sawQuit_ = true;
                    break;
                default:
                    break;
            }
            return;
        }
        case Expect::Param:
            if (!sumIsRight(report) || (report.size() - 1) % 8 != 0) {
                nak();
                return;
            }
            ack();
            expect_ = Expect::Command;
            if (lastCommand_ == 'P') {
                // Two reports, whatever the number of areas; what does not fit is cut.
                const QByteArray areas(faults_.versionAreas * 52, 'v');
                const qsizetype half = std::min<qsizetype>((areas.size() + 1) / 2, cvx::kHidInputReportSize);
                sendReport(areas.left(half));
                sendReport(areas.mid(half));
            } else if (lastCommand_ == 'E') {
                for (int i = 0; i < faults_.busyEraseReplies; ++i) reply(QByteArray(1, 0x01));
                if (faults_.eraseMs > 0)
                    QTimer::singleShot(faults_.eraseMs, [this] {
                        if (isAttached()) reply(QByteArray(1, 0x00));
                    });
                else
                    reply(QByteArray(1, 0x00));
            } else if (lastCommand_ == 'T') {
                program_ = false;
                lines_.clear();
                expect_ = Expect::Data;
            }
            return;
        case Expect::Data:
            if (!sumIsRight(report)) {
                nak();
                return;
            }
            lineReceived(report);
            return;
    }
}

}  // namespace cvxtest
