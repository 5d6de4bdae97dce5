#include "maintenance/FirmwareFiles.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/Numbers.h"
#include "platform/TextEncoding.h"
#include "records/NSStringExt.h"

namespace {

const QString kSettingsFile = QStringLiteral("USB/FileInf.txt");
const QString kDataFolder = QStringLiteral("USB/Data/");
constexpr QLatin1StringView kNewLayout("/* ROM-WRITER TYPE = NEW */");
constexpr QLatin1StringView kProgramStart("/* PRG-DAT START */");
constexpr QLatin1StringView kProgramEnd("/* PRG-DAT END */");
constexpr QLatin1StringView kRomStart("/* ROM-DAT START */");
constexpr QLatin1StringView kRomEnd("/* ROM-DAT END */");
constexpr QLatin1StringView kEndLineMark("FFFFFFFF");
constexpr qsizetype kHeaderLength = 8 + 96;
constexpr qsizetype kSumLength = 8;
constexpr qsizetype kRomSumAt = 24;

QString &resourceRoot() {
    static QString root;
    return root;
}

int hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

bool isHexText(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return hexDigitValue(c) >= 0; });
}

// The writer compares sums as text with the upper-case digits the instrument reports.
bool isSumText(QStringView text) {
    return text.size() == kSumLength && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F');
           });
}

QString cleanLine(QString line) {
    line.remove(QLatin1Char('"'));
    return NSStringExt::trim(line);
}

// Blank lines carry nothing and are not sent, so they are not counted either; otherwise a
// blank before an end line would hide the sum of the line before it.
QStringList usedLines(const QString &text) {
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        QString cleaned = cleanLine(line);
        if (!cleaned.isEmpty()) lines.append(std::move(cleaned));
    }
    return lines;
}

bool isEndLine(const QString &line) {
    return line.startsWith(kEndLineMark);
}

