#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

#include "fixtures/dataio/DataFolderKit.h"
#include "platform/Numbers.h"
#include "records/UsbUtils.h"
#include "support/ScopedDateSettings.h"

namespace {

using dataio::data;
using dataio::read;

const QString kLine = QStringLiteral(
    "A1:V12345,2015-04-01,0001,25.0 ℃,BFC,0,w,5.0,PH,0,w,6.8,MS,0,w,12.5,DUMMY,0,---,25.0,BLD,0,w,30.0,"
    "[Cal],0,---,25.0,LEU,0,w,20.0,ALB,0,w,40.0,NH3,0,w,15.0");

// The three elements of an item as the converter must write them from the line's value.
QString item(const QString &name, int n, double value, double chartInput, int flag, int wordIndex,
             const QString &comment) {
    const double position = UsbUtils::getAxiYValue(chartInput, flag);
    return QStringLiteral(
               "        <%1>%2</%1>\n        <DataValue%3>%4</DataValue%3>\n        "
               "<Content%3>%5</Content%3>\n")
        .arg(name, UsbUtils::getResultValue(position, wordIndex), QString::number(n),
             cvx::format("%.1f|%.0f", value, position), comment);
}

QString expectedResult(const QString &remark, const QString &c4) {
    return QStringLiteral(
               "    <comment date=\"2015-04-01\" time=\"10:20\">\n        <Hospital>H</Hospital>\n"
               "        <Doctor>D</Doctor>\n        <SheetFlg>-</SheetFlg>\n") +
           remark + item("MS", 1, 12.5, 12.5, 10, 0, "c1") + item("pH", 2, 6.8, 6.8, 1, 1, "c2") +
           item("BFC", 3, 5.0, 5.0, 2, 2, "c3") + item("BLD", 4, 30.0, std::log10(30.0), 3, 3, c4) +
           item("LEU", 5, 20.0, std::log10(20.0), 8, 8, "c5") + item("ALB", 6, 40.0, 40.0, 5, 5, "c6") +
           item("NH3", 7, 15.0, std::log10(15.0), 9, 9, "c7") +
           QStringLiteral("        <RsvData>%1</RsvData>\n        <SaveDate>NOW</SaveDate>\n    </comment>\n")
               .arg(QString(kLine).replace("2015-04-01,", "2015-04-01,10:20,"));
}

struct Case {
    const char *label;
    QString file;
    int layoutClass;
    QString expected;
};

TEST(UsbUtilsConversionTest, OlderLayoutsComeOutInTheCurrentLayoutExactly) {
    dataio::installDefaults();
    const QString head = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n";
    const QString oldest =
        "<DATA name=\"X\"><comment date=\"2015-04-01\" "
        "time=\"10:20\"><Hospital>H</Hospital><Doctor>D</Doctor>"
        "<MS>m</MS><Content1 "
        "a=\"1\">c1</Content1><PH>p</PH><Content2>c2</Content2><BFC>b</BFC><Content3>c3</Content3>"
        "<BLD>x</BLD><Content4 z=\"2\">c4</Content4><LEU>l</LEU><Content5>c5</Content5><ALB>a</ALB>"
        "<Content6>c6</Content6><NH3>n</NH3><Content7>c7</Content7><RsvData>" +
        kLine + "</RsvData></comment></DATA>";
    // Exported in the six-item mode: no BLD elements.
    const QString old =
        "<DATA name=\"Y\" birthday=\"2000-01-01\" age=\"15\" sex=\"0\"><comment date=\"2015-04-01\" "
        "time=\"10:20\">"
        "<Hospital>H</Hospital><Doctor>D</Doctor><SheetFlg>-</SheetFlg><Remark>r</Remark><TotalComment>t</"
        "TotalComment>"
        "<MS>m</MS><DataValue1>0|0</DataValue1><Content1>c1</Content1><PH>p</PH><DataValue2>0|0</DataValue2>"
        "<Content2>c2</Content2><BFC>b</BFC><DataValue3>0|0</DataValue3><Content3>c3</Content3><LEU>l</LEU>"
        "<DataValue5>0|0</DataValue5><Content5>c5</Content5><ALB>a</ALB><DataValue6>0|0</DataValue6>"
        "<Content6>c6</Content6><NH3>n</NH3><DataValue7>0|0</DataValue7><Content7>c7</Content7><RsvData>" +
        kLine + "</RsvData></comment></DATA>";
    const Case cases[] = {
        {"oldest", oldest, 1,
         head + "<DATA name=\"X\" birthday=\"\" age=\"\" sex=\"\">\n" +
             expectedResult("        <Remark></Remark>\n        <TotalComment></TotalComment>\n", "c4") +
             "</DATA>\n"},
        {"oldest, with a comment and an instruction, which are no places and stay",
         QString(oldest)
             .replace("<Doctor>D</Doctor>", "<Doctor>D</Doctor><!-- x -->")
             .replace("</comment>", "</comment><?cvx y?>"),
         1,
         head + "<DATA name=\"X\" birthday=\"\" age=\"\" sex=\"\">\n" +
             expectedResult("        <Remark></Remark>\n        <TotalComment></TotalComment>\n", "c4")
                 .replace("<Doctor>D</Doctor>\n", "<Doctor>D</Doctor>\n        <!-- x -->\n") +
             "    <?cvx y?>\n</DATA>\n"},
        {"old, six items", old, 2,
         head + "<DATA name=\"Y\" birthday=\"2000-01-01\" age=\"15\" sex=\"0\">\n" +
             expectedResult("        <Remark>r</Remark>\n        <TotalComment>t</TotalComment>\n", "") +
             "</DATA>\n"},
    };
    QTemporaryDir chosen;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const QString from = chosen.path() + "/P.xml";
        const QString to = data("Customer/P.xml");
        dataio::write(from, c.file);
        QFile::remove(to);
        ASSERT_EQ(UsbUtils::isOldData(from), c.layoutClass);
        const auto convert =
            c.layoutClass == 1 ? &UsbUtils::saveFromOldOldDataPath : &UsbUtils::saveFromOldDataPath;
        cvx::FileManager::createDirectory(data("Customer"));
        ASSERT_EQ(convert(from, to), UsbUtils::ConvertResult::Written);
        QString written = read(to);
        const QRegularExpression saveDate("<SaveDate>\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d</SaveDate>");
        EXPECT_TRUE(written.contains(saveDate));
        written.replace(saveDate, "<SaveDate>NOW</SaveDate>");
        EXPECT_EQ(written, c.expected);
        EXPECT_EQ(read(from), c.file);  // the imported file is never changed
    }
}

