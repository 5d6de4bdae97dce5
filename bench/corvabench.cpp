// Bulk jobs of a large practice, each timed through the program's own classes beside its floor:
// a plain recursive copy (cp -r) for the jobs that copy or write patient files, a plain pugixml
// parse of every patient file for the jobs that read them all.
//
//   corvabench <patients> <results per patient> [rounds]
//
// One line per job: job, size, median time, median floor, ratio, peak memory of the job.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <random>

#include <pugixml.hpp>

#include "datamanage/DataExport.h"
#include "datamanage/DataImport.h"
#include "datamanage/DataLinkImport.h"
#include "datamanage/PatientListImport.h"
#include "datamanage/ResultListFile.h"
#include "maintenance/SendDataCsv.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/TextEncoding.h"
#include "platform/UserDefaults.h"
#include "records/AppDelegate.h"
#include "records/OCMCustInfo.h"
#include "review/OutputController.h"
#include "review/ResultTableController.h"
#include "shell/entry/PatientRecords.h"

namespace {

const char *const kSurnames[] = {"佐藤", "鈴木", "高橋", "田中", "伊藤",   "渡辺", "山本", "中村",
                                 "小林", "加藤", "吉田", "山田", "佐々木", "山口", "松本", "井上",
                                 "木村", "林",   "斎藤", "清水", "山崎",   "森",   "池田", "橋本"};
const char *const kGivenNames[] = {"太郎", "花子",   "一郎", "美咲", "翔太", "陽菜", "大輔", "結衣",
                                   "健太", "さくら", "拓也", "葵",   "蓮",   "凛",   "悠真", "芽依"};
const char *const kWords[] = {"多め", "平均レベル", "少なめ"};
const char *const kComments[] = {"歯みがきを丁寧に続けましょう。", "定期的な検診をおすすめします。",
                                 "食生活に気をつけましょう。", ""};

// Deterministic: the same arguments give the same folders.
class Generator {
public:
    explicit Generator(int results) : results_(results) {}

    QString surname(int patient) const { return QString::fromUtf8(kSurnames[patient % 24]); }
    QString givenName(int patient) const { return QString::fromUtf8(kGivenNames[(patient / 24) % 16]); }
    QString chartNo(int patient) const {
        return QStringLiteral("%1").arg(patient + 1, 6, 10, QLatin1Char('0'));
    }

    // Layout 0 current, 1 old, 2 oldest.
    QByteArray patientFile(int patient, int layout) {
        std::mt19937 rng(patient * 7919 + layout);
        QByteArray out;
        out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
        const QString name = surname(patient) + u' ' + givenName(patient);
        if (layout == 2)
            out += "<DATA name=\"" + name.toUtf8() + "\" birthday=\"1980-04-01\">\n";
        else
            out += "<DATA name=\"" + name.toUtf8() + "\" birthday=\"1980-04-01\" age=\"44\" sex=\"" +
                   QByteArray::number(patient % 2) + "\">\n";
        for (int r = 0; r < results_; ++r) {
            const QString date = QStringLiteral("20%1-%2-%3")
                                     .arg(24 - r / 12, 2, 10, QLatin1Char('0'))
                                     .arg(12 - r % 12, 2, 10, QLatin1Char('0'))
                                     .arg(1 + patient % 28, 2, 10, QLatin1Char('0'));
            const QString time = QStringLiteral("%1:%2")
                                     .arg(9 + r % 9, 2, 10, QLatin1Char('0'))
                                     .arg(patient % 60, 2, 10, QLatin1Char('0'));
            out += "    <comment date=\"" + date.toUtf8() + "\" time=\"" + time.toUtf8() + "\">\n";
            result(out, rng, layout, date, time, r);
            out += "    </comment>\n";
        }
        out += "</DATA>\n";
        return out;
    }

