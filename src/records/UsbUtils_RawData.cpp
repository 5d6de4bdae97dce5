// The comma-separated raw data lines of patient and check results, and the one reader
// that interprets a stored line here.
#include <algorithm>

#include "platform/Numbers.h"
#include "records/CalcSettingDatas.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"

namespace {

constexpr int kPadCount = 9;
constexpr int kDummyPosition = 3;
constexpr int kCalPosition = 5;
// Entry of each pad position among the seven item entries (MS, pH, BFC, BLD, LEU, ALB,
// NH3); -1 for the two reference pads.
constexpr int kEntryOfPad[kPadCount] = {2, 1, 0, -1, 3, -1, 4, 5, 6};

const QString kComma = QStringLiteral(",");
const QString kDegrees = QStringLiteral(" ℃");

// Readers find fields by position, so an instrument text must not bring its own commas.
QString field(const QString &text) {
    QString out = text;
    out.remove(QLatin1Char(','));
    return out.isNull() ? QStringLiteral("") : out;
}

QString tenths(const QString &reading) {
    return cvx::format("%.1f", cvx::intValue(reading) / 10.0);
}

bool isReferenceName(const QString &name) {
    const QString trimmed = NSStringExt::trim(name);
    return trimmed == QLatin1String("DUMMY") || trimmed == QLatin1String("[Cal]");
}

QString basicBlock(const TYTestData &data, const QString &entry, bool reference) {
    QString block = field(data.tyName()) + QStringLiteral(",0,");
    if (reference) {
        block += QStringLiteral("---,") + tenths(data.tyRefTempBefor()) + kComma;
    } else {
        const QStringList parts = entry.split(QLatin1Char('|'));
        block += field(parts.value(1)) + kComma + field(parts.value(0)) + kComma;
    }
    return block;
}

const TYTestData &padAt(const TYEachTest &pass, int k) {
    switch (k) {
        case 0:
            return pass.bfcTestData();
        case 1:
            return pass.phTestData();
        case 2:
            return pass.msTestData();
        case 3:
            return pass.dummyTestData();
        case 4:
            return pass.bldTestData();
        case 5:
            return pass.calTestData();
        case 6:
            return pass.leuTestData();
        case 7:
            return pass.albTestData();
        default:
            return pass.nh3TestData();
    }
}

// The ten readings of a pad in block order.
QStringList readingsOf(const TYTestData &d) {
    return {d.tySample565(),    d.tyReference565(), d.tySample635(),    d.tyReference635(), d.tySample760(),
            d.tyReference760(), d.tyRefBefor(),     d.tyRefTempBefor(), d.tyRefnmBefor(),   d.tyDark()};
}

QString lineStart(const QString &deviceNo, const QString &versionID, const TYEachTest &second) {
    return field(deviceNo) + QStringLiteral(":V") + field(versionID) + kComma + field(second.tyData()) +
           kComma + field(second.tyTime()) + kComma + field(second.tyTestNO()) + kComma;
}

}  // namespace

QString UsbUtils::getBasicInfo(const TYTestData &data, const QString &entry) {
    return basicBlock(data, entry, isReferenceName(data.tyName()));
}

QString UsbUtils::getNumberInfo(const TYTestData &first, const TYTestData &second) {
    QString block = field(second.tyName()) + kComma;
    const QStringList a = readingsOf(first);
    const QStringList b = readingsOf(second);
    for (qsizetype i = 0; i < a.size(); ++i) block += field(a[i]) + kComma + field(b[i]) + kComma;
    return block;
}

