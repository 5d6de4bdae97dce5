// The check-measurement file and its line. The transfer of a check measurement is
// checked end to end (MeasurementEndToEndTest).
#include <gtest/gtest.h>

#include "PatientFixture.h"
#include "platform/VirtualHidDevice.h"

using namespace patienttest;

namespace {

TYTestInfo checkMeasurement(const QString &time, int records) {
    TYTestInfo info = measurement("");
    info.secondTest().setTyTime(time);
    for (int i = 0; i < records; ++i) info.secondTest().checkArray().append(info.secondTest().bfcTestData());
    return info;
}

TEST(CheckFile, LineHasAShortAndAReadingBlockPerRecord) {
    TYEachTest second = checkMeasurement("09:08", 1).secondTest();
    second.setTyTemp("249");  // this pass alone, no mean
    EXPECT_EQ(UsbUtils::checkRsvDataLine("SN7", "01.20", second, second.checkArray()),
              "SN7:V01.20,2026-03-05,09:08,0001,24.9 ℃,"
              "CHECK,0,---,51.2,"
              "CHECK,,p1k0s565,,p1k0r565,,p1k0s635,,p1k0r635,,p1k0s760,,p1k0r760,,512,,512,,512,,p1k0dark,"
              ",w565-1,,w635-1,,w760-1");
    for (int n : {0, 2}) {
        const QList<TYTestData> records(n, second.bfcTestData());
        EXPECT_EQ(fields(UsbUtils::checkRsvDataLine("SN7", "01.20", second, records)).size(), 11 + 25 * n);
    }
}

TEST(CheckFile, LaterChecksGoInFrontAndAnUnreadableFileIsKept) {
    cvx::VirtualHidHub::install();
    ASSERT_TRUE(UsbUtils::saveCheckMeasureResult(checkMeasurement("09:08", 1)));
    ASSERT_TRUE(UsbUtils::saveCheckMeasureResult(checkMeasurement("09:30", 2)));
    ASSERT_TRUE(UsbUtils::saveCheckMeasureResult(checkMeasurement("09:30", 2)));  // no duplicate check
    const auto doc = cvx::XmlDocument::fromFile(UsbUtils::getCheckXmlPath());
    ASSERT_TRUE(doc);
    QStringList times;
    for (const cvx::XmlElement &r : doc->rootElement().elements()) times << r.attribute("time");
    EXPECT_EQ(times, QStringList({"09:30", "09:30", "09:08"}));

    // No element, even when repaired; a file of another kind.
    for (const QByteArray &kept :
         {QByteArray("DATA comment"), QByteArray("<html><body><p>hello</p></body></html>")}) {
        writeBytes(UsbUtils::getCheckXmlPath(), kept);
        EXPECT_FALSE(UsbUtils::saveCheckMeasureResult(checkMeasurement("10:00", 1)));
        EXPECT_EQ(readBytes(UsbUtils::getCheckXmlPath()), kept);
    }
    UsbManager::resetSharedForTesting();
}

}  // namespace