// The unsigned hex number at the start of a value, "&H" removed; 0 when there is none.
// Nothing when it exceeds the 32 bits of the instrument's addresses.
std::optional<qint64> hexValue(QString text) {
    text.remove(QStringLiteral("&H"));
    qsizetype at = 0;
    while (at < text.size() && text[at].isSpace()) ++at;
    if (at + 2 < text.size() && text[at] == u'0' && (text[at + 1] == u'x' || text[at + 1] == u'X') &&
        hexDigitValue(text[at + 2]) >= 0)
        at += 2;
    quint64 value = 0;
    for (; at < text.size() && hexDigitValue(text[at]) >= 0; ++at) {
        value = value * 16 + quint64(hexDigitValue(text[at]));
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return qint64(value);
}

// The description's values in order: the text after the first comma of every line that has
// one, quotes removed and trimmed. Reading past the end or a malformed value marks the whole
// read as failed; later reads then give defaults, so loops must test ok().
class SettingValues {
public:
    explicit SettingValues(const QStringList &lines) {
        for (QString line : lines) {
            line.remove(QLatin1Char('"'));
            const qsizetype comma = line.indexOf(QLatin1Char(','));
            if (comma >= 0) values_.append(NSStringExt::trim(line.mid(comma + 1)));
        }
    }

    bool ok() const { return ok_; }
    bool atEnd() const { return next_ >= values_.size(); }
    void fail() { ok_ = false; }

    QString text() {
        if (!ok_ || atEnd()) {
            ok_ = false;
            return QString();
        }
        return values_[next_++];
    }
    // Counts below zero read no entries.
    std::int32_t integer() { return cvx::intValue(text()); }
    qint64 hex() {
        const std::optional<qint64> value = hexValue(text());
        if (!value) ok_ = false;
        return value.value_or(0);
    }
    std::pair<qint64, qint64> hexPair() {
        const QStringList fields = text().split(QLatin1Char(','));
        if (fields.size() < 2) {
            ok_ = false;
            return {0, 0};
        }
        const std::optional<qint64> begin = hexValue(fields[0]);
        const std::optional<qint64> end = hexValue(fields[1]);
        if (!begin || !end) ok_ = false;
        return {begin.value_or(0), end.value_or(0)};
    }

private:
    QStringList values_;
    qsizetype next_ = 0;
    bool ok_ = true;
};

bool readRomRecord(SettingValues &values, RomInf_t &record) {
    record.sTitle = values.text();
    record.bErsNum = values.integer();
    if (record.bErsNum > RomInf_t::kMaxEraseBlocks) values.fail();
    for (std::int32_t e = 0; e < record.bErsNum && values.ok(); ++e) {
        const auto [begin, end] = values.hexPair();
        record.qErsBgnAdr.append(begin);
        record.qErsEndAdr.append(end);
    }
    record.bWrtRomNum = values.integer();
    for (std::int32_t f = 0; f < record.bWrtRomNum && values.ok(); ++f) {
        record.asWrtRomFile.append(values.text());
        record.qWrtPrgEndAdr.append(values.hex());
        record.abWrtRomBlock.append(values.text());
        const auto [begin, end] = values.hexPair();
        record.aaqWrtRomBgnAdr.append(begin);
        record.aaqWrtRomEndAdr.append(end);
    }
    return values.ok();
}

QString dataFilePath(const QString &name) {
    if (name.isEmpty()) return QString();
    return FirmwareFiles::resourcePath(kDataFolder + name);
}

// The trimmed version of a header line; nothing when the line is too short or not hex.
std::optional<QString> headerVersion(const QString &line) {
    if (line.size() < kHeaderLength || !isHexText(QStringView(line).left(kHeaderLength))) return std::nullopt;
    return NSStringExt::trim(FirmwareFiles::getPrgInf(QStringView(line).mid(8, 96)).Version());
}

qsizetype indexOfLineStarting(const QStringList &lines, qsizetype from, QLatin1StringView prefix) {
    for (qsizetype i = from; i < lines.size(); ++i)
        if (lines[i].startsWith(prefix)) return i;
    return -1;
}

// What the lines of one image (header line, data lines, end line) must keep to.
struct ImageRules {
    qsizetype maxDataBytes = 0;                        // per data line
    std::pair<quint64, quint64> range{0, 0xFFFFFFFF};  // addresses its data may take
    // The write program: its last four data bytes carry the sum of the bytes before them,
    // which the line before the end line therefore ends with.
    bool sumInLastBytes = false;
};

quint64 addressOf(QStringView line) {
    quint64 address = 0;
    for (const QChar c : line.left(8)) address = address * 16 + quint64(hexDigitValue(c));
    return address;
}

// The sum an image states for itself when every line is sound and its data bytes add up to
// it, as the instrument adds them up (32 bits, addresses and header not counted); nothing
// otherwise. So a data line deleted, added, cut short, lengthened or altered is found here.
std::optional<QString> checkedImageSum(QList<QString>::const_iterator first,
                                       QList<QString>::const_iterator last, const ImageRules &rules) {
    const qsizetype count = last - first;
    if (count < 2 || count > FirmwareFiles::kMaxLines) return std::nullopt;
    for (auto line = first; line != last; ++line) {
        if (line->size() % 2 != 0 || line->size() > FirmwareFiles::kMaxLineDigits || !isHexText(*line))
            return std::nullopt;
    }
    const QString &end = *(last - 1);
    if (first->size() < kHeaderLength || !isEndLine(end)) return std::nullopt;

    quint32 sum = 0;
    quint32 lastFour = 0;  // the last four data bytes, most significant first
    qsizetype dataBytes = 0;
    quint64 next = rules.range.first;  // the lowest address the next line may take
    for (auto line = first + 1; line != last - 1; ++line) {
        const qsizetype bytes = (line->size() - 8) / 2;
        if (isEndLine(*line) || bytes < 1 || bytes > rules.maxDataBytes) return std::nullopt;
        const quint64 address = addressOf(*line);
        if (address < next || address + quint64(bytes) - 1 > rules.range.second) return std::nullopt;
        next = address + quint64(bytes);
        for (qsizetype at = 8; at < line->size(); at += 2) {
            const quint8 byte = FirmwareFiles::hexToByte(QStringView(*line).mid(at, 2));
            sum += byte;
            lastFour = (lastFour << 8) | byte;
        }
        dataBytes += bytes;
    }
    QString stated;
    if (rules.sumInLastBytes) {
        const QString &lastData = *(last - 2);
        if (dataBytes < 4 || lastData.size() < 8 + 2 * 4) return std::nullopt;
        for (int shift = 0; shift < 32; shift += 8) sum -= (lastFour >> shift) & 0xFF;
        stated = lastData.right(kSumLength);
    } else {
        stated = end.mid(kRomSumAt, kSumLength);
    }
    if (!isSumText(stated) || stated != QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper())
        return std::nullopt;
    return stated;
}

std::optional<QString> checkedImageSum(const QStringList &image, const ImageRules &rules) {
    return checkedImageSum(image.cbegin(), image.cend(), rules);
}

ImageRules dataRules(const PrjInf_t &prj) {
    ImageRules rules;
    const qsizetype room = (FirmwareFiles::kMaxLineDigits - 8) / 2;
    rules.maxDataBytes = prj.iDatBlkSize > 0 ? std::min<qsizetype>(prj.iDatBlkSize, room) : room;
    return rules;
}

ImageRules programRules(const PrjInf_t &prj) {
    ImageRules rules = dataRules(prj);
    if (prj.qWrtPrgEndAdr > 0) rules.range.second = quint64(prj.qWrtPrgEndAdr);
    rules.sumInLastBytes = true;
    return rules;
}

struct RomFileContents {
    QString version;
    QString romSum;
    std::optional<QString> programSum;  // new layout only
};

// One ROM data file as the writer will use it. A file cut short (no end line, no sum, a
// missing marker) or damaged is refused here rather than found out by a sum error after the
// instrument's flash has been erased.
std::optional<RomFileContents> readRomFile(const QString &path, const ImageRules &romRules,
                                           const ImageRules &programRules) {
    const std::optional<QByteArray> bytes = cvx::FileManager::readFile(path);
    if (!bytes) return std::nullopt;
    const QStringList lines = usedLines(cvx::TextEncoding::fromUtf8Lossy(*bytes));
    if (lines.isEmpty()) return std::nullopt;

    RomFileContents contents;
    qsizetype header = 0;
    if (lines[0].startsWith(kNewLayout)) {
        const qsizetype start = indexOfLineStarting(lines, 1, kProgramStart);
        if (start < 0 || start + 1 >= lines.size() || !headerVersion(lines[start + 1])) return std::nullopt;
        qsizetype end = -1;
        for (qsizetype i = start + 2; i < lines.size() && !lines[i].startsWith(kProgramEnd); ++i) {
            if (isEndLine(lines[i])) {
                end = i;
                break;
            }
        }
        if (end < 0) return std::nullopt;
        const std::optional<QString> sum =
            checkedImageSum(lines.cbegin() + start + 1, lines.cbegin() + end + 1, programRules);
        if (!sum) return std::nullopt;
        contents.programSum = sum;
        // The line after the end line is "/* PRG-DAT END */".
        const qsizetype romStart = indexOfLineStarting(lines, end + 2, kRomStart);
        if (romStart < 0) return std::nullopt;
        header = romStart + 1;
    }
    if (header >= lines.size()) return std::nullopt;
    const std::optional<QString> version = headerVersion(lines[header]);
    if (!version) return std::nullopt;
    contents.version = *version;

    // The lines sent are checked whole: whatever follows the end line would go out too.
    const std::optional<QStringList> sent = FirmwareFiles::sendLines(path);
    if (!sent || sent->isEmpty() || sent->first() != lines[header]) return std::nullopt;
    const std::optional<QString> sum = checkedImageSum(*sent, romRules);
    if (!sum) return std::nullopt;
    contents.romSum = *sum;
    return contents;
}

struct RomSet {
    QStringList romSums;
    std::optional<QString> programSum;
    QString mainVersion;
    QString dispVersion;
};

// Every ROM file of the record, as the writer will read and send it.
std::optional<RomSet> readRomSet(const PrjInf_t &prj, const RomInf_t &record) {
    if (record.bWrtRomNum < 2 || record.asWrtRomFile.size() < record.bWrtRomNum ||
        record.aaqWrtRomBgnAdr.size() < record.bWrtRomNum ||
        record.aaqWrtRomEndAdr.size() < record.bWrtRomNum)
        return std::nullopt;
    RomSet set;
    for (std::int32_t f = 0; f < record.bWrtRomNum; ++f) {
        const QString path = dataFilePath(record.asWrtRomFile[f]);
        if (path.isNull()) return std::nullopt;
        ImageRules romRules = dataRules(prj);
        romRules.range = {quint64(record.aaqWrtRomBgnAdr[f]), quint64(record.aaqWrtRomEndAdr[f])};
        const std::optional<RomFileContents> contents = readRomFile(path, romRules, programRules(prj));
        if (!contents) return std::nullopt;
        set.romSums.append(contents->romSum);
        // With several new-layout files the last one gives the program's sum.
        if (contents->programSum) set.programSum = contents->programSum;
        if (f == 0) set.mainVersion = contents->version;
        if (f == 1) set.dispVersion = contents->version;
    }
    return set;
}

}  // namespace

