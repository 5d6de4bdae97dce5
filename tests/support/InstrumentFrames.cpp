#include "support/InstrumentFrames.h"

namespace cvxtest {

QByteArray frameChecksum(const QByteArray &text) {
    unsigned sum = 0;
    for (char c : text) sum += quint8(c);
    return QByteArray::number(sum % 256, 16).toUpper().rightJustified(2, '0');
}

QByteArray buildFrame(const QByteArray &text, char terminator) {
    return ctl::STX + text + frameChecksum(text) + terminator;
}

QList<QByteArray> Frame::records() const {
    QList<QByteArray> out = text.split(ctl::CR);
    if (!out.isEmpty() && out.last().isEmpty()) out.removeLast();
    return out;
}

std::optional<Frame> decodeFrame(const QByteArray &bytes) {
    if (bytes.size() < 5 || bytes.front() != ctl::STX) return std::nullopt;
    const char terminator = bytes.back();
    if (terminator != ctl::ETB && terminator != ctl::ETX) return std::nullopt;
    return Frame{bytes.mid(1, bytes.size() - 4), bytes.mid(bytes.size() - 3, 2), terminator};
}

namespace {

struct PadDefaults {
    Pad pad;
    const char *name;
    const char *olderName;
    const char *reflectance;
};

constexpr PadDefaults kPads[kPadCount] = {
    {Pad::BFC, "BFC", "BFC", "512"},   {Pad::PH, "PH", "PH", "623"},
    {Pad::MS, "MS", "MS", "418"},      {Pad::DUMMY, "DUMMY", "DUMMY", "900"},
    {Pad::BLD, "BLD", "BLD", "735"},   {Pad::Cal, "[Cal]", "[Cal]", "950"},
    {Pad::LEU, "I_LEU", "LEU", "604"}, {Pad::ALB, "ALB", "ALB", "688"},
    {Pad::NH3, "I_NH3", "NH3", "547"},
};

QList<PadReading> defaultPads(Measurement::Generation generation) {
    QList<PadReading> pads;
    for (const PadDefaults &d : kPads) {
        const QString refl = QString::fromLatin1(d.reflectance);
        pads.append(PadReading{
            QString::fromLatin1(generation == Measurement::Generation::Current ? d.name : d.olderName),
            {"2512", "4890", "2630", "4975", "2791", "5012"},
            {refl, refl, refl},
            QStringLiteral("12")});
    }
    return pads;
}

QByteArray prefix(int seq) {
    return "002" + QByteArray::number(seq).rightJustified(3, '0');
}

QByteArray ascii(const QString &text) {
    return text.toLatin1();
}

}  // namespace

Measurement::Measurement(Generation generation) {
    first.pads = defaultPads(generation);
    second = first;
    second.temperature = QStringLiteral("254");
    second.time = QStringLiteral("09:08");
}

Measurement &Measurement::setReflectance(Pad which, const QString &tenths) {
    for (int pass = 0; pass < 2; ++pass) pad(pass, which).reflectance = {tenths, tenths, tenths};
    return *this;
}

namespace records {

QByteArray header(int seq, const QString &serial, const QString &mainVersion) {
    return prefix(seq) + "H|$^&|R||SX^" + ascii(serial) + ' ' + ascii(mainVersion) + "|||||||||\r";
}

QByteArray connect(int seq) {
    return prefix(seq) + "X|CONNECT\rY|\r";
}

QByteArray state(int seq, int digit, const QString &displayVersion) {
    return prefix(seq) + "X|STATE\rY|INF^" + QByteArray::number(digit) + "||VER^" + ascii(displayVersion) +
           '\r';
}

QByteArray resultHeader(int seq, const Pass &pass, const QString &passNumber, const QString &type) {
    return prefix(seq) + "X|RESLT_AD^" + ascii(pass.resltAd) + "\rY|ID^1|DATE^" + ascii(pass.date) +
           "|TIME^" + ascii(pass.time) + "|TEMP^" + ascii(pass.temperature) + "|NO^" + ascii(pass.testNo) +
           "|STRIP^" + ascii(pass.strip) + "|COUNT^" + ascii(passNumber) + "|TYPE^" + ascii(type) + '\r';
}

QByteArray karte(int seq, const QString &chartNo) {
    return prefix(seq) + "X|KARTE\rY|ID^" + ascii(chartNo) + '\r';
}

QByteArray white(int seq, const QStringList &values) {
    return prefix(seq) + "X|INF12\rY|WHITE^" + ascii(values.join('$')) + '\r';
}

QByteArray pad(int seq, const PadReading &pad) {
    return prefix(seq) + "X|INF13\rY|NAME^" + ascii(pad.name) + "|DATA^" + ascii(pad.readings.join('$')) +
           "|REF^" + ascii(pad.reflectance.join('$')) + "|DARK^" + ascii(pad.dark) + '\r';
}

}  // namespace records

}  // namespace cvxtest
