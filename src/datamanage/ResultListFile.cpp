#include "datamanage/ResultListFile.h"

#include <QSet>
#include <algorithm>

#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/WorkAhead.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/NSStringExt.h"
#include "records/ResultFields.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

const QString kCheckFileName = QStringLiteral("Check_Measure_Result");

bool cancelled(const ResultListFile::CancelFlag &isCancel) {
    return isCancel && isCancel();
}

// Printable, as every entry: a path holding a line break does not split it.
void logError(const QString &message) {
    AppDelegate::shared().errorLog(
        QStringLiteral("\nResult list: %1\n").arg(cvx::FileManager::printablePath(message)));
}

// A field of a TAB-separated line: a TAB or line break inside it would shift the columns or
// start a new row, so each is written as a blank.
QString cell(const QString &text) {
    QString value = text;
    for (QChar &c : value) {
        if (c == u'\t' || NSStringExt::isNewline(c)) c = u' ';
    }
    return value;
}

bool isDigits(const QString &text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

QString withoutLeadingZeros(const QString &digits) {
    qsizetype i = 0;
    while (i < digits.size() - 1 && digits[i] == u'0') ++i;
    return digits.mid(i);
}

// Chart numbers that are numbers first, in numeric order ("2" before "10"), then the others by
// their text.
bool chartOrder(const QString &a, const QString &b) {
    const bool numberA = isDigits(a), numberB = isDigits(b);
    if (numberA != numberB) return numberA;
    if (numberA) {
        const QString x = withoutLeadingZeros(a), y = withoutLeadingZeros(b);
        if (x.size() != y.size()) return x.size() < y.size();
        if (x != y) return x < y;
    }
    return a < b;
}

ResultListFile::Outcome outcomeOf(ResultListFile::Status status, ResultListFile::Outcome outcome = {}) {
    outcome.status = status;
    outcome.isSucc4 = status == ResultListFile::Status::Written  ? 200
                      : status == ResultListFile::Status::Failed ? 405
                                                                 : 0;
    return outcome;
}

}  // namespace

const QString ResultListFile::kFileName = QStringLiteral("検査結果一覧.xls");
const QString ResultListFile::kHeader = QStringLiteral(
    "カルテ番号\t患者氏名\t年齢\t性別\t検査日\t時間\t歯科医師名\tむし歯菌\t \tpH\t \t酸緩衝能\t \t潜血\t \t"
    "白血球\t \tタンパク質\t \t アンモニア\t \t\n");

QString ResultListFile::getSecStr(const QString &text) {
    const QStringList parts = text.split(u'|');
    return parts.size() > 1 ? parts[1] : QStringLiteral("");
}

namespace {

// The patients' chart numbers in list order; nothing when cancelled.
std::optional<QStringList> chartNumbers(const ResultListFile::CancelFlag &isCancel) {
    const QString folder = UsbUtils::customerFolder();
    cvx::FileManager::createDirectory(folder);

    QStringList chartNos;
    QSet<QString> seen;
    for (const QString &entry : cvx::FileManager::contentsOfDirectory(folder)) {
        if (cancelled(isCancel)) return std::nullopt;
        const QString name = entry.section(u'.', 0, 0);
        if (name.isEmpty() || name == kCheckFileName) continue;
        // A second copy of a patient file ("123.xml.bak") would list that patient twice.
        if (seen.contains(name)) continue;
        seen.insert(name);
        chartNos.append(name);
    }
    std::sort(chartNos.begin(), chartNos.end(), chartOrder);
    return chartNos;
}

// One patient's lines in code page 932, made straight from the tree's UTF-8 texts: what
// rowLine and toCp932 give for each row, without a text per field.
class PatientLines {
public:
    void clear() {
        bytes.resize(0);
        encodable = true;
    }

    // A field and its TAB; a TAB or line break inside is written as a blank (see cell()).
    void field(std::string_view utf8) {
        if (needsBlanks(utf8)) {
            scratch_.clear();
            for (size_t i = 0; i < utf8.size(); ++i) {
                const auto c = uchar(utf8[i]);
                if (c >= 0x09 && c <= 0x0D) {
                    scratch_ += ' ';
                } else if (c == 0xC2 && i + 1 < utf8.size() && uchar(utf8[i + 1]) == 0x85) {
                    scratch_ += ' ', i += 1;
                } else if (c == 0xE2 && i + 2 < utf8.size() && uchar(utf8[i + 1]) == 0x80 &&
                           (uchar(utf8[i + 2]) == 0xA8 || uchar(utf8[i + 2]) == 0xA9)) {
                    scratch_ += ' ', i += 2;
                } else {
                    scratch_ += char(c);
                }
            }
            utf8 = scratch_;
        }
        if (encodable &&
            !cvx::TextEncoding::appendCp932(bytes, QByteArrayView(utf8.data(), qsizetype(utf8.size()))))
            encodable = false;
        bytes += '\t';
    }
    // The part after the first "|" up to the next one, as getSecStr gives it.
    void secondPart(std::string_view utf8) {
        const size_t bar = utf8.find('|');
        if (bar == std::string_view::npos) return field({});
        const std::string_view rest = utf8.substr(bar + 1);
        field(rest.substr(0, rest.find('|')));
    }
    void endLine() { bytes += '\n'; }

