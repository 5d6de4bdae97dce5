// Whole measurements from the simulated instrument to the files of the data folder.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "PatientFixture.h"
#include "platform/TextEncoding.h"

using namespace cvxtest;
using namespace patienttest;

namespace {

// The test pads give a value on every kind of axis: MS from the pass difference
// (441 - 418), LEU below the threshold (More), NH3 differing between the passes.
Measurement sample(Measurement::Generation generation) {
    Measurement m(generation);
    m.chartNo = QStringLiteral("A-123");
    m.state = 5;
    m.pad(1, Pad::MS).reflectance = {"441", "441", "441"};
    m.setReflectance(Pad::LEU, QStringLiteral("150"));
    m.pad(1, Pad::NH3).reflectance = {"300", "300", "300"};
    m.second.white = {"4001", "4002", "4003"};
    return m;
}

// As the simulator's sendMeasurement, with any chart number in the KARTE record.
void sendAs(InstrumentSimulator &sim, const Measurement &m, const QString &chartNo) {
    sim.sendState(m.state, sim.displayVersion());
    for (int pass = 0; pass < 2; ++pass) {
        const Pass &p = pass == 0 ? m.first : m.second;
        QList<QByteArray> texts{records::resultHeader(2, p, QString::number(pass), m.type),
                                records::karte(3, chartNo), records::white(4, p.white)};
        int seq = 5;
        for (const PadReading &pad : p.pads) texts.append(records::pad(seq++, pad));
        sim.sendRecords(texts);
    }
}

QString errorLog() {
    return QString::fromUtf8(readBytes(cvx::FileManager::homeDirectory() + "/Error.txt"));
}

class MeasurementEndToEnd : public SimulatedInstrument {
protected:
    void transfer(const Measurement &m) {
        sim.sendMeasurement(m);
        ASSERT_TRUE(sim.run());
        EXPECT_EQ(sim.unacknowledgedFrames(), 0);
    }
};

TEST_F(MeasurementEndToEnd, LinkStoresEitherPadGenerationExactlyAsTheFileLayoutSays) {
    const struct {
        Measurement::Generation generation;
        const char *chartNo;
        const char *expected;
    } cases[] = {
        {Measurement::Generation::Current, "A-123", "PatientFile_current.xml"},
        {Measurement::Generation::Older, "B-456", "PatientFile_older.xml"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expected);
        Measurement m = sample(c.generation);
        m.chartNo = c.chartNo;
        transfer(m);
        EXPECT_FALSE(session().hasTestInfo());  // stored and dropped
        EXPECT_EQ(savedCount, 0);               // no window waits in state 5

        const QString actual = QString::fromUtf8(readBytes(patientPath(c.chartNo)));
        const QRegularExpressionMatch saved =
            QRegularExpression("<SaveDate>(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)</SaveDate>")
                .match(actual);
        ASSERT_TRUE(saved.hasMatch()) << actual.toStdString();
        QString expected = QString::fromUtf8(readBytes(fixture(c.expected)));
        expected.replace("@SAVEDATE@", saved.captured(1));
        EXPECT_EQ(actual.toStdString(), expected.toStdString());
    }
    EXPECT_TRUE(errorLog().isEmpty());
}

TEST_F(MeasurementEndToEnd, SameTransferTwiceStoresOnceAndLeavesTheFileByteForByte) {
    transfer(sample(Measurement::Generation::Current));
    const QByteArray first = readBytes(patientPath("A-123"));
    ASSERT_FALSE(first.isEmpty());
    transfer(sample(Measurement::Generation::Current));
    EXPECT_EQ(readBytes(patientPath("A-123")), first);
    EXPECT_TRUE(errorLog().isEmpty());  // a duplicate is no failure
}

TEST_F(MeasurementEndToEnd, MeasuringWindowStoresItsPatientAndReadsTheResultBack) {
    OCMCustInfo &patient = session().currentCustInfo();
    patient.setCustomerNo("P-9");
    patient.setFirstname("花子");
    patient.setLastname("佐藤");
    patient.setBirthday("1980-04-01");
    patient.setAge("45");
    patient.setSex("1");
    patient.setRemark("初診");
    ASSERT_TRUE(session().sendMessageToDevice(UsbManager::SendChartNo));
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.chartNo(), "P-9");

