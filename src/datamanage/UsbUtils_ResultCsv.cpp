// The result CSV that the data link hands to the linked program, and the text backups of
// stored results in $HOME/ResultData.
#include <QDir>

#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"

namespace {

using Layout = UsbUtils::ResultLayout;

const QString kCrLf = QStringLiteral("\r\n");
constexpr qsizetype kHeadLength = 8;     // instrument number at the start of RsvData
constexpr qsizetype kMinRawFields = 42;  // the pad groups end at field 40
constexpr qsizetype kKeptRawFields = 41;
constexpr qsizetype kTrailingCommas = 158;  // the linked program reads a fixed column count
constexpr qsizetype kStampLength = 14;

bool isAsciiDigits(QStringView text) {
    for (QChar c : text)
        if (c < u'0' || c > u'9') return false;
    return true;
}

QString quoted(QString text) {
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// Plain as long as nothing in it would end the field or the line.
QString field(const QString &text) {
    for (QChar c : text)
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n') return quoted(text);
    return text;
}

// "yyyy-MM-dd HH:mm:ss" -> "yyyyMMddHHmmss"; null unless that gives 14 digits, so that
// every file name (and delTxtBackup's match) has the same shape.
QString stampOf(const QString &saveDate) {
    const QStringList parts = saveDate.split(QLatin1Char(' '));
    if (parts.size() != 2) return QString();
    const QStringList day = parts[0].split(QLatin1Char('-'));
    const QStringList clock = parts[1].split(QLatin1Char(':'));
    if (day.size() < 3 || clock.size() < 3) return QString();
    const QString stamp = day.mid(0, 3).join(QString()) + clock.mid(0, 3).join(QString());
    if (stamp.size() != kStampLength || !isAsciiDigits(stamp)) return QString();
    return stamp;
}

// The part of a "value|position" pair after the bar; nothing without a bar.
std::optional<QString> chartPosition(const QString &pair) {
    if (!pair.contains(QLatin1Char('|'))) return std::nullopt;
    return pair.section(QLatin1Char('|'), 1, 1);
}

// The raw data line from its tenth character on, with the date in "/" form, the chart
// positions in place of the pads' "0", the pads' values emptied and the time removed.
std::optional<QString> reworkedRawLine(const QString &rsvData, const OCMCustomerComment &record,
                                       bool keepPadNames) {
    QStringList fields = rsvData.mid(kHeadLength + 1).split(QLatin1Char(','));
    if (fields.size() < kMinRawFields) return std::nullopt;
    fields = fields.mid(0, kKeptRawFields);
    const QStringList date = fields[1].split(QLatin1Char('-'));
    if (date.size() != 3) return std::nullopt;
    fields[1] = date.join(QLatin1Char('/'));

    const std::pair<int, QString> positions[] = {
        {6, record.Datavalue3()},  {10, record.Datavalue2()}, {14, record.Datavalue1()},
        {22, record.Datavalue4()}, {30, record.Datavalue5()}, {34, record.Datavalue6()},
        {38, record.Datavalue7()},
    };
    for (const auto &[index, pair] : positions) {
        const std::optional<QString> position = chartPosition(pair);
        if (!position) return std::nullopt;
        fields[index] = *position;
    }
    for (int index = 8; index <= 40; index += 4) fields[index] = QStringLiteral("");
    fields.removeAt(2);

    QString line = fields.join(QLatin1Char(','));
    if (!keepPadNames) {
        line.replace(QStringLiteral("I_LEU"), QStringLiteral("LEU"));
        line.replace(QStringLiteral("I_NH3"), QStringLiteral("NH3"));
    }
    return line;
}

std::optional<UsbUtils::ResultFile> composeResult(const cvx::XmlDocument &doc, const QString &chartNo,
                                                  std::int64_t row, Layout layout, bool deleteBld) {
    const cvx::XmlElement root = doc.rootElement();
    const QList<cvx::XmlElement> results = root.elements();
    if (row < 0 || row >= results.size()) return std::nullopt;
    const cvx::XmlElement result = results.at(row);

    const QString stamp = stampOf(result.firstElement(QStringLiteral("SaveDate")).stringValue());
    if (stamp.isNull()) return std::nullopt;
    const QString rsvData = result.firstElement(QStringLiteral("RsvData")).stringValue();
    if (rsvData.size() < kHeadLength) return std::nullopt;
    const QString head = rsvData.left(kHeadLength);
    // The instrument's characters end up in a path: they must not lead out of the folder.
    const QString name = chartNo + QLatin1Char('_') + stamp + QLatin1Char('_') + head;
    if (!UsbUtils::isSafeChartNumber(name, false)) return std::nullopt;

    const QString date = NSStringExt::trim(result.attribute(QStringLiteral("date")));
    const QString time = NSStringExt::trim(result.attribute(QStringLiteral("time")));
    if (date.size() < 10) return std::nullopt;
    const QStringList dateParts = date.split(QLatin1Char('-'));
    if (dateParts.size() != 3) return std::nullopt;

    const OCMCustomerComment record = UsbUtils::getCustComment(results, row);
    const std::optional<QString> rawLine = reworkedRawLine(rsvData, record, layout == Layout::SheetCsv);
    if (!rawLine) return std::nullopt;

    const bool backup = layout == Layout::TextBackup;
    const QString hospital =
        backup ? result.firstElement(QStringLiteral("Hospital")).stringValue() : record.hospital();
    const QString doctor =
        backup ? result.firstElement(QStringLiteral("Doctor")).stringValue() : record.doctor();

    QString text;
    text +=
        QStringLiteral("name,") + field(root.attribute(QStringLiteral("name"))) + QLatin1Char(',') + kCrLf;
    text += QStringLiteral("date,") + field(dateParts.join(QLatin1Char('/'))) + QStringLiteral(",time,") +
            field(time) + QLatin1Char(',') + kCrLf;
    text += QStringLiteral("Hospital,") + field(hospital) + QLatin1Char(',') + kCrLf;
    text += QStringLiteral("Doctor,") + field(doctor) + QLatin1Char(',') + kCrLf;
    const struct {
        const char *item;
        const QString &word;
        const QString &comment;
    } items[] = {
        {"MS", record.ms(), record.contentMs()},    {"pH", record.ph(), record.contentPh()},
        {"BFC", record.bfc(), record.contentBfc()}, {"BLD", record.bld(), record.contentBld()},
        {"LEU", record.leu(), record.contentLeu()}, {"ALB", record.alb(), record.contentAlb()},
        {"NH3", record.nh3(), record.contentNh3()},
    };
    for (const auto &item : items) {
        const QString itemName = QLatin1String(item.item);
        if (!backup && deleteBld && itemName == QLatin1String("BLD"))
            text += QStringLiteral("BLD,-,\"N/A\"") + kCrLf;
        else
            text += itemName + QLatin1Char(',') + field(item.word) + QLatin1Char(',') + quoted(item.comment) +
                    kCrLf;
    }
    text += QStringLiteral("総合,,") + quoted(record.Totalcomment()) + kCrLf;
    if (!backup) {
        text += QStringLiteral("むし歯,,\"N/A\"") + kCrLf;
        text += QStringLiteral("歯周病,,\"N/A\"") + kCrLf;
        text += QStringLiteral("口腔清潔度,,\"N/A\"") + kCrLf;
    }
    text += QStringLiteral("RsvData,") + field(head) + QLatin1Char(',') + *rawLine +
            QString(kTrailingCommas, QLatin1Char(',')) + kCrLf;
    return UsbUtils::ResultFile{name, text};
}

// Printable, as every entry: a path holding a line break does not split it.
void logFault(const QString &text) {
    AppDelegate::shared().errorLog(QLatin1Char('\n') + cvx::FileManager::printablePath(text) +
                                   QLatin1Char('\n'));
}

// Shift-JIS as the linked side reads it. A character without a code becomes "?" (logged):
// the rest of the backup is worth more than refusing the whole file.
bool writeBackup(const QString &folder, const UsbUtils::ResultFile &file) {
    const QString path = folder + QLatin1Char('/') + file.name + QStringLiteral(".txt");
    int substituted = 0;
    const std::optional<QByteArray> bytes =
        cvx::TextEncoding::encode(file.text, "CP932", [&substituted](char32_t) {
            ++substituted;
            return QByteArray("?");
        });
    if (!bytes) {
        logFault(QStringLiteral("Result backup %1 could not be encoded!").arg(path));
        return false;
    }
    if (substituted > 0)
        logFault(
            QStringLiteral("Result backup %1: %2 character(s) without a Shift-JIS code written as \"?\".")
                .arg(path)
                .arg(substituted));
    if (cvx::FileManager::writeAtomically(path, *bytes)) return true;
    logFault(QStringLiteral("Result backup %1 could not be written!").arg(path));
    return false;
}

// "<chart number>_<14 digits>_<8 characters>", the shape every backup name has.
bool isBackupOf(const QString &stem, const QString &chartNo) {
    if (!stem.startsWith(chartNo + QLatin1Char('_'))) return false;
    const QStringView rest = QStringView(stem).mid(chartNo.size() + 1);
    return rest.size() == kStampLength + 1 + kHeadLength && rest[kStampLength] == u'_' &&
           isAsciiDigits(rest.left(kStampLength));
}

}  // namespace

std::optional<UsbUtils::ResultFile> UsbUtils::resultFile(const QString &chartNo, std::int64_t row,
                                                         ResultLayout layout) {
    const std::optional<cvx::XmlDocument> doc = getCustomerXml(chartNo);
    if (!doc) return std::nullopt;
    return composeResult(*doc, chartNo, row, layout, layout != ResultLayout::TextBackup && isDeleteBLD());
}

bool UsbUtils::writeLinkCsv(const ResultFile &file) {
    const QString folder = outputValue();
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder) || !cvx::FileManager::isDirectory(folder)) {
        logFault(
            QStringLiteral("Result CSV %1 not written: the data-link output folder \"%2\" does not exist!")
                .arg(file.name, folder));
        return false;
    }
    const QString path = folder + QLatin1Char('/') + file.name + QStringLiteral(".csv");
    const QByteArray bytes =
        cvx::TextEncoding::toUtf16(file.text, cvx::TextEncoding::ByteOrder::LittleEndian);
    if (cvx::FileManager::writeAtomically(path, bytes)) return true;
    logFault(QStringLiteral("Result CSV %1 could not be written!").arg(path));
    return false;
}