QString FirmwareFiles::messageCode(Fault fault) {
    switch (fault) {
        case Fault::None:
            return QStringLiteral("");
        case Fault::SettingsFile:
            return QStringLiteral("T501");
        case Fault::ProgramFile:
            return QStringLiteral("T502");
        case Fault::RomFile:
            return QStringLiteral("T503");
    }
    return QStringLiteral("");
}

QString FirmwareFiles::resourcePath(const QString &relative) {
    if (relative.isEmpty()) return QString();
    const QString &root = resourceRoot();
    if (root.isEmpty()) return cvx::Bundle::pathForResource(relative);
    const QString path = QDir(root).filePath(relative);
    return QFileInfo(path).isFile() ? path : QString();
}

void FirmwareFiles::setResourceRootForTesting(const QString &folder) {
    resourceRoot() = folder;
}

FirmwareFiles::Fault FirmwareFiles::fileExitChk_USB() {
    const QString settingsPath = resourcePath(kSettingsFile);
    if (settingsPath.isNull()) return Fault::SettingsFile;
    const std::optional<QByteArray> bytes = cvx::FileManager::readFile(settingsPath);
    if (!bytes) return Fault::SettingsFile;
    const std::optional<QString> text = cvx::TextEncoding::fromCp932(*bytes);
    if (!text || !vReadFileSetting_USB(text->split(QLatin1Char('\n')))) return Fault::SettingsFile;

    const QString programPath = sGetFileNameWrtPrg();
    if (programPath.isNull()) return Fault::ProgramFile;
    const std::optional<QStringList> program = sendLines(programPath);
    if (!program || program->isEmpty()) return Fault::ProgramFile;
    const std::optional<QString> programSum = checkedImageSum(*program, programRules(prjInf_));
    if (!programSum) return Fault::ProgramFile;

    const RomInf_t &record = atRomInf()[0];
    for (qsizetype f = 0; f < 2; ++f)
        if (dataFilePath(record.asWrtRomFile.value(f)).isNull()) return Fault::RomFile;
    const std::optional<RomSet> set = readRomSet(prjInf_, record);
    // The sum the instrument's report is compared with must be that of the program it loads.
    if (!set || (set->programSum && *set->programSum != *programSum)) return Fault::RomFile;
    return Fault::None;
}

