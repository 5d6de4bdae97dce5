#include "maintenance/SendDataCsv.h"

#include <QElapsedTimer>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/Dispatch.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/WorkAhead.h"
#include "platform/XmlDocument.h"
#include "records/ResultFields.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

const QString kLineEnd = QStringLiteral("\n");
constexpr int kHeaderRepeats = 11;
constexpr qint64 kProgressIntervalMs = 100;

// Items in the order MS, pH, BFC, BLD, LEU, ALB, NH3: value pair, level word, comment.
struct ItemFields {
    const QString &(OCMCustomerComment::*pair)() const;
    const QString &(OCMCustomerComment::*word)() const;
    const QString &(OCMCustomerComment::*comment)() const;
};

const ItemFields kItems[] = {
    {&OCMCustomerComment::Datavalue1, &OCMCustomerComment::ms, &OCMCustomerComment::contentMs},
    {&OCMCustomerComment::Datavalue2, &OCMCustomerComment::ph, &OCMCustomerComment::contentPh},
    {&OCMCustomerComment::Datavalue3, &OCMCustomerComment::bfc, &OCMCustomerComment::contentBfc},
    {&OCMCustomerComment::Datavalue4, &OCMCustomerComment::bld, &OCMCustomerComment::contentBld},
    {&OCMCustomerComment::Datavalue5, &OCMCustomerComment::leu, &OCMCustomerComment::contentLeu},
    {&OCMCustomerComment::Datavalue6, &OCMCustomerComment::alb, &OCMCustomerComment::contentAlb},
    {&OCMCustomerComment::Datavalue7, &OCMCustomerComment::nh3, &OCMCustomerComment::contentNh3},
};

QString withoutLineBreaks(QString text) {
    // Looked for first: removing copies the text even when there is nothing to remove.
    if (text.contains(QLatin1Char('\n'))) text.remove(QLatin1Char('\n'));
    if (text.contains(QLatin1Char('\r'))) text.remove(QLatin1Char('\r'));
    return text;
}