    QByteArray bytes;
    bool encodable = true;

private:
    static bool needsBlanks(std::string_view utf8) {
        for (size_t i = 0; i < utf8.size(); ++i) {
            const auto c = uchar(utf8[i]);
            if ((c >= 0x09 && c <= 0x0D) || c == 0xC2 || c == 0xE2) return true;
        }
        return false;
    }

    std::string scratch_;
};

const char *sexWordUtf8(std::string_view sex) {
    if (sex == "0") return "男";
    if (sex == "1") return "女";
    return "";
}

// One patient's lines, as rowLine gives them for the rows of BBInitDatas::getDatas, reading only
// the children the list shows.
struct Patient {
    PatientLines lines;
    int rows = 0;
    int results = 0;      // rows made from the children of the root, each one a poll of the cancel flag
    bool stored = false;  // read where the lines were made

    // From the root element of the patient's file; null for a file that gives no document.
    void make(const QString &chartNo, pugi::xml_node root, bool isMode0) {
        thread_local ResultFields fields{"Doctor",     "DataValue1", "MS",         "DataValue2", "pH",
                                         "DataValue3", "BFC",        "DataValue4", "BLD",        "DataValue5",
                                         "LEU",        "DataValue6", "ALB",        "DataValue7", "NH3"};
        const QByteArray zno = chartNo.toUtf8();
        const std::string_view name = root.attribute("name").value();
        const std::string_view age = root.attribute("age").value();
        const char *sex = sexWordUtf8(root.attribute("sex").value());
        const auto patient = [&] {
            lines.field(std::string_view(zno.constData(), size_t(zno.size())));
            lines.field(name), lines.field(age), lines.field(sex);
        };

        for (pugi::xml_node result = root.first_child(); result; result = result.next_sibling()) {
            if (result.type() != pugi::node_element) continue;  // a comment is no result
            patient();
            lines.field(result.attribute("date").value());
            lines.field(result.attribute("time").value());
            fields.read(result);
            lines.field(fields.text(0));
            for (int item = 0; item < 7; ++item) {
                lines.secondPart(fields.text(1 + 2 * item));
                lines.field(fields.text(2 + 2 * item));
            }
            lines.endLine();
            ++rows;
        }
        results = rows;
        if (rows == 0 && !isMode0) {
            patient();
            for (int i = 0; i < 17; ++i) lines.field({});
            lines.endLine();
            rows = 1;
        }
    }

    void clear() {
        lines.clear();
        rows = results = 0;
    }
};

}  // namespace

std::optional<QList<OCMCustomerComment>> ResultListFile::getData(bool isMode0, const CancelFlag &isCancel) {
    const std::optional<QStringList> chartNos = chartNumbers(isCancel);
    if (!chartNos) return std::nullopt;
    QList<OCMCustomerComment> rows;
    for (const QString &chartNo : *chartNos) {
        if (cancelled(isCancel)) return std::nullopt;
        rows.append(BBInitDatas::getDatas(chartNo, isMode0));
    }
    return rows;
}

QString ResultListFile::rowLine(const OCMCustomerComment &row) {
    const QStringList fields = {
        row.zno(),    row.zname(),
        row.age(),    row.zsex(),
        row.date(),   row.time(),
        row.doctor(), getSecStr(row.Datavalue1()),
        row.ms(),     getSecStr(row.Datavalue2()),
        row.ph(),     getSecStr(row.Datavalue3()),
        row.bfc(),    getSecStr(row.Datavalue4()),
        row.bld(),    getSecStr(row.Datavalue5()),
        row.leu(),    getSecStr(row.Datavalue6()),
        row.alb(),    getSecStr(row.Datavalue7()),
        row.nh3(),
    };
    QString line;
    for (const QString &field : fields) line += cell(field) + u'\t';
    return line + u'\n';
}