    QByteArray checkFile() const {
        QByteArray out =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n<DATA name=\"\" birthday=\"\" "
            "age=\"\" sex=\"0\">\n";
        for (int r = 0; r < 3; ++r)
            out += "    <comment date=\"2024-01-0" + QByteArray::number(r + 1) +
                   "\" time=\"10:00\">\n        <RsvData>0123:V1.0.0,2024-01-01,10:00,1,25.0 ℃,CHECK,0,---,"
                   "50.0</RsvData>\n    </comment>\n";
        return out + "</DATA>\n";
    }

private:
    static void element(QByteArray &out, const char *name, const QByteArray &text) {
        out += "        <";
        out += name;
        out += ">" + text + "</";
        out += name;
        out += ">\n";
    }

    QByteArray rawLine(std::mt19937 &rng, const QString &date, const QString &time, bool withTime,
                       bool newerPads) {
        static const char *const pads[] = {"BFC", "PH", "MS", "DUMMY", "BLD", "[Cal]", "LEU", "ALB", "NH3"};
        QStringList f;
        f << QStringLiteral("0123:V1.2.3") << date;
        if (withTime) f << time;
        f << QString::number(rng() % 999) << QStringLiteral("25.0 ℃");
        for (const char *pad : pads) {
            QString name = QString::fromLatin1(pad);
            if (newerPads && (name == QLatin1String("LEU") || name == QLatin1String("NH3")))
                name.prepend(QStringLiteral("I_"));
            f << name << QStringLiteral("0") << QString::fromUtf8(kWords[rng() % 3])
              << QString::number(double(rng() % 1000) / 10.0, 'f', 1);
        }
        for (int i = 0; i < 8; ++i) f << QString();
        for (int i = f.size(); i < (withTime ? 286 : 285); ++i) f << QString::number(rng() % 4096);
        return f.join(u',').toUtf8();
    }

    void result(QByteArray &out, std::mt19937 &rng, int layout, const QString &date, const QString &time,
                int r) {
        const bool newer = r % 2 == 0;
        const QByteArray line = rawLine(rng, date, time, layout == 0, newer);
        element(out, "Hospital", "さくら歯科医院");
        element(out, "Doctor", "山田 一郎");
        if (layout == 2) {
            const char *const items[] = {"MS", "PH", "BFC", "BLD", "LEU", "ALB", "NH3"};
            for (int i = 0; i < 7; ++i) {
                element(out, items[i], kWords[rng() % 3]);
                element(out, ("Content" + std::to_string(i + 1)).c_str(), kComments[rng() % 4]);
            }
            element(out, "RsvData", line);
            return;
        }
        element(out, "SheetFlg", r % 3 ? "-" : "済");
        element(out, "Remark", "");
        element(out, "TotalComment", kComments[rng() % 4]);
        const char *const items[] = {"MS", "pH", "BFC", "BLD", "LEU", "ALB", "NH3"};
        for (int i = 0; i < 7; ++i) {
            element(out, items[i], kWords[rng() % 3]);
            element(out, ("DataValue" + std::to_string(i + 1)).c_str(),
                    QByteArray::number(double(rng() % 1000) / 10.0, 'f', 1) + "|" +
                        QByteArray::number(int(rng() % 101)));
            element(out, ("Content" + std::to_string(i + 1)).c_str(), kComments[rng() % 4]);
        }
        element(out, "RsvData", line);
        if (layout == 0) element(out, "SaveDate", (date + u' ' + time + QStringLiteral(":00")).toUtf8());
    }