    Measurement m = sample(Measurement::Generation::Current);
    m.chartNo = "P-9";
    m.state = 2;
    transfer(m);
    EXPECT_EQ(savedCount, 1);
    EXPECT_FALSE(QFile::exists(patientPath("P-9")));  // the window stores it
    ASSERT_TRUE(UsbUtils::saveCustomerComment(session().testInfo(), 2));
    session().setTestInfo(nullptr);

    m.second.time = "09:30";
    transfer(m);
    ASSERT_TRUE(UsbUtils::saveCustomerComment(session().testInfo(), 2));

    const auto doc = UsbUtils::getCustomerXml("P-9");
    ASSERT_TRUE(doc);
    const cvx::XmlElement root = doc->rootElement();
    EXPECT_EQ(root.attribute("name"), "花子 佐藤");
    EXPECT_EQ(root.attribute("birthday"), "1980-04-01");
    EXPECT_EQ(root.attribute("sex"), "1");
    const QList<cvx::XmlElement> list = root.elements();
    ASSERT_EQ(list.size(), 2);
    const OCMCustomerComment newest = UsbUtils::getCustComment(list, 0);
    EXPECT_EQ(newest.hospital(), "さくら歯科");
    EXPECT_EQ(newest.doctor(), "山田 太郎");
    EXPECT_EQ(newest.remark(), "初診");
    EXPECT_EQ(newest.Totalcomment(), "総合 <良好> & 安定");
    EXPECT_EQ(newest.Sheetflg(), "-");
    EXPECT_EQ(newest.leu(), "多め");
    EXPECT_EQ(newest.Datavalue5(), "15.0|81");
    EXPECT_EQ(newest.contentLeu(), chosenComment(4, 0));
    EXPECT_EQ(newest.Datavalue7(), "30.0|65");
    EXPECT_EQ(fields(newest.rsvData()).value(2), "09:30");
    EXPECT_EQ(UsbUtils::getItemStatus(true, newest.rsvData()), 2);  // stored LEU 15.0 is below 20: More

    UsbUtils::savePrintInfo("P-9", "2026-03-05", "09:08");
    const QList<cvx::XmlElement> after = UsbUtils::getCustomerXml("P-9")->rootElement().elements();
    EXPECT_EQ(UsbUtils::getCustComment(after, 0).Sheetflg(), "-");
    EXPECT_EQ(UsbUtils::getCustComment(after, 1).Sheetflg(), "済");
}

TEST_F(MeasurementEndToEnd, CheckMeasurementLandsInTheShiftJisCheckFile) {
    Measurement m = sample(Measurement::Generation::Current);
    m.state = 2;
    m.second.temperature = "249";
    sim.sendCheckMeasurement(m);
    ASSERT_TRUE(sim.run());
    EXPECT_EQ(sim.unacknowledgedFrames(), 0);
    EXPECT_FALSE(session().isCheck());
    EXPECT_EQ(savedCount, 0);

    const QByteArray bytes = readBytes(UsbUtils::getCheckXmlPath());
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"shift-jis\"?>\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("24.9 \x81\x8e,CHECK,0,---,51.2,"));  // ℃ in CP932
    EXPECT_TRUE(cvx::TextEncoding::fromCp932(bytes).has_value());
    const auto doc = cvx::XmlDocument::fromFile(UsbUtils::getCheckXmlPath());
    ASSERT_TRUE(doc);
    const QList<cvx::XmlElement> results = doc->rootElement().elements();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(namesOf(results[0].elements()), QStringList{"RsvData"});
    const QStringList line = fields(results[0].firstElement("RsvData").stringValue());
    EXPECT_EQ(line.size(), 11 + 25 * 9);
    EXPECT_EQ(line.mid(0, 5), QStringList({"12345678:V01.00", "2026-03-05", "09:08", "0001", "24.9 ℃"}));
    EXPECT_EQ(line.mid(line.size() - 5), QStringList({"4001", "", "4002", "", "4003"}));
    EXPECT_FALSE(QFile::exists(patientPath("A-123")));
}