// An oldest-layout file over a known patient keeps the details it lacks; a result without
// date and time gets the local ones, far from UTC on both sides (a day apart, in one process).
TEST(UsbUtilsConversionTest, MissingDetailsKeepTheLocalOnesAndDatesAreLocal) {
    dataio::installDefaults();
    for (const auto &[zone, hours] : {std::pair{"Pacific/Pago_Pago", -11}, {"Pacific/Kiritimati", 14}}) {
        const cvxtest::ScopedTz tz(zone);
        QTemporaryDir chosen;
        const QString from = chosen.path() + "/P.xml";
        const QString to = data("Customer/P.xml");
        dataio::write(from,
                      "<DATA name=\"\"><comment><Hospital>H</Hospital><MS>m</MS><RsvData>too,short</RsvData>"
                      "</comment></DATA>");
        dataio::write(to, dataio::patientFile("山田 花子", {}));
        const auto local = [hours = hours] {
            const QDateTime now = QDateTime::currentDateTimeUtc().addSecs(hours * 3600);
            return now.toString("'date=\"'yyyy-MM-dd'\" time=\"'HH:mm'\"'");
        };
        const QString before = local();
        ASSERT_EQ(UsbUtils::saveFromOldOldDataPath(from, to), UsbUtils::ConvertResult::Written);
        const QString written = read(to);
        EXPECT_TRUE(
            written.contains("<DATA name=\"山田 花子\" birthday=\"1980-01-02\" age=\"44\" sex=\"1\">"))
            << written.toStdString();
        EXPECT_TRUE(written.contains(before) || written.contains(local())) << zone << written.toStdString();
    }
}