QString UsbUtils::rsvDataLine(const QString &deviceNo, const QString &versionID, const TYTestInfo &test,
                              const QStringList &entries) {
    const TYEachTest &first = test.firstTest();
    const TYEachTest &second = test.secondTest();
    QString line = lineStart(deviceNo, versionID, second);
    const double temperature =
        (cvx::intValue(second.tyTemp()) / 10.0 + cvx::intValue(first.tyTemp()) / 10.0) * 0.5;
    line += cvx::format("%.1f", temperature) + kDegrees + kComma;
    for (int k = 0; k < kPadCount; ++k) {
        const TYTestData &pad = padAt(first, k);
        // A reference pad that was never sent has no name to tell it by.
        const bool reference = k == kDummyPosition || k == kCalPosition || isReferenceName(pad.tyName());
        const QString entry = kEntryOfPad[k] < 0 ? QString() : entries.value(kEntryOfPad[k]);
        line += basicBlock(pad, entry, reference);
    }
    line += QString(8, QLatin1Char(','));
    for (int k = 0; k < kPadCount; ++k) line += getNumberInfo(padAt(first, k), padAt(second, k));
    line += QString(42, QLatin1Char(','));
    line += QStringList{field(first.tyWhite565()),  field(second.tyWhite565()), field(first.tyWhite635()),
                        field(second.tyWhite635()), field(first.tyWhite760()),  field(second.tyWhite760())}
                .join(kComma);
    return line;
}

QString UsbUtils::checkRsvDataLine(const QString &deviceNo, const QString &versionID,
                                   const TYEachTest &second, const QList<TYTestData> &records) {
    QString line = lineStart(deviceNo, versionID, second);
    line += tenths(second.tyTemp()) + kDegrees + kComma;
    for (const TYTestData &record : records)
        line += QStringLiteral("CHECK,0,---,") + tenths(record.tyRefTempBefor()) + kComma;
    for (const TYTestData &record : records) {
        line += QStringLiteral("CHECK,");
        // The empty fields stand where a patient line has the first pass's readings.
        for (const QString &reading : readingsOf(record)) line += kComma + field(reading) + kComma;
    }
    line += kComma;
    line += field(second.tyWhite565()) + QStringLiteral(",,") + field(second.tyWhite635()) +
            QStringLiteral(",,") + field(second.tyWhite760());
    return line;
}

int UsbUtils::getItemStatus(bool flag, const QString &line) {
    return getItemStatus(flag, QStringView(line).split(QLatin1Char(',')));
}

int UsbUtils::getItemStatus(bool flag, const QList<QStringView> &fields) {
    // Compared in place: a line has some three hundred fields. Both names end in "U", so a
    // field ending in another printable ASCII character (every number) is passed over at once.
    const auto trimmedIs = [](QStringView field, QLatin1StringView name) {
        if (field.isEmpty()) return false;
        const char16_t last = field.back().unicode();
        if (last != u'U' && last > u' ' && last < 0x7F) return false;
        qsizetype begin = 0;
        qsizetype end = field.size();
        while (end > 0 && NSStringExt::isWhitespaceOrNewline(field[end - 1])) --end;
        if (end - begin < name.size()) return false;
        while (begin < end && NSStringExt::isWhitespaceOrNewline(field[begin])) ++begin;
        return end - begin == name.size() && field.sliced(begin, end - begin) == name;
    };
    const bool current = std::any_of(fields.cbegin(), fields.cend(),
                                     [&](QStringView f) { return trimmedIs(f, QLatin1StringView("I_LEU")); });
    if (!current) return 0;
    if (!flag) return 1;
    qsizetype found = -1;
    for (qsizetype i = fields.size() - 1; i >= 0; --i) {
        if (trimmedIs(fields[i], QLatin1StringView("LEU")) ||
            trimmedIs(fields[i], QLatin1StringView("I_LEU"))) {
            found = i;
            break;
        }
    }
    if (found < 0) return -1;
    // Ranges that fail to load leave the line unjudged, as a line without a LEU name is;
    // the exception hook has logged the failure.
    const CalcSettingDatas *calc = nullptr;
    try {
        calc = &CalcSettingDatas::getInst();
    } catch (const CalcSettingDatas::LoadError &) {
        return -1;
    }
    const CalcValues &leu = calc->I_LEU();
    switch (leu.UseData()) {
        case 1:
            return 2;
        case 0:
            return 3;
        default:
            break;
    }
    const double value = cvx::intValue(fields.value(found + 15)) / 10.0;
    return value < cvx::doubleValue(leu.Threshold()) ? 2 : 3;
}
