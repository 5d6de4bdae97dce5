#include <gtest/gtest.h>

#include "platform/FileManager.h"
#include "records/SettingsFixture.h"
#include "records/UsbUtils.h"

namespace {

using namespace settingsfixture;

const QString kTransfer = QStringLiteral("DataTransfer.xml");

void installData(const char *name, const QString &children) {
    installText(
        name, QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>%1</DATA>\n").arg(children));
}

TEST(SingleValueSettingsTest, ModeAndSixItemSwitch) {
    const struct {
        const char *children;
        int mode;
        bool deleteBld;
    } cases[] = {
        {"<MODE>3</MODE><DeleteBLD>1</DeleteBLD>", 3, true},
        {"<MODE> 4\n </MODE><DeleteBLD> 1</DeleteBLD>", 4, false},
        {"<MODE>6</MODE><DeleteBLD>1\n</DeleteBLD>", 0, false},
        {"<MODE></MODE><DeleteBLD/>", 0, false},
        {"<MODE>5</MODE><MODE>3</MODE><DeleteBLD>1</DeleteBLD><DeleteBLD>0</DeleteBLD>", 5, true},
        {"<Mode>3</Mode>", 0, false},
        {"<MODE>3<DeleteBLD>1</DeleteBLD>", 0, false},  // where MODE ends is a guess: not read
        {"<MODE>3", 3, false},                          // read as repaired: <MODE>3</MODE>
    };
    for (const auto &c : cases) {
        installData("ModeSetting.xml", c.children);
        EXPECT_EQ(UsbUtils::modeSetting(), c.mode) << c.children;
        EXPECT_EQ(UsbUtils::isDeleteBLD(), c.deleteBld) << c.children;
    }
    cvx::FileManager::removeItem(dataPath("ModeSetting.xml"));
    EXPECT_EQ(UsbUtils::modeSetting(), 0);
    EXPECT_FALSE(UsbUtils::isDeleteBLD());
}

TEST(SingleValueSettingsTest, TimeoutInWholeSecondsWithinItsBounds) {
    const struct {
        const char *timeout;
        int seconds;
    } cases[] = {
        {"999", 10},     {"1000", 1},   {"1999", 1},    {"15500", 15},
        {"60000", 60},   {"60001", 10}, {"abc", 10},    {"", 10},
        {"  30000", 30}, {"-5000", 10}, {"+2000ms", 2}, {"99999999999999999999", 10},
    };
    for (const auto &c : cases) {
        installData("USBSetting.xml", QStringLiteral("<Timeout>%1</Timeout>").arg(c.timeout));
        EXPECT_EQ(UsbUtils::timeoutNum(), c.seconds) << c.timeout;
    }
    installData("USBSetting.xml", "<Other>5000</Other>");
    EXPECT_EQ(UsbUtils::timeoutNum(), 10);
    cvx::FileManager::removeItem(dataPath("USBSetting.xml"));
    EXPECT_EQ(UsbUtils::timeoutNum(), 10);
}

TEST(SingleValueSettingsTest, FoldersAreTakenUntrimmedFromTheOnlyElementAndWrittenBack) {
    install("DataTransfer_twooutputs.xml", kTransfer);
    EXPECT_EQ(UsbUtils::inputValue(), "  /srv/link/in  ");
    EXPECT_EQ(UsbUtils::outputValue(), "");
    // Two OUTPUT elements: neither is written.
    const QByteArray before = contents(kTransfer);
    EXPECT_FALSE(UsbUtils::saveOutput("/elsewhere"));
    EXPECT_EQ(contents(kTransfer), before);

    installData("DataTransfer.xml", "<INPUT>/in</INPUT><OUTPUT>/out</OUTPUT><Extra a=\"1\">x</Extra>");
    ASSERT_TRUE(UsbUtils::saveInput("/home/a & b/<in>"));
    ASSERT_TRUE(UsbUtils::saveOutput(""));
    EXPECT_EQ(UsbUtils::inputValue(), "/home/a & b/<in>");
    EXPECT_EQ(UsbUtils::outputValue(), "");
    EXPECT_EQ(contents(kTransfer),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n"
              "    <INPUT>/home/a &amp; b/&lt;in&gt;</INPUT>\n    <OUTPUT></OUTPUT>\n"
              "    <Extra a=\"1\">x</Extra>\n</DATA>\n");

    installData("DataTransfer.xml", "<OUTPUT>/out</OUTPUT>");
    EXPECT_FALSE(UsbUtils::saveInput("/in"));
    cvx::FileManager::removeItem(dataPath(kTransfer));
    EXPECT_FALSE(UsbUtils::saveInput("/in"));
    EXPECT_TRUE(contents(kTransfer).isNull());
}

}  // namespace