// A local file that cannot be read is kept rather than replaced (its results would be lost);
// a result too short for its layout is copied unconverted rather than read out of range.
TEST(UsbUtilsConversionTest, UnreadableLocalFileAndShortResultsLoseNothing) {
    dataio::installDefaults();
    QTemporaryDir chosen;
    const QString from = chosen.path() + "/P.xml";
    const QString to = data("Customer/P.xml");
    const QString shortResult =
        "<DATA name=\"a\" birthday=\"\" age=\"\" sex=\"\"><comment date=\"2015-01-01\" time=\"09:00\">"
        "<MS>m</MS><RsvData>too,short</RsvData></comment></DATA>";
    dataio::write(from, shortResult);
    dataio::write(to, "DATA comment");  // no element, even when repaired
    EXPECT_EQ(UsbUtils::saveFromOldDataPath(from, to), UsbUtils::ConvertResult::LocalUnreadable);
    EXPECT_EQ(read(to), "DATA comment");
    const QByteArray odd = shortResult.toUtf8().replace("<MS>m", "<MS>\xff");  // read as U+FFFD only
    ASSERT_TRUE(cvx::FileManager::writeAtomically(to, odd));
    EXPECT_EQ(UsbUtils::saveFromOldDataPath(from, to), UsbUtils::ConvertResult::LocalUnreadable);
    EXPECT_EQ(cvx::FileManager::readFile(to), odd);
    // A local file of another kind is no patient's either.
    dataio::write(to, "<html><body><p>hello</p></body></html>");
    EXPECT_EQ(UsbUtils::saveFromOldDataPath(from, to), UsbUtils::ConvertResult::LocalUnreadable);
    EXPECT_EQ(read(to), "<html><body><p>hello</p></body></html>");

    QFile::remove(to);
    EXPECT_EQ(UsbUtils::saveFromOldDataPath(from, to), UsbUtils::ConvertResult::Written);
    EXPECT_TRUE(read(to).contains("<MS>m</MS>\n        <RsvData>too,short</RsvData>"));
    // Whatever an older layout named its root, the file written is a patient file of this
    // program, which takes the next measurement.
    dataio::write(from, QString(shortResult).replace("DATA", "Data"));
    QFile::remove(to);
    EXPECT_EQ(UsbUtils::saveFromOldDataPath(from, to), UsbUtils::ConvertResult::Written);
    EXPECT_TRUE(read(to).contains("<DATA name=\"a\" birthday=\"\" age=\"\" sex=\"\">\n    <comment"));
}

// Two measurements stored within the same minute share their date and time: the local one
// must stand in for its own twin, so that the other one is neither lost nor doubled.
TEST(UsbUtilsConversionTest, SameMinuteResultsEachKeepTheirOwnPlace) {
    dataio::installDefaults();
    const auto result = [](const QString &testNo, int v) {
        return dataio::currentResult("2024-05-06", "10:00", v).replace(",0001,", "," + testNo + ",");
    };
    QTemporaryDir chosen;
    const QString from = chosen.path() + "/P.xml";
    const QString to = data("Customer/P.xml");
    dataio::write(from, dataio::patientFile("a", {result("0002", 2), result("0001", 1)}));
    dataio::write(to, dataio::patientFile("a", {result("0001", 1)}));

    ASSERT_EQ(UsbUtils::saveFromCurrentDataPath(from, to), UsbUtils::ConvertResult::Written);
    const QString merged = read(to);
    EXPECT_EQ(merged.count(",0001,"), 1) << merged.toStdString();
    EXPECT_EQ(merged.count(",0002,"), 1) << merged.toStdString();
}

// A local file that turns up between converting ahead and saving is merged, not overwritten.
TEST(UsbUtilsConversionTest, LocalFileArrivingAfterConversionIsMerged) {
    dataio::installDefaults();
    QTemporaryDir chosen;
    const QString from = chosen.path() + "/P.xml";
    const QString to = data("Customer/P.xml");
    dataio::write(from, dataio::patientFile("P", {dataio::currentResult("2024-01-02", "01:00", 1)}));
    QFile::remove(to);
    UsbUtils::ConvertedFile ahead = UsbUtils::convertImportedPath(from, true);
    ASSERT_TRUE(ahead.bytes);
    const QString local = dataio::patientFile("P", {dataio::currentResult("2024-01-01", "01:00", 2)});
    dataio::write(to, local);
    using R = UsbUtils::ConvertResult;
    ASSERT_EQ(UsbUtils::saveConverted(std::move(ahead), to, cvx::Durability::Deferred), R::Written);
    const QString merged = read(to);
    dataio::write(to, local);
    ASSERT_EQ(UsbUtils::saveFromImportedPath(from, to), R::Written);
    EXPECT_EQ(merged, read(to));
    EXPECT_TRUE(merged.contains("2024-01-01") && merged.contains("2024-01-02")) << merged.toStdString();
    // The same for a file read by the caller and saved in a folder held open.
    dataio::write(to, local);
    ahead = UsbUtils::convertImportedFile([&] { return cvx::FileManager::readFile(from); }, from, true);
    ASSERT_EQ(UsbUtils::saveConverted(std::move(ahead), cvx::OpenFolder(data("Customer")), "P.xml", to,
                                      cvx::Durability::Deferred),
              R::Written);
    EXPECT_EQ(read(to), merged);
}

}  // namespace
