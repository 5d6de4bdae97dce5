#pragma once

// The saliva-test instrument, played over a virtual HID device so that the link, the
// measurement flow and the firmware writer are tested end to end.
//
// The simulator only queues what it is told to send; run() pumps the event loop, opens
// the queued exchanges one after the other (ENQ, one frame per ACK of the program, EOT)
// and answers the exchanges the program opens (ACK to ENQ and to every good frame, a STATE
// record after a state request). Every exchange of the instrument starts with a header
// frame that carries its serial number and version. Construct the simulator before the
// link's transport is first used: the transport's HID manager sees virtual devices only
// when it is created after the hub is installed.
//
//     cvxtest::InstrumentSimulator sim;
//     UsbManager::sharedUsbManager().connectHID();
//     sim.attach();
//     sim.sendState(1, "V1.23");
//     sim.sendMeasurement(cvxtest::Measurement{});
//     sim.run();
//     EXPECT_EQ(sim.unacknowledgedFrames(), 0);

#include <QByteArray>
#include <QList>
#include <QString>

#include "platform/VirtualHidDevice.h"
#include "support/InstrumentFrames.h"

namespace cvxtest {

class InstrumentSimulator {
public:
    struct Identity {
        QString serial = QStringLiteral("12345678");
        QString mainVersion = QStringLiteral("V01.00");  // its last five characters: 1.0
    };

    // How the instrument answers the program's ENQ and frames.
    enum class Reply { Ack, Nak, Silence };

    // Misbehaviour, applied to everything sent while set.
    struct Faults {
        bool wrongChecksum = false;      // checksum one off
        bool lowerCaseChecksum = false;  // hexadecimal letters in lower case
        // 0: as few reports as fit (64 bytes each); 2 or 3 spread every frame over that many.
        int reportsPerFrame = 0;
        bool zeroBytes = false;    // a zero byte before and one inside every report
        bool zeroPadding = false;  // every report filled up to 64 bytes with zeros
        Reply reply = Reply::Ack;  // to the program's ENQ and frames; bad frames get NAK
    };

    // One frame the instrument sent and what the program answered.
    struct SentFrame {
        QByteArray bytes;  // the whole frame, before it was cut into reports
        bool acknowledged = false;
    };

    InstrumentSimulator();   // installs the virtual HID hub
    ~InstrumentSimulator();  // unplugs and delivers the removal
    InstrumentSimulator(const InstrumentSimulator &) = delete;
    InstrumentSimulator &operator=(const InstrumentSimulator &) = delete;

    // Plugs in / unplugs the instrument (its events arrive with run()). Unplugging drops
    // the queued and open exchanges.
    void attach();
    void detach();
    bool isAttached() const;
    cvx::VirtualHidDevicePtr device() const { return device_; }

    void setIdentity(const Identity &identity) { identity_ = identity; }
    const Identity &identity() const { return identity_; }
    void setFaults(const Faults &faults) { faults_ = faults; }
    const Faults &faults() const { return faults_; }

    // The state and display version a state request is answered with (1, "V1.00" at first).
    void setState(int digit, const QString &displayVersion);
    int state() const { return state_; }
    QString displayVersion() const { return displayVersion_; }
    // Off: state requests are acknowledged but not answered.
    void setAnswersStateRequests(bool answers) { answersStateRequests_ = answers; }

    // ---- Exchanges of the instrument, queued in call order.
    void sendConnect();
    // Also the state that later state requests are answered with.
    void sendState(int digit, const QString &displayVersion);
    // STATE m.state, then one exchange per pass: result header (pass number "0" or "1",
    // type m.type), KARTE, white record and the nine pads.
    void sendMeasurement(const Measurement &m);
    // STATE m.state, then one exchange: result header of m.second with pass number "1"
    // and type "1", white record and m.second's pad records as check records.
    void sendCheckMeasurement(const Measurement &m);
    // One exchange of the header frame and these record texts, each a frame of its own
    // (build them with records::, numbering them from 2).
    void sendRecords(const QList<QByteArray> &records);
    // One exchange of exactly these frame texts, each ending in ETX (no header frame).
    void sendFrames(const QList<QByteArray> &texts);
    // One input report, fed at once, outside any exchange.
    void sendRawReport(const QByteArray &report);

    // Pumps the event loop, opening queued exchanges whenever the link is quiet, until
    // nothing more happens. Returns false if the events did not stop coming.
    bool run();
    // The instrument gives up waiting: sends EOT and drops its open exchange, and stops
    // waiting for the end of a stalled exchange of the program.
    void timeout();
    // No exchange of the instrument open or queued.
    bool isIdle() const;

    // ---- What was exchanged.
    QList<QByteArray> reports() const { return reports_; }  // every report the program sent
    QList<Frame> requests() const { return requests_; }     // its frames among them, decoded
    QList<SentFrame> sentFrames() const { return sentFrames_; }
    int unacknowledgedFrames() const;
    int stateRequests() const { return stateRequests_; }
    // The program's last clock ("2026$03$05$09$07$03") and chart number; null before any.
    QString clock() const { return clock_; }
    QString chartNo() const { return chartNo_; }
    void clearHistory();

private:
    enum class Phase { Idle, WaitEnqAck, WaitFrameAck };
    struct OutFrame {
        QByteArray text;
        char terminator;
        int karteSeq = 0;  // > 0: a KARTE record with the chart number known when it goes out
    };
    using Exchange = QList<OutFrame>;

    void enqueue(const Exchange &exchange);
    Exchange opening() const;  // the header frame that starts every exchange
    void startNextExchange();
    void onOutputReport(const QByteArray &report);
    void onProgramMessage(const Frame &frame);
    void advanceOwnExchange();
    void sendFrame(const OutFrame &frame);
    void sendControl(char byte);
    QList<QByteArray> cut(const QByteArray &bytes, bool frame) const;
    QString announcedChartNo() const;

    cvx::VirtualHidDevicePtr device_;
    Identity identity_;
    Faults faults_;
    int state_ = 1;
    QString displayVersion_ = QStringLiteral("V1.00");
    bool answersStateRequests_ = true;

    QList<Exchange> queue_;  // not yet opened
    Exchange open_;
    int next_ = 0;  // index in open_ of the frame awaiting its ACK
    Phase phase_ = Phase::Idle;
    bool programExchange_ = false;  // the program's exchange is under way
    QList<Frame> programFrames_;    // of that exchange

    QList<QByteArray> reports_;
    QList<Frame> requests_;
    QList<SentFrame> sentFrames_;
    int stateRequests_ = 0;
    QString clock_;
    QString chartNo_;
};

}  // namespace cvxtest
