// The simulator itself, checked against a bare host on the virtual HID bus so that later
// tests can trust it.
#include <gtest/gtest.h>

#include "platform/HidManager.h"
#include "platform/VirtualHidDevice.h"
#include "support/InstrumentSimulator.h"

using namespace cvxtest;

namespace {

QByteArray nonZero(const QByteArray &bytes) {
    QByteArray out = bytes;
    out.removeIf([](char c) { return c == 0; });
    return out;
}

// The program's side at its plainest: joins reports into frames and ACKs ENQ and every
// frame, or answers as told.
class Host {
public:
    Host() : manager_(cvx::VirtualHidHub::install().createManager()) {
        manager_->setDeviceMatchingCallback([this](const cvx::HidDevicePtr &device) {
            device_ = device;
            device->setInputReportCallback([this](std::span<const quint8> r) {
                received(QByteArray(reinterpret_cast<const char *>(r.data()), qsizetype(r.size())));
            });
        });
        EXPECT_EQ(manager_->open(), cvx::HidResult::Ok);
        manager_->setDeviceMatching(cvx::kInstrumentVendorId, cvx::kInstrumentProductId);
    }

    void send(const QByteArray &bytes) { device_->sendOutputReport(bytes); }

    bool ackFrames = true;
    QList<QByteArray> reports;  // as received
    QList<QByteArray> frames;   // joined from their reports
    QList<int> reportsPerFrame;
    QByteArray controls;  // control bytes received outside frames

private:
    void received(const QByteArray &report) {
        reports.append(report);
        const QByteArray bytes = nonZero(report);
        if (bytes.isEmpty()) return;
        if (bytes.front() == ctl::STX) {
            partial_ = bytes;
            parts_ = 1;
        } else if (!partial_.isEmpty()) {
            partial_ += bytes;
            ++parts_;
        } else {
            controls += bytes;
            if (bytes.front() == ctl::ENQ) send(QByteArray(1, ctl::ACK));
            return;
        }
        if (partial_.back() == ctl::ETX || partial_.back() == ctl::ETB) {
            frames.append(std::exchange(partial_, {}));
            reportsPerFrame.append(parts_);
            if (ackFrames) send(QByteArray(1, ctl::ACK));
        }
    }

    std::unique_ptr<cvx::HidManager> manager_;
    cvx::HidDevicePtr device_;
    QByteArray partial_;
    int parts_ = 0;
};

QList<QByteArray> recordNames(const QList<QByteArray> &frames) {
    QList<QByteArray> names;
    for (const QByteArray &bytes : frames) {
        const std::optional<Frame> frame = decodeFrame(bytes);
        names.append(frame ? frame->text.split('|').value(1).split('\r').value(0) : "?");
    }
    return names;
}

TEST(InstrumentFrames, ChecksumIsTheUpperCaseHexByteSum) {
    EXPECT_EQ(buildFrame("002002X|STATE\r"), QByteArray("\x02"
                                                        "002002X|STATE\r86\x03"));
    EXPECT_EQ(buildFrame("002001H|$^&|R||PC|||||||||\r", ctl::ETB),
              QByteArray("\x02"
                         "002001H|$^&|R||PC|||||||||\r51\x17"));
    EXPECT_EQ(frameChecksum(QByteArray(1, '\x0A')), "0A");
    EXPECT_EQ(frameChecksum("\xff\x01"), "00");

    const std::optional<Frame> frame = decodeFrame(buildFrame("A\rB\r", ctl::ETB));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->text, "A\rB\r");
    EXPECT_EQ(frame->terminator, ctl::ETB);
    EXPECT_TRUE(frame->checksumOk());
    EXPECT_EQ(frame->records(), (QList<QByteArray>{"A", "B"}));
    for (const QByteArray &bad : {QByteArray("\x02"
                                             "A8\x03"),
                                  QByteArray("A\r5E\x03"),
                                  QByteArray("\x02"
                                             "A\r5E")})
        EXPECT_FALSE(decodeFrame(bad)) << bad.toStdString();
}

