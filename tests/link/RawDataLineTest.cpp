// The raw data line of a stored result and the LEU status read back from it. The whole
// line of a real transfer is checked end to end (MeasurementEndToEndTest).
#include <gtest/gtest.h>

#include "PatientFixture.h"

using namespace patienttest;

namespace {

const QStringList kEntries{"2.3|平均レベル", "62.3|高め",       "51.2|強め", "73.5|少なめ",
                           "15.0|多め",      "68.8|平均レベル", "30.0|多め"};

QStringList lineOf(const TYTestInfo &info, const QStringList &entries = kEntries) {
    return fields(UsbUtils::rsvDataLine("SN1", "01.00", info, entries));
}

TEST(RawDataLine, PadsNeverSentAndCommasInTextsMoveNoField) {
    const QStringList empty = lineOf(TYTestInfo{}, {});
    ASSERT_EQ(empty.size(), 286);
    EXPECT_EQ(empty.mid(17, 4), QStringList({"", "0", "---", "0.0"}));  // DUMMY, told by its position
    EXPECT_EQ(empty.mid(25, 4), QStringList({"", "0", "---", "0.0"}));  // [Cal]
    EXPECT_EQ(empty.mid(29, 4), QStringList({"", "0", "", ""}));
    EXPECT_EQ(empty[4], "0.0 ℃");

    TYTestInfo info = measurement("X");
    info.firstTest().leuTestData().setTySample565("1,2");
    info.secondTest().setTyData("2026,03,05");
    const QStringList f = fields(UsbUtils::rsvDataLine("S,N", "01.00", info, kEntries));
    ASSERT_EQ(f.size(), 286);
    EXPECT_EQ(f.mid(0, 2), QStringList({"SN:V01.00", "20260305"}));
    EXPECT_EQ(f[176], "12");
    EXPECT_EQ(f[285], "w760-1");
}

TEST(RawDataLine, TemperatureIsTheMeanOfBothPassesInTenths) {
    const struct {
        const char *first;
        const char *second;
        const char *field;
    } cases[] = {
        {"251", "254", "25.2 ℃"},  // 25.25: an exact half rounds to even
        {"253", "254", "25.4 ℃"},  // 25.35 lies just above the half in binary
        {"-5", "5", "0.0 ℃"},
        {" 261x", "262", "26.1 ℃"},
    };
    for (const auto &c : cases) {
        TYTestInfo info = measurement("X");
        info.firstTest().setTyTemp(c.first);
        info.secondTest().setTyTemp(c.second);
        EXPECT_EQ(lineOf(info)[4], c.field) << c.first << " " << c.second;
    }
}

TEST(RawDataLine, LeuStatusOfAStoredLine) {
    const QStringList current = lineOf(measurement("X"));
    const QString older = lineOf(measurement("X", true)).join(',');
    auto withReading = [&](const QString &reading) {
        QStringList f = current;
        f[190] = reading;  // the first pass's LEU reading behind the stored value
        return f.join(',');
    };
    QStringList twoNames(20, "0");
    twoNames[1] = "I_LEU";
    twoNames[16] = "100";  // 10.0: More
    twoNames[3] = "LEU";
    twoNames[18] = "300";  // 30.0: Less
    const struct {
        const char *use;  // I_LEU's range choice
        QString line;
        bool flag;
        int status;
    } cases[] = {
        {"threshold", older, true, 0},
        {"threshold", current.join(','), false, 1},
        {"threshold", withReading("200"), true, 3},  // 20.0 is not below 20
        {"threshold", withReading("199"), true, 2},
        {"more", withReading("900"), true, 2},
        {"less", withReading("10"), true, 3},
        {"threshold", "x, I_LEU ,1,2", true, 2},                 // nothing 15 fields on: reads as empty
        {"threshold", twoNames.join(','), true, 3},              // the rightmost name counts
        {"threshold", "x,I_LEUs,a I_LEU,\tI_LEU_,1", false, 0},  // a name is a whole field
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.use) + " " + c.line.left(40).toStdString());
        installCalcSettings(c.use);
        EXPECT_EQ(UsbUtils::getItemStatus(c.flag, c.line), c.status);
    }

    // Ranges that cannot be loaded leave a current line unjudged instead of throwing.
    writeBytes(dataFolder() + "/CalcSetting.xml", "<CalcData/>");
    CalcSettingDatas::discardSharedForTesting();
    EXPECT_EQ(UsbUtils::getItemStatus(true, withReading("100")), -1);
    EXPECT_EQ(UsbUtils::getItemStatus(false, withReading("100")), 1);
    EXPECT_EQ(UsbUtils::getItemStatus(true, older), 0);
    CalcSettingDatas::discardSharedForTesting();
}

}  // namespace
