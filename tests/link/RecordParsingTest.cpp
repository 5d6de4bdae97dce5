// Reading the instrument's records into the session, and the work at the end of a
// transfer.
#include <gtest/gtest.h>

#include <QFile>

#include "PatientFixture.h"
#include "records/AppDelegate.h"

using namespace cvxtest;
using namespace patienttest;

namespace {

QString describe(const TYTestData &d) {
    return QStringList{d.tyName(),         d.tySample565(),    d.tyReference565(),
                       d.tySample635(),    d.tyReference635(), d.tySample760(),
                       d.tyReference760(), d.tyRefBefor(),     d.tyRefTempBefor(),
                       d.tyRefnmBefor(),   d.tyDark(),         d.isOldData() ? "old" : "new"}
        .join('/');
}

// Every text of a measurement, so that a test sees any change.
QString describe(const TYTestInfo &info) {
    QStringList out{info.userID()};
    for (const TYEachTest *p : {&info.firstTest(), &info.secondTest()}) {
        out << p->tyResltAD() << p->tyData() << p->tyTime() << p->tyTemp() << p->tyTestNO() << p->tyStrep()
            << p->tyCount() << p->tyType() << p->tyWhite565() << p->tyWhite635() << p->tyWhite760();
        for (const TYTestData *d :
             {&p->bfcTestData(), &p->phTestData(), &p->msTestData(), &p->dummyTestData(), &p->bldTestData(),
              &p->calTestData(), &p->leuTestData(), &p->albTestData(), &p->nh3TestData()})
            out << describe(*d);
        for (const TYTestData &d : p->checkArray()) out << describe(d);
    }
    return out.join('|');
}

class RecordParsing : public SimulatedInstrument {
protected:
    void send(const QList<QByteArray> &records) {
        sim.sendRecords(records);
        ASSERT_TRUE(sim.run());
        EXPECT_EQ(sim.unacknowledgedFrames(), 0);
    }
    static QString commLog() {
        QString all;
        const QDir dir(cvx::FileManager::homeDirectory() + "/CommLog");
        for (const QString &name : dir.entryList({"*.log"}, QDir::Files, QDir::Name))
            all += QString::fromUtf8(readBytes(dir.filePath(name)));
        return all;
    }
};

TEST_F(RecordParsing, RecordsShortOfWhatTheyNeedAreIgnoredWhole) {
    Measurement m;
    sim.sendState(2, "V1.00");
    send({records::resultHeader(2, m.first, "0", "0"), records::karte(3, "K-1"),
          records::white(4, m.first.white), records::pad(5, m.first.pads[0])});
    const QString before = describe(session().testInfo());
    const QString version = session().deviceDispVersion();

    const QByteArray shortRecords[] = {
        "002002X|RESLT_AD^1\rY|ID^1|DATE^2027-01-01|TIME^10:00|TEMP^300|NO^9|STRIP^1|COUNT^1\r",  // no TYPE
        "002002X|RESLT_AD^1\rY|ID^1|DATE^2027-01-01|TIME10:00|TEMP^300|NO^9|STRIP^1|COUNT^1|TYPE^1\r",
        "002002X|KARTE\rY|ID\r",
        "002002X|STATE\rY|INF^|VER^V9.99\r",
        "002002X|STATE\rY\r",
        "002002X|INF12\rY|WHITE^1$2\r",
        "002002X|INF12\rY|WHITE^CHECK\r",
        "002002X|INF13\rY|NAME^BFC|DATA^1$2$3$4$5|REF^1$2$3|DARK^1\r",
        "002002X|INF13\rY|NAME^BFC|DATA^1$2$3$4$5$6|REF^1$2|DARK^1\r",
        "002002X|INF13\rY|NAME^BFC|DATA^1$2$3$4$5$6|REF^1$2$3\r",
        "002002X|INF13\rY|NAME^XYZ|DATA^1$2$3$4$5$6|REF^1$2$3|DARK^1\r",  // unknown pad
        "002002X|INF\rY|NAME^BFC|DATA^1$2$3$4$5$6|REF^1$2$3|DARK^1\r",
        "002002X|TRBL\rY|INF^1\r",
    };
    for (const QByteArray &record : shortRecords) {
        SCOPED_TRACE(record.toStdString());
        send({record});
        EXPECT_EQ(describe(session().testInfo()), before);
        EXPECT_EQ(transport().deviceStatus(), 2);
        EXPECT_EQ(session().deviceDispVersion(), version);
        EXPECT_FALSE(session().isCheck());
    }

    // In check mode, short check records change nothing either.
    send({records::resultHeader(2, m.second, "1", "1")});
    ASSERT_TRUE(session().isCheck());
    const QString checking = describe(session().testInfo());
    for (const QByteArray &record : {QByteArray("002002X|INF13\rY|NAME^BFC|DATA^1$2$3|REF^1$2$3|DARK^1\r"),
                                     QByteArray("002002X|INF13\rY|NAME^BFC|DATA^1$2$3$4$5$6|REF^1$2$3\r"),
                                     QByteArray("002002X|INF12\rY|WHITE^CHECK\r")}) {
        send({record});
        EXPECT_EQ(describe(session().testInfo()), checking);
    }
}

TEST_F(RecordParsing, StateAndConnectionRecords) {
    ASSERT_EQ(transport().deviceStatus(), -1);
    send({records::connect(2)});
    EXPECT_EQ(transport().deviceStatus(), 7);
    send({records::connect(2)});
    EXPECT_EQ(commLog().count("================接続確認"), 1);

    send({records::state(2, 1, "V2.00")});
    EXPECT_EQ(session().deviceDispVersion(), "V2.00");
    send({records::connect(2)});
    EXPECT_EQ(transport().deviceStatus(), 1);
    EXPECT_EQ(commLog().count("================接続確認"), 1);

    send({"002002X|STATE\rY|INF^8\r"});  // no VER field
    EXPECT_EQ(transport().deviceStatus(), 8);
    EXPECT_EQ(session().deviceDispVersion(), "unknown");
    EXPECT_TRUE(commLog().contains("================未知の"));
    send({"002002X|STATE\rY|INF^x||VER^V3\r"});
    EXPECT_EQ(transport().deviceStatus(), 0);
    EXPECT_EQ(session().deviceDispVersion(), "V3");
}

TEST_F(RecordParsing, StateLabelsInTheCommunicationLog) {
    const char *const labels[] = {"起動処理中", "待機中", "測定中", "トラブル状態", "電源OFF状態",
                                  "その他状態", "待機中", "未知の", "未知の",       "未知の"};
    for (int digit = 0; digit < 10; ++digit) {
        QFile::remove(cvx::FileManager::homeDirectory() + "/CommLog/" + AppDelegate::shared().logDataStr());
        send({records::state(2, digit, "V1.00")});
        EXPECT_EQ(transport().deviceStatus(), digit);
        EXPECT_TRUE(commLog().contains("\r\n================" + QString::fromUtf8(labels[digit]) + "\r\n"))
            << digit;
    }

    // Each pass of a measurement is announced; the second pass of a check is not.
    Measurement m;
    m.state = 1;
    sim.sendMeasurement(m);
    sim.sendCheckMeasurement(m);
    ASSERT_TRUE(sim.run());
    const QString log = commLog();
    EXPECT_EQ(log.count("\r\n==========第一次測光\r\n"), 1);
    EXPECT_EQ(log.count("\r\n==========第二次測光\r\n"), 1);
}

TEST_F(RecordParsing, PassesWhitesAndPadsGoWhereTheirPassNumberSays) {
    Measurement m;
    sim.sendState(2, "V1.00");
    PadReading leu = m.first.pads[int(Pad::LEU)];
    leu.name = " LEU";
    send({records::white(2, {"1", "2", "3"}),  // before any second pass: the first
          records::resultHeader(3, m.second, "2", "0"), records::white(4, {"4", "5", "6"}),
          records::pad(5, leu)});
    const TYTestInfo &info = session().testInfo();
    EXPECT_EQ(info.secondTest().tyCount(), "2");
    EXPECT_EQ(info.firstTest().tyWhite565(), "4");  // pass number 2 is no second pass
    EXPECT_EQ(info.firstTest().leuTestData().tyName(), " LEU");
    EXPECT_TRUE(info.firstTest().leuTestData().isOldData());
    EXPECT_EQ(savedCount, 0);  // nothing handed over without pass number 1

    send({records::resultHeader(2, m.second, "1", "0"), records::white(3, {"7", "8", "9"})});
    EXPECT_EQ(info.secondTest().tyWhite760(), "9");
    EXPECT_EQ(info.firstTest().tyWhite760(), "6");
    EXPECT_EQ(savedCount, 1);
}

}  // namespace