TEST(InstrumentFrames, RecordsCarryTheFieldsTheLinkReads) {
    const Measurement m(Measurement::Generation::Older);
    const QList<QByteArray> fields = records::pad(7, m.first.pads[int(Pad::NH3)]).split('|');
    ASSERT_EQ(fields.size(), 6);
    EXPECT_EQ(fields[0], "002007X");
    EXPECT_EQ(fields[1], "INF13\rY");  // a record name ends at the CR that starts the next record
    EXPECT_EQ(fields[2], "NAME^NH3");
    EXPECT_EQ(fields[3], "DATA^2512$4890$2630$4975$2791$5012");
    EXPECT_EQ(fields[4], "REF^547$547$547");
    EXPECT_EQ(fields[5], "DARK^12\r");

    const QList<QByteArray> header = records::header(1, "12345678", "V01.00").split('|');
    EXPECT_EQ(header.value(4), "SX^12345678 V01.00");
    const QList<QByteArray> state = records::state(2, 2, "V1.23").split('|');
    EXPECT_EQ(state.value(2), "INF^2");
    EXPECT_EQ(state.value(4), "VER^V1.23\r");
    const QList<QByteArray> result = records::resultHeader(2, m.second, "1", "0").split('|');
    ASSERT_EQ(result.size(), 10);
    EXPECT_EQ(result[1], "RESLT_AD^1\rY");
    EXPECT_EQ(result[8], "COUNT^1");
    EXPECT_EQ(result[9], "TYPE^0\r");
}

TEST(InstrumentSimulator, MeasurementGoesOutInAcknowledgedExchangesOfSmallReports) {
    InstrumentSimulator sim;
    Host host;
    sim.attach();
    sim.sendMeasurement(Measurement(Measurement::Generation::Older));
    ASSERT_TRUE(sim.run());

    // Three exchanges: the state, then each pass.
    EXPECT_EQ(host.controls, QByteArray("\x05\x04\x05\x04\x05\x04"));
    const QList<QByteArray> pass = {"$^&",   "RESLT_AD^1", "KARTE", "INF12", "INF13", "INF13", "INF13",
                                    "INF13", "INF13",      "INF13", "INF13", "INF13", "INF13"};
    EXPECT_EQ(recordNames(host.frames), (QList<QByteArray>{"$^&", "STATE"} + pass + pass));
    EXPECT_EQ(sim.sentFrames().size(), 28);
    EXPECT_EQ(sim.unacknowledgedFrames(), 0);
    EXPECT_TRUE(sim.isIdle());
    for (const QByteArray &report : host.reports) EXPECT_LE(report.size(), 64);
    for (int i = 0; i < host.frames.size(); ++i) {
        EXPECT_EQ(host.frames[i], sim.sentFrames()[i].bytes);
        EXPECT_EQ(host.reportsPerFrame[i], host.frames[i].size() > 64 ? 2 : 1);
        EXPECT_LE(host.frames[i].size(), 128);
        EXPECT_TRUE(decodeFrame(host.frames[i])->checksumOk());
    }
    // The KARTE record carries the default chart number; the older pads keep their names.
    EXPECT_TRUE(host.frames[4].contains("KARTE\rY|ID^12345\r"));
    EXPECT_TRUE(host.frames[12].contains("NAME^LEU|"));
    EXPECT_TRUE(host.frames[14].contains("NAME^NH3|"));
}