// A stored text as one field: a line break would start a new row and a comma a new column.
QString textField(const QString &text) {
    QString field = withoutLineBreaks(text);
    if (!field.contains(QLatin1Char(','))) return field;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

// The chart position of a "value|position" pair; empty when the pair has no separator.
QString chartPosition(const QString &pair) {
    return pair.section(QLatin1Char('|'), 1, 1);
}

bool isPatientFileName(const QString &name) {
    if (!name.endsWith(QLatin1String(".xml")) || name == QLatin1String("ALL RESULT.xml")) return false;
    // Also leaves out the check-measurement file and hidden files.
    return UsbUtils::isSafeChartNumber(name.chopped(4), true);
}

// The lines of one patient file's results in code page 932, made straight from the tree's UTF-8
// texts: what makeCsv and one conversion of the whole text give, without the text in between.
class FileLines {
public:
    FileLines()
        : substitute_([this](char32_t) {
              ++substituted;
              return QByteArrayLiteral("?");
          }) {}
    FileLines(const FileLines &) = delete;
    FileLines &operator=(const FileLines &) = delete;

    // The lines of the result elements among the root's children.
    void read(pugi::xml_node root) {
        bytes.resize(0);
        results = 0;
        substituted = 0;
        for (pugi::xml_node result : root.children()) {
            if (result.type() != pugi::node_element) continue;
            append(result);
            ++results;
        }
    }

    bool stored = false;  // read where the work was done
    QByteArray bytes;
    int results = 0;
    int substituted = 0;  // characters written as "?"

private:
    // makeCsv() for one result element.
    void append(pugi::xml_node result);
    void put(std::string_view utf8) {
        cvx::TextEncoding::appendCp932(bytes, QByteArrayView(utf8.data(), qsizetype(utf8.size())),
                                       substitute_);
    }
    void putWithoutLineBreaks(std::string_view text);
    // textField() on UTF-8.
    void putTextField(std::string_view text);

    const cvx::TextEncoding::Substitute substitute_;
    std::string scratch_;
};

bool hasLineBreak(std::string_view text) {
    return text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos;
}

std::string_view withoutLineBreaks(std::string_view text, std::string &scratch) {
    if (!hasLineBreak(text)) return text;
    scratch.clear();
    for (char c : text)
        if (c != '\n' && c != '\r') scratch += c;
    return scratch;
}

void FileLines::putWithoutLineBreaks(std::string_view text) {
    put(withoutLineBreaks(text, scratch_));
}

void FileLines::putTextField(std::string_view text) {
    if (text.find(',') == std::string_view::npos) return putWithoutLineBreaks(text);
    scratch_.assign(1, '"');
    for (char c : text) {
        if (c == '\n' || c == '\r') continue;
        scratch_ += c;
        if (c == '"') scratch_ += '"';
    }
    scratch_ += '"';
    put(scratch_);
}

void FileLines::append(pugi::xml_node result) {
    thread_local ResultFields fields{"Hospital", "Doctor",   "DataValue1", "MS",  "Content1", "DataValue2",
                                     "pH",       "Content2", "DataValue3", "BFC", "Content3", "DataValue4",
                                     "BLD",      "Content4", "DataValue5", "LEU", "Content5", "DataValue6",
                                     "ALB",      "Content6", "DataValue7", "NH3", "Content7", "RsvData"};
    fields.read(result);
    std::string when = result.attribute("date").value();
    when += ' ';
    when += result.attribute("time").value();
    putTextField(when);
    bytes += ',', putTextField(fields.text(0));
    bytes += ',', putTextField(fields.text(1));
    for (int item = 0; item < 7; ++item) {
        // The chart position of a "value|position" pair; empty when the pair has no separator.
        std::string_view position = fields.text(2 + 3 * item);
        const size_t bar = position.find('|');
        position = bar == std::string_view::npos ? std::string_view() : position.substr(bar + 1);
        bytes += ',', putTextField(position.substr(0, position.find('|')));
        bytes += ',', putTextField(fields.text(3 + 3 * item));
        bytes += ',', putTextField(fields.text(4 + 3 * item));
    }
    // Both replacements keep the field's width; the line's own commas separate its fields.
    const std::string_view raw = withoutLineBreaks(fields.text(23), scratch_);
    bytes += ',';
    for (size_t from = 0;;) {
        const size_t at = raw.find("I_", from);
        if (at == std::string_view::npos) {
            put(raw.substr(from));
            break;
        }
        const std::string_view pad = raw.substr(at, 5);
        if (pad == "I_LEU" || pad == "I_NH3") {
            put(raw.substr(from, at - from));
            bytes += QByteArrayView(pad.data() + 2, 3);
            bytes += "  ";
            from = at + 5;
        } else {
            put(raw.substr(from, at + 1 - from));
            from = at + 1;
        }
    }
    bytes += '\n';
}

SendDataCsv::Report &failed(SendDataCsv::Report &report, const QString &error) {
    report.outcome = SendDataCsv::Outcome::WriteFailed;
    if (report.error.isEmpty()) report.error = error;
    return report;
}

}  // namespace

struct SendDataCsv::State {
    std::mutex mutex;
    bool cancelled = false;
    // The outcome is decided (the file is being put in place, or the thread is done): from
    // here on a cancel changes nothing.
    bool settled = false;
    std::atomic<bool> running{false};
};

SendDataCsv::SendDataCsv() : state_(std::make_shared<State>()) {}

SendDataCsv::~SendDataCsv() {
    cancel();
    if (thread_.joinable()) thread_.join();
}

QString SendDataCsv::proposedFileName() {
    return QStringLiteral("唾液検査結果　送信データ.csv");
}

