#include "datamanage/PatientListImport.h"

#include <QFileInfo>
#include <mutex>

#include "datamanage/PatientFields.h"
#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

constexpr int kChartNoLimit = 30;
constexpr int kFieldCount = 6;

// The paths and chart numbers in a message are written printably: none splits its line.
void logError(const QString &message) {
    AppDelegate::shared().errorLog(
        QStringLiteral("\nPatient list: %1\n").arg(cvx::FileManager::printablePath(message)));
}

// The list's text; nothing when it is missing, too large or no text (`refusal` then says why).
std::optional<QString> readList(const QString &path, QString &refusal) {
    if (QFileInfo(path).size() > PatientFields::kMaxInputFileSize) return std::nullopt;
    const std::optional<QByteArray> bytes = cvx::FileManager::readFile(path);
    if (!bytes) return std::nullopt;
    return cvx::TextEncoding::fromImportedText(*bytes, &refusal);
}

PatientListImport::Outcome failed(PatientListImport::Outcome outcome, const QString &text) {
    outcome.signResult = 404;
    outcome.alertStr = text;
    return outcome;
}

}  // namespace

const QString PatientListImport::kNoFileText = QStringLiteral("インポート対象ファイルがありません。");
const QString PatientListImport::kNoEncodingText =
    QStringLiteral("ファイルの文字コードが Shift-JIS、UTF-8、UTF-16 のいずれでもないため読み込めません。");
const QString PatientListImport::kCannotTellText = QStringLiteral(
    "ファイルは Shift-JIS としても UTF-8 としても読めるため、どちらの文字コードか判断できず読み込めません。");

std::optional<OCMCustInfo> PatientListImport::patientFromLine(const QString &line) {
    const QStringList fields = line.split(u',');
    if (fields.size() != kFieldCount) return std::nullopt;
    const QString chartNo = NSStringExt::trim(fields[0]);
    if (chartNo.isEmpty() || !NSStringExt::validateDBCS(chartNo, kChartNoLimit)) return std::nullopt;
    // The check-measurement file is no patient's: its name would write patient details into it.
    if (!PatientFields::isStorableChartNumber(chartNo)) return std::nullopt;
    if (!PatientFields::validateName(fields[1]) || !PatientFields::validateName(fields[2]))
        return std::nullopt;
    if (!PatientFields::validateBirthday(NSStringExt::trim(fields[3]))) return std::nullopt;
    if (!PatientFields::validateSex(NSStringExt::trim(fields[4]))) return std::nullopt;
    if (!PatientFields::validateRemark(NSStringExt::trim(fields[5]))) return std::nullopt;
    return PatientFields::custInfoFromRow(fields);
}

PatientListImport::Outcome PatientListImport::importList(const QString &path, const CancelFlag &isCancel) {
    Outcome outcome;
    cvx::FileManager::createDirectory(UsbUtils::customerFolder());

    QString refusal;
    std::optional<QString> text = readList(path, refusal);
    if (!text && !refusal.isEmpty()) {
        logError(QStringLiteral("%1: %2; it was not read").arg(path, refusal));
        return failed(outcome, refusal == cvx::TextEncoding::kCannotTell ? kCannotTellText : kNoEncodingText);
    }
    if (!text) return failed(outcome, kNoFileText);
    // The data link brings its patients by its own folder; a list is not read in its modes.
    if (UsbUtils::isHaveMODE() != 0) return failed(outcome, kNoFileText);

    QList<OCMCustInfo> patients;
    const QStringList lines = PatientFields::splitLines(NSStringExt::trimNewline(*text));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (std::optional<OCMCustInfo> patient = patientFromLine(lines[i]))
            patients.append(*patient);
        else
            outcome.badLines.append(int(i) + 1);
    }
    outcome.goodLines = int(patients.size());
    if (!outcome.badLines.isEmpty() || patients.isEmpty()) return failed(outcome, kNoFileText);

    // Each file is written whole and renamed into place; the disk is waited for once, at the end.
    // A result stored meanwhile by the link must not be dropped by a rewrite: the lock is held
    // over a few patients at a time.
    SettingsFiles::WriteBatch batch;
    const auto flush = [&batch] {
        batch.release();
        cvx::UserDefaults::standard().flush();
        return cvx::FileManager::syncFileSystem(UsbUtils::customerFolder());
    };
    for (const OCMCustInfo &patient : patients) {
        if (isCancel && isCancel()) {
            flush();
            outcome.cancelled = true;
            return outcome;
        }
        batch.next();
        const bool saved = PatientFields::saveCustInfo(patient, cvx::Durability::Deferred);
        (saved ? outcome.saved : outcome.failed).append(patient.customerNo());
    }
    if (!flush()) {
        logError(QStringLiteral("%1: the patient files could not be flushed to disk").arg(path));
        return failed(outcome, QStringLiteral("%1件中%2件の患者情報を保存できませんでした。")
                                   .arg(patients.size())
                                   .arg(patients.size()));
    }

    if (!outcome.failed.isEmpty()) {
        logError(QStringLiteral("%1: %2 of %3 patients could not be saved: %4")
                     .arg(path)
                     .arg(outcome.failed.size())
                     .arg(patients.size())
                     .arg(outcome.failed.join(QStringLiteral(", "))));
        return failed(outcome, QStringLiteral("%1件中%2件の患者情報を保存できませんでした。")
                                   .arg(patients.size())
                                   .arg(outcome.failed.size()));
    }
    outcome.signResult = 200;
    return outcome;
}

void PatientListImport::start(const QString &path, CancelFlag isCancel,
                              std::function<void(const Outcome &)> completion) {
    cvx::Dispatch::globalAsync([path, isCancel = std::move(isCancel), completion = std::move(completion)] {
        const Outcome outcome = importList(path, isCancel);
        cvx::Dispatch::mainAsync([completion, outcome] {
            if (completion) completion(outcome);
        });
    });
}

bool PatientListImport::isTwo(const QString &folder) {
    for (const QString &relative : cvx::FileManager::subpaths(folder)) {
        if (cvx::FileManager::pathExtension(relative) != QLatin1String("xml")) continue;
        const QString path = cvx::FileManager::appendingPathComponent(folder, relative);
        if (cvx::FileManager::isDirectory(path)) continue;
        const std::optional<cvx::XmlDocument> doc =
            cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy);
        if (!doc) continue;
        for (const cvx::XmlElement &result : doc->rootElement().elements()) {
            if (!result.firstElement(QStringLiteral("Content1")).isNull() &&
                result.firstElement(QStringLiteral("DataValue3")).isNull())
                return true;
        }
    }
    return false;
}

QStringList PatientListImport::removeRepeat(const QStringList &files, const QStringList &userData) {
    const QString checkFile = QStringLiteral("Check_Measure_Result.xml");
    QStringList positions;
    for (const QString &file : files) {
        for (qsizetype i = 0; i < userData.size(); ++i) {
            if (file == userData[i] && file != checkFile) positions.append(QString::number(i));
        }
    }
    return positions;
}