TEST(InstrumentSimulator, FaultsShapeTheReportsAndChecksums) {
    struct Case {
        const char *label;
        InstrumentSimulator::Faults faults;
        int reports;  // per frame of the STATE exchange
        bool zeros;
        bool checksumOk;
    };
    const auto faults = [](auto set) {
        InstrumentSimulator::Faults f;
        set(f);
        return f;
    };
    const Case cases[] = {
        {"plain", {}, 1, false, true},
        {"two reports", faults([](auto &f) { f.reportsPerFrame = 2; }), 2, false, true},
        {"three reports", faults([](auto &f) { f.reportsPerFrame = 3; }), 3, false, true},
        {"zero bytes", faults([](auto &f) { f.zeroBytes = true; }), 1, true, true},
        {"zero padding", faults([](auto &f) { f.zeroPadding = true; }), 1, true, true},
        {"wrong checksum", faults([](auto &f) { f.wrongChecksum = true; }), 1, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        InstrumentSimulator sim;
        Host host;
        sim.attach();
        sim.setFaults(c.faults);
        sim.sendState(3, "V9.99");
        ASSERT_TRUE(sim.run());
        ASSERT_EQ(host.frames.size(), 2);
        EXPECT_EQ(host.reportsPerFrame, (QList<int>{c.reports, c.reports}));
        bool zeros = false;
        for (const QByteArray &report : host.reports) {
            EXPECT_LE(report.size(), 64);
            if (c.faults.zeroPadding) {
                EXPECT_EQ(report.size(), 64);
            }
            zeros = zeros || report.contains('\0');
        }
        EXPECT_EQ(zeros, c.zeros);
        EXPECT_EQ(nonZero(host.frames[1]), sim.sentFrames()[1].bytes);
        EXPECT_EQ(decodeFrame(nonZero(host.frames[1]))->checksumOk(), c.checksumOk);
    }
}

TEST(InstrumentSimulator, LowerCaseChecksumDigits) {
    InstrumentSimulator sim;
    Host host;
    sim.attach();
    InstrumentSimulator::Faults f;
    f.lowerCaseChecksum = true;
    sim.setFaults(f);
    sim.sendFrames({"002002X|STATE\rY|INF^1||VER^V1.0C\r"});
    ASSERT_TRUE(sim.run());
    ASSERT_EQ(host.frames.size(), 1);
    const Frame frame = *decodeFrame(host.frames[0]);
    EXPECT_EQ(frame.checksum, frameChecksum(frame.text).toLower());
    EXPECT_NE(frame.checksum, frameChecksum(frame.text));
}

TEST(InstrumentSimulator, WaitsForEachAckAndGivesUpOnTimeout) {
    InstrumentSimulator sim;
    Host host;
    host.ackFrames = false;
    sim.attach();
    sim.sendConnect();
    sim.sendState(1, "V1.00");
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(host.frames.size(), 1);  // the header, unanswered
    EXPECT_EQ(sim.unacknowledgedFrames(), 1);
    EXPECT_FALSE(sim.isIdle());

    sim.timeout();
    ASSERT_TRUE(sim.run());  // EOT, and the next exchange opens
    EXPECT_EQ(host.controls, QByteArray("\x05\x04\x05"));
    EXPECT_EQ(host.frames.size(), 2);
}

TEST(InstrumentSimulator, AnswersTheProgramsExchanges) {
    InstrumentSimulator sim;
    Host host;
    sim.attach();
    sim.setState(6, "V2.00");
    ASSERT_TRUE(sim.run());
    const auto exchange = [&](const QByteArray &message) {
        host.send(QByteArray(1, ctl::ENQ));
        host.send(buildFrame("002001H|$^&|R||PC|||||||||\r", ctl::ETB));
        host.send(buildFrame(message));
        host.send(QByteArray(1, ctl::EOT));
        ASSERT_TRUE(sim.run());
    };

    exchange("002002X|KARTE\rY|ID^A-123\r");
    exchange("002002X|CONNECT\rY|CLOCK^2026$03$05$09$07$03\r");
    EXPECT_EQ(host.controls, QByteArray("\x06\x06\x06\x06\x06\x06"));
    EXPECT_EQ(sim.chartNo(), "A-123");
    EXPECT_EQ(sim.clock(), "2026$03$05$09$07$03");
    EXPECT_EQ(sim.requests().size(), 4);
    EXPECT_TRUE(host.frames.isEmpty());

    // A state request is answered in an exchange of the instrument's own.
    exchange("002002X|STATE\r");
    EXPECT_EQ(sim.stateRequests(), 1);
    EXPECT_EQ(recordNames(host.frames), (QList<QByteArray>{"$^&", "STATE"}));
    EXPECT_TRUE(host.frames[1].contains("INF^6||VER^V2.00\r"));

    // A frame with a wrong checksum gets NAK; with NAK or silence set, so does ENQ.
    host.controls.clear();
    host.send(QByteArray(1, ctl::ENQ));
    host.send(buildFrame("002002X|STATE\r").replace("86", "87"));
    InstrumentSimulator::Faults f;
    f.reply = InstrumentSimulator::Reply::Nak;
    sim.setFaults(f);
    host.send(QByteArray(1, ctl::ENQ));
    f.reply = InstrumentSimulator::Reply::Silence;
    sim.setFaults(f);
    host.send(QByteArray(1, ctl::ENQ));
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(host.controls, QByteArray("\x06\x15\x15"));
}

}  // namespace