    int results_;
};

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void copySettings(const QString &folder) {
    QDir().mkpath(folder);
    for (const char *name : {"CalcSetting.xml", "CommSetting.xml", "Comment.xml", "DataTransfer.xml",
                             "DefaultComment.xml", "HisSetting.xml", "ModeSetting.xml", "USBSetting.xml"})
        cvx::Bundle::copyResource(QString::fromLatin1(name), folder + u'/' + QString::fromLatin1(name));
}

// A data folder as the store leaves it (layout 0), or an exported one with older layouts mixed in.
void makeDataFolder(Generator &gen, const QString &folder, int patients, bool mixedLayouts) {
    copySettings(folder);
    const QString customer = folder + QStringLiteral("/Customer");
    QDir().mkpath(customer);
    for (int p = 0; p < patients; ++p)
        writeFile(customer + u'/' + gen.chartNo(p) + QStringLiteral(".xml"),
                  gen.patientFile(p, mixedLayouts ? p % 3 : 0));
    writeFile(customer + QStringLiteral("/Check_Measure_Result.xml"), gen.checkFile());
}

QByteArray patientList(Generator &gen, int patients, bool linkLayout) {
    QString text;
    for (int p = 0; p < patients; ++p) {
        text += QStringLiteral("%1,%2,%3,1980/4/%4,%5,%6\r\n")
                    .arg(gen.chartNo(p), gen.surname(p), gen.givenName(p))
                    .arg(1 + p % 28)
                    .arg(p % 2 ? QStringLiteral("F") : QStringLiteral("M"))
                    .arg(linkLayout ? QStringLiteral("連携") : QStringLiteral("備考"));
    }
    return *cvx::TextEncoding::toCp932(text);
}

void setHome(const QString &home) {
    QDir().mkpath(home);
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
}

// Set aside rather than deleted until the end: a file system that has just deleted thousands
// of files is slow to create the next ones, which would burden whichever job runs next.
QString &graveyard() {
    static QString folder;
    return folder;
}

void removeTree(const QString &path) {
    static int buried = 0;
    if (!QFileInfo::exists(path)) return;
    if (graveyard().isEmpty() || !QDir().rename(path, graveyard() + u'/' + QString::number(++buried)))
        QDir(path).removeRecursively();
}

double copyTree(const QString &from, const QString &to) {
    removeTree(to);
    QElapsedTimer t;
    t.start();
    QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), from, to});
    const double s = t.nsecsElapsed() / 1e9;
    removeTree(to);
    return s;
}

double parseAll(const QString &customer) {
    QElapsedTimer t;
    t.start();
    int parsed = 0;
    for (const QString &name : QDir(customer).entryList(QDir::Files)) {
        pugi::xml_document doc;
        if (doc.load_file((customer + u'/' + name).toLocal8Bit().constData())) ++parsed;
    }
    const double s = t.nsecsElapsed() / 1e9;
    if (parsed == 0) std::fprintf(stderr, "nothing parsed in %s\n", qPrintable(customer));
    return s;
}

// Peak resident memory since the last reset, in MB.
void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}
double peakMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

struct Job {
    QString name;
    std::function<void()> prepare;  // untimed, before each round
    std::function<void()> run;      // timed
    std::function<double()> floor;  // timed by itself
    std::function<void()> check;    // untimed, after each round: complains when the job did nothing
};

void runJob(const Job &job, const QString &size, int rounds) {
    std::vector<double> times, floors;
    double peak = 0;
    for (int r = 0; r < rounds + 1; ++r) {  // round 0 warms the cache
        if (job.prepare) job.prepare();
        resetPeak();
        QElapsedTimer t;
        t.start();
        job.run();
        const double s = t.nsecsElapsed() / 1e9;
        peak = std::max(peak, peakMb());
        if (job.check) job.check();
        const double f = job.floor();
        if (r == 0) continue;
        times.push_back(s);
        floors.push_back(f);
    }
    const double time = median(times), floor = median(floors);
    std::printf("%-26s %-10s %9.3f s %9.3f s %7.2fx %8.0f MB\n", qPrintable(job.name), qPrintable(size), time,
                floor, floor > 0 ? time / floor : 0, peak);
    std::fflush(stdout);
}