bool SendDataCsv::saveSendCsvFolder(const QString &folder) {
    if (!cvx::isXmlText(folder)) return false;
    std::lock_guard lock(SettingsFiles::writeMutex());
    const QString path = SettingsFiles::preparedPath(QStringLiteral("CommSetting.xml"));
    std::optional<cvx::XmlDocument> doc = SettingsFiles::loadToRewrite(path, SettingsFiles::kDataRoot);
    if (!doc) return false;
    cvx::XmlElement root = doc->rootElement();
    root.insertElement(std::max(0, root.childCount() - 2), QStringLiteral("SendCsvFolder"), folder);
    return doc->save(path);
}

bool SendDataCsv::start(const QString &path, FinishedHandler finished, ProgressHandler progress) {
    if (state_->running) return false;
    if (thread_.joinable()) thread_.join();
    {
        std::lock_guard lock(state_->mutex);
        state_->cancelled = false;
        state_->settled = false;
    }
    state_->running = true;

    // The thread keeps the state for its checks; the main-thread blocks drop their report
    // once this writer is gone.
    std::weak_ptr<State> weak = state_;
    thread_ = std::thread(
        [state = state_, weak, path, finished = std::move(finished), progress = std::move(progress)] {
            const CancelCheck check = [&state](CheckPoint point) {
                std::lock_guard lock(state->mutex);
                if (state->cancelled) return true;
                if (point == CheckPoint::Commit) state->settled = true;
                return false;
            };
            QElapsedTimer sinceReport;
            sinceReport.start();
            const ProgressHandler post = [&](const Progress &p) {
                if (!progress) return;
                if (p.filesDone < p.filesTotal && sinceReport.elapsed() < kProgressIntervalMs) return;
                sinceReport.restart();
                cvx::Dispatch::mainAsync([weak, progress, p] {
                    if (weak.lock()) progress(p);
                });
            };

            Report report = startMethod(path, check, post);
            {
                std::lock_guard lock(state->mutex);
                if (state->cancelled) report.outcome = Outcome::Cancelled;
                state->settled = true;
            }
            cvx::Dispatch::mainAsync([weak, finished, report] {
                const std::shared_ptr<State> alive = weak.lock();
                if (!alive) return;
                alive->running = false;
                if (finished) finished(report);
            });
        });
    return true;
}

bool SendDataCsv::cancel() {
    if (!state_->running) return false;
    std::lock_guard lock(state_->mutex);
    if (state_->settled) return false;
    state_->cancelled = true;
    return true;
}

bool SendDataCsv::isRunning() const {
    return state_->running;
}

