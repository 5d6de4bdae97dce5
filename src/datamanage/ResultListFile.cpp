#include "datamanage/ResultListFile.h"

#include <QSet>
#include <algorithm>

#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "records/AppDelegate.h"
#include "records/BBInitDatas.h"
#include "records/NSStringExt.h"
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

std::optional<QList<OCMCustomerComment>> ResultListFile::getData(bool isMode0, const CancelFlag &isCancel) {
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

    QList<OCMCustomerComment> rows;
    for (const QString &chartNo : chartNos) {
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

ResultListFile::Outcome ResultListFile::writeList(const QString &folder, bool withBlankRows,
                                                  const CancelFlag &isCancel) {
    const std::optional<QList<OCMCustomerComment>> rows = getData(!withBlankRows, isCancel);
    // A cancel while the rows are collected leaves nothing to list.
    if (!rows || rows->isEmpty()) return outcomeOf(Status::Empty);
    if (cancelled(isCancel)) return outcomeOf(Status::Cancelled);

    Outcome outcome;
    if (folder.isEmpty()) return outcomeOf(Status::Failed, outcome);
    outcome.path = cvx::FileManager::appendingPathComponent(folder, kFileName);
    if (!cvx::FileManager::createDirectory(folder)) {
        logError(QStringLiteral("the folder %1 cannot be created").arg(folder));
        return outcomeOf(Status::Failed, outcome);
    }

    // Shift-JIS lacks some characters (emoji, rarer kanji); a row holding one is named and the
    // list is not written rather than written with characters lost.
    QByteArray bytes = *cvx::TextEncoding::toCp932(kHeader);
    for (const OCMCustomerComment &row : *rows) {
        if (cancelled(isCancel)) return outcomeOf(Status::Cancelled);
        if (const std::optional<QByteArray> line = cvx::TextEncoding::toCp932(rowLine(row))) {
            bytes += *line;
            ++outcome.rowCount;
        } else if (!outcome.unencodable.contains(row.zno())) {
            outcome.unencodable.append(row.zno());
        }
    }
    if (cancelled(isCancel)) return outcomeOf(Status::Cancelled);

    if (!outcome.unencodable.isEmpty()) {
        logError(QStringLiteral("%1 was not written: the results of %2 hold characters that Shift-JIS lacks")
                     .arg(outcome.path, outcome.unencodable.join(QStringLiteral(", "))));
        return outcomeOf(Status::Failed, outcome);
    }
    if (!cvx::FileManager::writeAtomically(outcome.path, bytes)) {
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