bool FirmwareFiles::vReadFileSetting_USB(const QStringList &lines) {
    SettingValues values(lines);
    PrjInf_t prj;
    values.text();  // not used
    prj.sCommSetting = values.text();
    prj.yCnctCmd = values.text() == QLatin1StringView("True");
    prj.iDatBlkSize = values.integer();
    prj.sBootName = values.text();
    prj.bRomNum = values.integer();
    for (std::int32_t i = 0; i < prj.bRomNum && values.ok(); ++i) {
        const auto [begin, end] = values.hexPair();
        prj.aqVerBgnAdr.append(begin);
        prj.aqVerEndAdr.append(end);
    }
    prj.sWrtPrgFile = values.text();
    prj.qWrtPrgEndAdr = values.hex();
    prj.bWrtPrgBlock = values.integer();
    for (std::int32_t block = 2; block <= prj.bWrtPrgBlock && values.ok(); ++block)
        prj.aqWrtPrgBgnAdr.append(values.hex());
    prj.bSpWriter = values.integer();

    QList<RomInf_t> records(kRomRecordCount);
    for (qsizetype r = 0; values.ok() && !values.atEnd(); ++r) {
        if (r == kRomRecordCount || !readRomRecord(values, records[r])) return false;
    }
    if (!values.ok()) return false;

    prjInf_ = std::move(prj);
    romInf_ = std::move(records);
    return true;
}