SendDataCsv::Report SendDataCsv::startMethod(const QString &path, const CancelCheck &isCancelled,
                                             const ProgressHandler &progress) {
    Report report;
    const auto stop = [&](CheckPoint point) { return isCancelled && isCancelled(point); };

    const QString folder = UsbUtils::customerFolder();
    cvx::FileManager::createDirectory(folder);
    QStringList patients = cvx::FileManager::contentsOfDirectory(folder);
    patients.removeIf([](const QString &name) { return !isPatientFileName(name); });
    report.patientFiles = int(patients.size());
    if (patients.isEmpty()) {
        report.outcome = Outcome::NoPatientFile;
        return report;
    }

    // Unless committed, the temporary file goes with this object.
    cvx::AtomicFile file(path);
    if (!file.open()) return failed(report, file.errorString());
    const auto write = [&](const QByteArray &bytes) {
        if (file.write(bytes)) return true;
        report.error = file.errorString();
        return false;
    };
    QString title;
    makeCsvTitle(title);
    if (!write(cvx::TextEncoding::toCp932(title).value_or(QByteArray()))) return failed(report, QString());

    QStringList pathList;
    for (const QString &name : std::as_const(patients)) pathList.append(folder + QLatin1Char('/') + name);
    // Only read from here on, on every thread.
    const QStringList &paths = pathList;
    // Files are read and made into lines on every core a few files ahead. A file in another
    // form than the stored one is read here, in order, so that its repair is reported in turn.
    cvx::WorkAhead<FileLines> ahead(paths.size(), [&paths](qsizetype index, FileLines &lines) {
        thread_local cvx::XmlFileReader reader;
        const pugi::xml_node root = reader.readStored(paths[index]);
        lines.stored = bool(root);
        if (root) lines.read(root);
    });
    cvx::XmlFileReader reader;
    FileLines own;

    Progress done{0, report.patientFiles, 0};
    if (progress) progress(done);
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (stop(CheckPoint::File)) {
            report.outcome = Outcome::Cancelled;
            return report;
        }
        const FileLines *lines = &ahead.next();
        if (!lines->stored) {
            // A folder, a pipe or a device under a patient's name is not read: a pipe would block.
            const pugi::xml_node root = reader.read(paths[i], cvx::XmlFileReader::Files::Regular);
            if (root) own.read(root);
            lines = root ? &own : nullptr;
        }
        if (!lines) {
            report.unreadableFiles.append(patients[i]);
        } else {
            for (int line = 0; line < lines->results; ++line) {
                if (stop(CheckPoint::Result)) {
                    report.outcome = Outcome::Cancelled;
                    return report;
                }
                ++report.results;
            }
            report.substitutedCharacters += lines->substituted;
            if (!write(lines->bytes)) return failed(report, QString());
        }
        ++done.filesDone;
        done.results = report.results;
        if (progress) progress(done);
    }

    if (stop(CheckPoint::Commit)) {
        report.outcome = Outcome::Cancelled;
        return report;
    }
    if (!file.commit()) return failed(report, file.errorString());
    report.outcome = Outcome::Written;
    return report;
}

void SendDataCsv::makeCsvTitle(QString &str) {
    str += QStringLiteral(
        "測定日,医院名,歯科医師名,むし歯菌,,コメント,pH,,コメント,酸緩衝能,,コメント,潜血,,コメント,"
        "白血球,,コメント,タンパク質,,コメント,アンモニア,,コメント,");
    str += QStringLiteral("Serial,測定日,測定時刻,測定番号,測定温度,");
    for (int i = 0; i < kHeaderRepeats; ++i)
        str += QStringLiteral("測定項目名称,異常フラグ,判定ランク,反射率,");
    for (int i = 0; i < kHeaderRepeats; ++i) {
        str += QStringLiteral(
            "測定項目名称,565nm_Sample1,565nm_Sample2,565nm_Reference1,565nm_Reference2,635nm_Sample1,"
            "635nm_Sample2,");
        str += QStringLiteral(
            "635nm_Reference1,635nm_Reference2,760nm_Sample1,760nm_Sample2,760nm_Reference1,"
            "760nm_Reference2,");
        str += QStringLiteral(
            "REF_Befor1,REF_Befor2,REF_TempAfter1,REF_TempAfter2,REF_nmAfter1,REF_nmAfter2,Dark1,Dark2,");
    }
    str += QStringLiteral("565nm_White1,565nm_White2,635nm_White1,635nm_White2,760nm_White1,760nm_White2");
    str += kLineEnd;
}

void SendDataCsv::makeCsv(const OCMCustomerComment &cust, QString &str) {
    str += textField(cust.date() + QLatin1Char(' ') + cust.time());
    str += QLatin1Char(',') + textField(cust.hospital());
    str += QLatin1Char(',') + textField(cust.doctor());
    for (const ItemFields &item : kItems) {
        str += QLatin1Char(',') + textField(chartPosition((cust.*item.pair)()));
        str += QLatin1Char(',') + textField((cust.*item.word)());
        str += QLatin1Char(',') + textField((cust.*item.comment)());
    }
    // Both replacements keep the field's width; the line's own commas separate its fields.
    QString raw = withoutLineBreaks(cust.rsvData());
    raw.replace(QLatin1String("I_LEU"), QLatin1String("LEU  "));
    raw.replace(QLatin1String("I_NH3"), QLatin1String("NH3  "));
    str += QLatin1Char(',') + raw;
    str += kLineEnd;
}
