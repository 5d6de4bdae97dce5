#include "datamanage/ResultListFile.h"

#include <QSet>
#include <algorithm>

#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
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

void logError(const QString &message) {
    AppDelegate::shared().errorLog(QStringLiteral("\nResult list: %1\n").arg(message));
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

QString sexWord(const QString &sex) {
    if (sex == QLatin1String("0")) return QStringLiteral("男");
    if (sex == QLatin1String("1")) return QStringLiteral("女");
    return QStringLiteral("");
}

// The rows of one patient file as BBInitDatas::getDatas gives them, reading only the children
// the list shows; `each` gets every row in turn. False when cancelled.
template <typename Each>
bool patientRows(const QString &chartNo, bool isMode0, const ResultListFile::CancelFlag &isCancel,
                 Each each) {
    const QString path = UsbUtils::getXmlPath(chartNo);
    if (path.isNull() || !cvx::FileManager::fileExists(path)) return true;
    thread_local ResultFields fields{"Doctor",     "DataValue1", "MS",         "DataValue2", "pH",
                                     "DataValue3", "BFC",        "DataValue4", "BLD",        "DataValue5",
                                     "LEU",        "DataValue6", "ALB",        "DataValue7", "NH3"};

    OCMCustomerComment patient;
    patient.setZno(chartNo);
    QString sex;
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(path);
    cvx::XmlElement root;
    if (doc) {
        root = doc->rootElement();
        patient.setZname(root.attribute(QStringLiteral("name")));
        patient.setAge(root.attribute(QStringLiteral("age")));
        sex = root.attribute(QStringLiteral("sex"));
    }
    patient.setZsex(sexWord(sex));

    const QList<cvx::XmlElement> results = root.children();
    for (const cvx::XmlElement &result : results) {
        if (cancelled(isCancel)) return false;
        OCMCustomerComment row = patient;
        row.setDate(result.attribute(QStringLiteral("date")));
        row.setTime(result.attribute(QStringLiteral("time")));
        fields.read(result);
        row.setDoctor(fields.value(0));
        row.setDatavalue1(fields.value(1)), row.setMs(fields.value(2));
        row.setDatavalue2(fields.value(3)), row.setPh(fields.value(4));
        row.setDatavalue3(fields.value(5)), row.setBfc(fields.value(6));
        row.setDatavalue4(fields.value(7)), row.setBld(fields.value(8));
        row.setDatavalue5(fields.value(9)), row.setLeu(fields.value(10));
        row.setDatavalue6(fields.value(11)), row.setAlb(fields.value(12));
        row.setDatavalue7(fields.value(13)), row.setNh3(fields.value(14));
        each(row);
    }
    if (results.isEmpty() && !isMode0) each(patient);
    return true;
}

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
                                                  const CancelFlag &isCancel) {
    // A cancel while the patients are listed or read leaves nothing to list; one while rows
    // are written ends without a file.
    const std::optional<QStringList> chartNos = chartNumbers(isCancel);
    if (!chartNos) return outcomeOf(Status::Empty);

    Outcome outcome;
    std::optional<cvx::AtomicFile> file;
    bool writeFailed = false;
    bool noFolder = false;
    // Shift-JIS lacks some characters (emoji, rarer kanji); a patient whose rows hold one is
    // named and the list is not written rather than written with characters lost.
    const auto writePatient = [&](const QString &chartNo, const QString &text, int rows) {
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
        const std::optional<QByteArray> bytes = cvx::TextEncoding::toCp932(text);
        if (!bytes) {
            outcome.unencodable.append(chartNo);
        } else if (outcome.unencodable.isEmpty()) {
            if (!file->write(*bytes)) writeFailed = true;
            outcome.rowCount += rows;
        }
    };

    int rowsSeen = 0;
    for (const QString &chartNo : *chartNos) {
        if (cancelled(isCancel)) return outcomeOf(Status::Empty);
        QString text;
        int rows = 0;
        const bool whole = patientRows(chartNo, !withBlankRows, isCancel, [&](const OCMCustomerComment &row) {
            text += rowLine(row);
            ++rows;
        });
        if (!whole) return outcomeOf(Status::Cancelled);
        if (rows == 0) continue;
        rowsSeen += rows;
        writePatient(chartNo, text, rows);
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

void ResultListFile::start(const QString &folder, bool withBlankRows, CancelFlag isCancel,
                           std::function<void(const Outcome &)> completion) {
    cvx::Dispatch::globalAsync(
        [folder, withBlankRows, isCancel = std::move(isCancel), completion = std::move(completion)] {
            const Outcome outcome = writeList(folder, withBlankRows, isCancel);
            cvx::Dispatch::mainAsync([completion, outcome] {
                if (completion) completion(outcome);
            });
        });
}