// Rows are read one patient at a time and written as they come, so that memory stays flat
// whatever the number of results; the file appears only once it is whole.
ResultListFile::Outcome ResultListFile::writeList(const QString &folder, bool withBlankRows,
                                                  const CancelFlag &isCancel, bool listHoldsRows) {
    // A cancel ends without a file; "W311" only when it leaves the list of rows empty.
    const std::optional<QStringList> chartNos = chartNumbers(isCancel);
    if (!chartNos) return outcomeOf(listHoldsRows ? Status::Cancelled : Status::Empty);

    Outcome outcome;
    std::optional<cvx::AtomicFile> file;
    bool writeFailed = false;
    bool noFolder = false;
    // Shift-JIS lacks some characters (emoji, rarer kanji); a patient whose rows hold one is
    // named and the list is not written rather than written with characters lost.
    const auto writePatient = [&](const QString &chartNo, const PatientLines &lines, int rows) {
        if (!file) {
            outcome.path =
                folder.isEmpty() ? QString() : cvx::FileManager::appendingPathComponent(folder, kFileName);
            file.emplace(outcome.path);
            if (folder.isEmpty() || !cvx::FileManager::createDirectory(folder)) {
                noFolder = true;
                writeFailed = true;
            } else if (!file->open() || !file->write(*cvx::TextEncoding::toCp932(kHeader))) {
                writeFailed = true;
            }
        }
        if (writeFailed) return;
        if (!lines.encodable) {
            outcome.unencodable.append(chartNo);
        } else if (outcome.unencodable.isEmpty()) {
            if (!file->write(lines.bytes)) writeFailed = true;
            outcome.rowCount += rows;
        }
    };

    QStringList pathList;
    for (const QString &chartNo : *chartNos) pathList.append(UsbUtils::getXmlPath(chartNo));
    // Only read from here on, on every thread.
    const QStringList &paths = pathList;
    const QStringList &names = *chartNos;
    const bool isMode0 = !withBlankRows;
    // Files are read and made into lines on every core a few patients ahead. A file in another
    // form than the stored one is read here, in order, so that its repair is reported in turn.
    cvx::WorkAhead<Patient> ahead(paths.size(), [&](qsizetype index, Patient &patient) {
        thread_local cvx::XmlFileReader reader;
        patient.clear();
        patient.stored = paths[index].isNull();
        if (patient.stored) return;  // no file of that name
        const pugi::xml_node root = reader.readStored(paths[index]);
        patient.stored = bool(root);
        if (root) patient.make(names[index], root, isMode0);
    });
    cvx::XmlFileReader reader;
    Patient own;

    int rowsSeen = 0;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (cancelled(isCancel)) return outcomeOf(rowsSeen > 0 ? Status::Cancelled : Status::Empty);
        const Patient *patient = &ahead.next();
        if (!patient->stored) {
            own.clear();
            const pugi::xml_node root = reader.read(paths[i]);
            if (root || cvx::FileManager::fileExists(paths[i])) own.make(names[i], root, isMode0);
            patient = &own;
        }
        for (int row = 0; row < patient->results; ++row)
            if (cancelled(isCancel)) return outcomeOf(Status::Cancelled);
        if (patient->rows == 0) continue;
        rowsSeen += patient->rows;
        writePatient(names[i], patient->lines, patient->rows);
        if (writeFailed) break;
    }
    if (rowsSeen == 0) return outcomeOf(Status::Empty);
    if (!writeFailed && cancelled(isCancel)) return outcomeOf(Status::Cancelled);

    if (!outcome.unencodable.isEmpty()) {
        logError(QStringLiteral("%1 was not written: the results of %2 hold characters that Shift-JIS lacks")
                     .arg(outcome.path, outcome.unencodable.join(QStringLiteral(", "))));
        return outcomeOf(Status::Failed, outcome);
    }
    if (noFolder) {
        logError(QStringLiteral("the folder %1 cannot be created").arg(folder));
        return outcomeOf(Status::Failed, outcome);
    }
    if (writeFailed || !file->commit()) {
        logError(QStringLiteral("%1 could not be written").arg(outcome.path));
        return outcomeOf(Status::Failed, outcome);
    }
    return outcomeOf(Status::Written, outcome);
}

void ResultListFile::start(const QString &folder, bool withBlankRows, bool listHoldsRows, CancelFlag isCancel,
                           std::function<void(const Outcome &)> completion) {
    cvx::Dispatch::globalAsync([folder, withBlankRows, listHoldsRows, isCancel = std::move(isCancel),
                                completion = std::move(completion)] {
        const Outcome outcome = writeList(folder, withBlankRows, isCancel, listHoldsRows);
        cvx::Dispatch::mainAsync([completion, outcome] {
            if (completion) completion(outcome);
        });
    });
}