void fail(const char *what) {
    std::fprintf(stderr, "%s\n", what);
}

}  // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: corvabench <patients> <results per patient> [rounds]\n");
        return 2;
    }
    const int patients = std::max(1, args[1].toInt());
    const int results = std::max(1, args[2].toInt());
    const int rounds = args.size() > 3 ? std::max(1, args[3].toInt()) : 5;
    const QString size = QStringLiteral("%1x%2").arg(patients).arg(results);

    QTemporaryDir scratch;
    const QString base = scratch.path();
    Generator gen(results);

    const QString home = base + QStringLiteral("/home");
    const QString data = home + QStringLiteral("/.Corvadenix");
    const QString customer = data + QStringLiteral("/Customer");
    const QString exported = base + QStringLiteral("/exported");
    const QString older = base + QStringLiteral("/older");
    const QString out = base + QStringLiteral("/out");
    const QString emptyHome = base + QStringLiteral("/empty");
    const QString list = base + QStringLiteral("/patients.csv");
    const QString input = base + QStringLiteral("/input");
    QDir().mkpath(out);
    graveyard() = base + QStringLiteral("/graveyard");
    QDir().mkpath(graveyard());

    std::fprintf(stderr, "generating %s in %s\n", qPrintable(size), qPrintable(base));
    makeDataFolder(gen, data, patients, false);
    makeDataFolder(gen, exported, patients, false);
    makeDataFolder(gen, older, patients, true);
    writeFile(list, patientList(gen, patients, false));
    const QByteArray linkList = patientList(gen, patients, true);

    std::printf("%-26s %-10s %11s %11s %8s %11s\n", "job", "size", "time", "floor", "ratio", "peak");

    const auto atHome = [&] { setHome(home); };
    // A home as the start-up leaves it on a new computer: settings files, no patient.
    const auto inEmptyHome = [&] {
        removeTree(emptyHome);
        setHome(emptyHome);
        copySettings(emptyHome + QStringLiteral("/.Corvadenix"));
    };
    const auto emptyCustomer = [&] { return emptyHome + QStringLiteral("/.Corvadenix/Customer"); };
    const auto countFiles = [](const QString &folder) { return QDir(folder).entryList(QDir::Files).size(); };

    QList<Job> jobs;
    jobs.append({QStringLiteral("patient-list import"), inEmptyHome,
                 [&] {
                     if (PatientListImport::importList(list).signResult != 200) fail("patient list failed");
                 },
                 [&] { return copyTree(emptyCustomer(), base + QStringLiteral("/copy")); },
                 [&] {
                     if (countFiles(emptyCustomer()) < patients) fail("patient list wrote too few files");
                 }});
    jobs.append({QStringLiteral("data-link import, mode 5"),
                 [&] {
                     inEmptyHome();
                     removeTree(input);
                     QDir().mkpath(input);
                     writeFile(input + QStringLiteral("/patients.csv"), linkList);
                 },
                 [&] {
                     if (!DataLinkImport::loadAndSaveMode5WithPath(input)) fail("data link failed");
                 },
                 [&] { return copyTree(emptyCustomer(), base + QStringLiteral("/copy")); },
                 [&] {
                     if (countFiles(emptyCustomer()) < patients) fail("data link wrote too few files");
                 }});
    jobs.append({QStringLiteral("import into empty home"),
                 inEmptyHome,
                 [&] {
                     const DataImport::Outcome o = DataImport::importDataFolder(exported);
                     if (o.signResult != 200)
                         std::fprintf(stderr, "import failed: %s\n", qPrintable(o.skipped.join(u';')));
                 },
                 [&] { return copyTree(exported, base + QStringLiteral("/copy")); },
                 {}});
    jobs.append({QStringLiteral("import, older layouts"),
                 inEmptyHome,
                 [&] {
                     if (DataImport::importDataFolder(older).signResult != 200) fail("conversion failed");
                 },
                 [&] { return copyTree(older, base + QStringLiteral("/copy")); },
                 {}});
    jobs.append({QStringLiteral("export"),
                 [&] {
                     atHome();
                     removeTree(out);
                     QDir().mkpath(out);
                 },
                 [&] {
                     if (DataExport::exportDataFolder(out).isSucc != 200) fail("export failed");
                 },
                 [&] { return copyTree(data, base + QStringLiteral("/copy")); },
                 {}});
    jobs.append({QStringLiteral("start-up backup"),
                 [&] {
                     atHome();
                     for (const QString &name :
                          QDir(home).entryList({QStringLiteral(".Corvadenix_*")}, QDir::Dirs | QDir::Hidden))
                         removeTree(home + u'/' + name);
                 },
                 [&] {
                     if (!AppDelegate::shared().backupFromPath(data)) fail("backup failed");
                 },
                 [&] { return copyTree(data, base + QStringLiteral("/copy")); },
                 {}});
    jobs.append({QStringLiteral("result list"),
                 atHome,
                 [&] {
                     if (ResultListFile::writeList(out, false).status != ResultListFile::Status::Written)
                         fail("result list failed");
                 },
                 [&] { return parseAll(customer); },
                 {}});
    jobs.append({QStringLiteral("send-data CSV"),
                 atHome,
                 [&] {
                     if (SendDataCsv::startMethod(out + QStringLiteral("/send.csv")).outcome !=
                         SendDataCsv::Outcome::Written)
                         fail("send-data CSV failed");
                 },
                 [&] { return parseAll(customer); },
                 {}});
    jobs.append({QStringLiteral("name search, entry"),
                 atHome,
                 [&] {
                     if (entry::searchPatients(QString(), gen.surname(3), QString(), 0).userArray.isEmpty())
                         fail("entry search found nothing");
                 },
                 [&] { return parseAll(customer); },
                 {}});
    jobs.append({QStringLiteral("name search, finder"),
                 atHome,
                 [&] {
                     if (OutputController::nameHits(gen.surname(3), QString(), 0).isEmpty())
                         fail("finder found nothing");
                 },
                 [&] { return parseAll(customer); },
                 {}});

    // One patient saved from the entry form, with a remark stored for every patient, beside the
    // same save with none stored.
    const auto saveOne = [&] {
        OCMCustInfo info;
        info.setCustomerNo(QStringLiteral("999999"));
        info.setFirstname(QStringLiteral("佐藤"));
        info.setLastname(QStringLiteral("花子"));
        info.setBirthday(QStringLiteral("1990-01-01"));
        info.setSex(QStringLiteral("1"));
        info.setRemark(QStringLiteral("備考"));
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 20; ++i) entry::saveCustInfo(info);
        return t.nsecsElapsed() / 1e9;
    };
    double withRemarks = 0;
    jobs.append({QStringLiteral("entry save, many remarks"),
                 [&] {
                     inEmptyHome();
                     // Written as the store writes it, so that setting up is not what is timed.
                     QJsonObject remarks;
                     for (int p = 0; p < patients; ++p)
                         remarks.insert(gen.chartNo(p) + QStringLiteral("_remark"), QStringLiteral("備考"));
                     const QString path = cvx::UserDefaults::defaultFilePath();
                     QDir().mkpath(QFileInfo(path).path());
                     writeFile(path, QJsonDocument(remarks).toJson());
                     cvx::UserDefaults::standard().stringForKey(QStringLiteral("xyz"));
                 },
                 [&] { withRemarks = saveOne(); },
                 [&] {
                     inEmptyHome();
                     return saveOne();
                 },
                 {}});

    // CORVABENCH_ONLY=<part of a job's name> runs that job alone (for a profiler).
    const QString only = qEnvironmentVariable("CORVABENCH_ONLY");
    jobs.removeIf([&](const Job &job) { return !only.isEmpty() && !job.name.contains(only); });
    for (const Job &job : jobs)
        runJob(
            job,
            job.name.startsWith(QLatin1String("entry save")) ? QStringLiteral("%1 x20").arg(patients) : size,
            rounds);
    Q_UNUSED(withRemarks);
    // Nothing left to be written into the scratch folder once it goes.
    cvx::UserDefaults::standard().flush();
    return 0;
}