FirmwareFiles::Fault FirmwareFiles::getDataRomInf() {
    const RomInf_t &record = atRomInf()[0];
    const std::optional<RomSet> set = readRomSet(prjInf_, record);
    if (!set) return Fault::RomFile;
    iRomCnt_ = record.bWrtRomNum - 1;
    asRomPrgSum_ = set->romSums;
    if (set->programSum) sWrtPrgSum_ = *set->programSum;
    mainVersion_ = set->mainVersion;
    dispVersion_ = set->dispVersion;
    return Fault::None;
}

QString FirmwareFiles::sGetFileNameWrtPrg() const {
    return dataFilePath(prjInf_.sWrtPrgFile);
}

QString FirmwareFiles::sGetFileNameRomDat(std::int32_t n) const {
    const QList<RomInf_t> &records = atRomInf();
    if (iRomFileNo_ < 0 || iRomFileNo_ >= records.size()) return QString();
    return dataFilePath(records[iRomFileNo_].asWrtRomFile.value(qsizetype(iRomCnt_) + n));
}

std::optional<QStringList> FirmwareFiles::sendLines(const QString &path) {
    const std::optional<QByteArray> bytes = cvx::FileManager::readFile(path);
    if (!bytes) return std::nullopt;
    const std::optional<QString> text = cvx::TextEncoding::fromCp932(*bytes);
    if (!text) return std::nullopt;
    QStringList lines = usedLines(*text);
    const qsizetype start = lines.indexOf(QString(kRomStart));
    if (start >= 0) {
        const qsizetype end = lines.indexOf(QString(kRomEnd), start + 1);
        if (end < 0) return std::nullopt;
        lines = lines.mid(start + 1, end - start - 1);
    }
    return lines;
}

OCMDataInfo FirmwareFiles::getPrgInf(QStringView info) {
    auto characters = [info](qsizetype firstByte, qsizetype count) {
        QString text;
        for (qsizetype b = firstByte; b < firstByte + count; ++b)
            text.append(QChar(hexToByte(info.mid(2 * b, 2))));
        return text;
    };
    OCMDataInfo data;
    data.setName(characters(0, 16));
    data.setVersion(characters(16, 10));
    data.setDate(characters(26, 16));
    return data;
}

quint8 FirmwareFiles::hexToByte(QStringView digits) {
    auto value = [digits](qsizetype i) {
        return i < digits.size() ? std::max(hexDigitValue(digits[i]), 0) : 0;
    };
    return quint8(value(0) * 16 + value(1));
}

QString FirmwareFiles::numToHex(const QString &decimal, std::int32_t length) {
    const QString hex = QString::number(quint64(cvx::integerValue(decimal)), 16).toUpper();
    return hex.size() < length ? hex.rightJustified(length, QLatin1Char('0')) : hex;
}

void FirmwareFiles::reset() {
    romInf_.reset();
    iRomFileNo_ = 0;
    iRomCnt_ = 0;
}

void FirmwareFiles::ensureRomInf() const {
    if (!romInf_) romInf_ = QList<RomInf_t>(kRomRecordCount);
}

QList<RomInf_t> &FirmwareFiles::atRomInf() {
    ensureRomInf();
    return *romInf_;
}

const QList<RomInf_t> &FirmwareFiles::atRomInf() const {
    ensureRomInf();
    return *romInf_;
}