TEST_F(MeasurementEndToEnd, InterruptedCheckDoesNotCaptureTheNextPatient) {
    // The check's transfer ends while the instrument reports trouble: nothing is stored.
    Measurement check = sample(Measurement::Generation::Current);
    sim.sendState(3, sim.displayVersion());
    sim.sendRecords(
        {records::resultHeader(2, check.second, "1", "1"), records::pad(3, check.second.pads[0])});
    ASSERT_TRUE(sim.run());
    EXPECT_TRUE(session().isCheck());

    transfer(sample(Measurement::Generation::Current));
    EXPECT_FALSE(session().isCheck());
    EXPECT_TRUE(QFile::exists(patientPath("A-123")));
    EXPECT_FALSE(QFile::exists(UsbUtils::getCheckXmlPath()));
}

TEST_F(MeasurementEndToEnd, HostileChartNumbersWriteNothingOutsideTheCustomerFolder) {
    const QStringList hostile{"../evil", "../../escape",         "/tmp/cvx-abs", "",
                              ".hidden", "Check_Measure_Result", "a/../../b"};
    transfer(sample(Measurement::Generation::Current));  // a check file would change too
    const QString home = cvx::FileManager::homeDirectory();
    const auto before = snapshot(home, {"CommLog", "Error.txt", ".config"});
    for (const QString &chartNo : hostile) {
        SCOPED_TRACE(chartNo.toStdString());
        Measurement m = sample(Measurement::Generation::Current);
        m.second.time = "10:00";
        sendAs(sim, m, chartNo);
        ASSERT_TRUE(sim.run());
        EXPECT_EQ(sim.unacknowledgedFrames(), 0);
        EXPECT_FALSE(session().hasTestInfo());
    }
    EXPECT_EQ(snapshot(home, {"CommLog", "Error.txt", ".config"}), before);
    EXPECT_FALSE(QFile::exists("/tmp/cvx-abs.xml"));
    EXPECT_FALSE(QFile::exists(home + "/.Corvadenix/evil.xml"));
    // One line each in the error log, with the chart number, date and time.
    const QString log = errorLog();
    EXPECT_EQ(log.count("Measurement not stored"), hostile.size());
    EXPECT_TRUE(log.contains("chart number \"../evil\", date \"2026-03-05\", time \"10:00\""))
        << log.toStdString();
}

TEST_F(MeasurementEndToEnd, SecondPassWithoutTheFirstIsNotStoredInStateFive) {
    // The first pass went by before the link knew the state, which then drops it.
    const Measurement m = sample(Measurement::Generation::Current);
    sim.sendState(5, sim.displayVersion());
    QList<QByteArray> texts{records::resultHeader(2, m.second, "1", m.type), records::karte(3, m.chartNo),
                            records::white(4, m.second.white)};
    int seq = 5;
    for (const PadReading &pad : m.second.pads) texts.append(records::pad(seq++, pad));
    sim.sendRecords(texts);
    ASSERT_TRUE(sim.run());
    EXPECT_FALSE(QFile::exists(patientPath("A-123")));
    EXPECT_FALSE(session().hasTestInfo());
    EXPECT_TRUE(errorLog().contains("Measurement not stored: chart number \"A-123\""));
}

TEST_F(MeasurementEndToEnd, FailedStoreInStateFiveIsLoggedAndTheFlowGoesOn) {
    removeCalcSettings();  // the LEU axis has zero width
    transfer(sample(Measurement::Generation::Current));
    EXPECT_FALSE(QFile::exists(patientPath("A-123")));
    EXPECT_FALSE(session().hasTestInfo());
    EXPECT_TRUE(errorLog().contains(
        "Measurement not stored: chart number \"A-123\", date \"2026-03-05\", time \"09:08\"\n"));

    installCalcSettings();
    transfer(sample(Measurement::Generation::Current));
    EXPECT_TRUE(QFile::exists(patientPath("A-123")));
}

}  // namespace