bool UsbUtils::csvSave(const QString &chartNo, std::int64_t selectRow) {
    if (isHaveMODE() == 0) return false;
    const std::optional<ResultFile> file = resultFile(chartNo, selectRow, ResultLayout::LinkCsv);
    return file && writeLinkCsv(*file);
}

bool UsbUtils::csvBackup(const QString &chartNo, std::int64_t selectRow) {
    const std::optional<cvx::XmlDocument> doc = getCustomerXml(chartNo);
    if (!doc) return false;
    const qsizetype count = doc->rootElement().elements().size();
    if (selectRow >= count) return false;
    const QString folder = resultDataFolder();
    if (!cvx::FileManager::createDirectory(folder)) {
        logFault(QStringLiteral("Folder %1 could not be created!").arg(folder));
        return false;
    }
    // A result that cannot be written costs only its own backup, not those of older results.
    const qsizetype first = selectRow < 0 ? 0 : selectRow;
    const qsizetype end = selectRow < 0 ? count : selectRow + 1;
    bool allWritten = true;
    for (qsizetype row = first; row < end; ++row) {
        const std::optional<ResultFile> file =
            composeResult(*doc, chartNo, row, ResultLayout::TextBackup, false);
        allWritten = file && writeBackup(folder, *file) && allWritten;
    }
    return allWritten;
}

QString UsbUtils::resultDataFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/ResultData");
}

bool UsbUtils::delTxtBackup(const QString &chartNo) {
    if (getXmlPath(chartNo).isNull()) return false;
    const QString folder = resultDataFolder();
    if (!cvx::FileManager::isDirectory(folder)) return true;
    bool allDeleted = true;
    for (const QString &entry : cvx::FileManager::contentsOfDirectory(folder)) {
        if (cvx::FileManager::pathExtension(entry) != QLatin1String("txt")) continue;
        if (!isBackupOf(cvx::FileManager::deletingPathExtension(entry), chartNo)) continue;
        const QString path = folder + QLatin1Char('/') + entry;
        if (cvx::FileManager::isDirectory(path)) continue;
        allDeleted = cvx::FileManager::removeItem(path) && allDeleted;
    }
    return allDeleted;
}
