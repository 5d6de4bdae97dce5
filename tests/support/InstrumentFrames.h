#pragma once

// The instrument's wire format, written independently of the link so that tests check the
// program against it: control bytes, frames with their checksum, and the records the
// instrument sends.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "link/ControlBytes.h"

namespace cvxtest {

namespace ctl = ::ctl;

// Two upper-case hexadecimal digits of the byte sum of `text` modulo 256.
QByteArray frameChecksum(const QByteArray &text);

// STX, text, checksum, terminator.
QByteArray buildFrame(const QByteArray &text, char terminator = ctl::ETX);

// A frame read back from its bytes.
struct Frame {
    QByteArray text;      // between STX and the checksum
    QByteArray checksum;  // the two characters as they stood
    char terminator = 0;  // ETB or ETX

    bool checksumOk() const { return checksum == frameChecksum(text); }
    // The text's records (split at CR, without an empty last one).
    QList<QByteArray> records() const;
};

// Null unless the bytes are STX, at least one text byte, two checksum characters and ETB
// or ETX.
std::optional<Frame> decodeFrame(const QByteArray &bytes);

// Pad positions in the order the instrument reports them.
enum class Pad { BFC, PH, MS, DUMMY, BLD, Cal, LEU, ALB, NH3 };
inline constexpr int kPadCount = 9;

// One pad's readings as the instrument sends them: integer texts, reflectances in tenths
// of a percent.
struct PadReading {
    QString name;             // as sent: "BFC", "PH", "MS", "DUMMY", "BLD", "[Cal]", "I_LEU" ...
    QStringList readings;     // six: sample, reference at 565 nm, at 635 nm, at 760 nm
    QStringList reflectance;  // three: before correction, after temperature, after wavelength
    QString dark;
};

// One photometry pass: its header values, the white reference and the nine pads.
struct Pass {
    QString resltAd = QStringLiteral("1");  // value carried with the record name
    QString date = QStringLiteral("2026-03-05");
    QString time = QStringLiteral("09:07");
    QString temperature = QStringLiteral("251");  // tenths of a degree
    QString testNo = QStringLiteral("0001");
    QString strip = QStringLiteral("1");
    QStringList white = {QStringLiteral("4950"), QStringLiteral("5010"), QStringLiteral("5120")};
    QList<PadReading> pads;  // kPadCount, in Pad order
};

// A whole measurement: the state announced before it and its two passes.
struct Measurement {
    // Current pads are named I_LEU and I_NH3, those of the older generation LEU and NH3.
    enum class Generation { Current, Older };

    explicit Measurement(Generation generation = Generation::Current);

    // Empty: the chart number the program has announced by the time the KARTE record goes
    // out (or "12345" when it has announced none).
    QString chartNo;
    int state = 2;                       // sent in a STATE record before the passes
    QString type = QStringLiteral("0");  // "1" marks a check measurement
    Pass first;
    Pass second;

    PadReading &pad(int pass, Pad pad) { return (pass == 0 ? first : second).pads[int(pad)]; }
    // All three reflectance values of the pad in both passes.
    Measurement &setReflectance(Pad pad, const QString &tenths);
};

// Record texts of the instrument's frames, each ending in CR. `seq` numbers the frame
// within its exchange, from 1.
namespace records {
QByteArray header(int seq, const QString &serial, const QString &mainVersion);
QByteArray connect(int seq);
QByteArray state(int seq, int digit, const QString &displayVersion);
// passNumber "0" for the first pass, "1" for the second.
QByteArray resultHeader(int seq, const Pass &pass, const QString &passNumber, const QString &type);
QByteArray karte(int seq, const QString &chartNo);
QByteArray white(int seq, const QStringList &values);
QByteArray pad(int seq, const PadReading &pad);
}  // namespace records

}  // namespace cvxtest
