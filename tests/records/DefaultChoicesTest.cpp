#include <gtest/gtest.h>

#include <QStringList>

#include "platform/Bundle.h"
#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "records/DefaultChoices.h"
#include "records/SettingsFixture.h"
#include "records/UsbUtils.h"

namespace {

using namespace settingsfixture;

QString stored(const char *key) {
    return shape(cvx::UserDefaults::standard().objectForKey(key));
}

void installFromBundle(const QString &name) {
    cvx::FileManager::createDirectory(dataPath(QString()));
    ASSERT_TRUE(cvx::Bundle::copyResource(name, dataPath(name))) << name.toStdString();
}

QString repeated(const char *entry) {
    return "[" + QStringList(7, entry).join(',') + "]";
}

TEST(DefaultChoicesTest, FirstStartSeedsFromTheBundlesLists) {
    // Start-up installs and seeds "Comment.xml" before "HisSetting.xml".
    installFromBundle("Comment.xml");
    DefaultChoices::setTableAndTotalDefaultData();
    installFromBundle("HisSetting.xml");
    DefaultChoices::setHispitalAndDoctorDefaultData();

    EXPECT_EQ(stored("hos1"), "[0,1,0]");
    EXPECT_EQ(stored("hos2"), "[0,1,0]");
    EXPECT_EQ(stored("zhospital"), "みなと台デンタルオフィス");
    EXPECT_EQ(stored("zdoctor"), "鈴木 花子");
    const QString sentence(
        "歯科医院での「プロケア」と自分で行う「セルフケア」は、予防歯科の「車の両輪」です。"
        "両方のケアをしっかり実践し、生涯を通じて歯とお口の健康を守っていきましょう。");
    EXPECT_EQ(sentence.size(), 79);
    EXPECT_EQ(stored("ztotal"), sentence);
    EXPECT_EQ(stored("ztotAry"), "[1,0,0]");
    EXPECT_EQ(stored("signz"), "isTure");
    EXPECT_EQ(stored("xyz"), "y");
    EXPECT_EQ(stored("zsignData"), repeated("[[0,1,0],[0,1,0],[0,1,0]]"));

    // The second entry of each list; BFC's high list is "bfc2".
    const QVariantList content = cvx::UserDefaults::standard().arrayForKey("zcontent");
    ASSERT_EQ(content.size(), 7);
    EXPECT_EQ(content[2].toList().value(0).toString(),
              "唾液の緩衝能は強めで、食後に酸性になったお口を中性に戻す力が十分にあります。この状態を保ちまし"
              "ょう。");
    const BBInitDatas::Lists lists = BBInitDatas::getTableDetail();
    for (int i = 0; i < 21; ++i) {
        const QString key = BBInitDatas::listKeys()[i];
        EXPECT_EQ(content[i / 3].toList().value(i % 3).toString(), lists.value(key).value(1))
            << key.toStdString();
    }
}

TEST(DefaultChoicesTest, ShortListsTickNothingAndChooseEmptyTexts) {
    installText("HisSetting.xml",
                "<S><H name=\"hospital\"><hospital1>A</hospital1></H><D name=\"doctor\">"
                "<doctor1>X</doctor1><doctor2>Y</doctor2><doctor3>Z</doctor3></D></S>");
    installText("Comment.xml",
                "<C><L title=\"MS\" type=\"2\"><data1>only</data1></L>"
                "<L title=\"BFC\" type=\"2\"><data1>h1</data1><data2>h2</data2></L>"
                "<L title=\"TotalComment\" type=\"0\"></L></C>");
    DefaultChoices::seedAll();
    EXPECT_EQ(stored("hos1"), "[0]");
    EXPECT_EQ(stored("zhospital"), "");
    EXPECT_EQ(stored("hos2"), "[0,1,0]");
    EXPECT_EQ(stored("zdoctor"), "Y");
    // The launch seeding ends with the overall comments' choice.
    EXPECT_EQ(stored("ztotal"), "");
    EXPECT_EQ(stored("ztotAry"), "[]");
    EXPECT_EQ(stored("zsignData"),
              "[[[0],[],[]],[[],[],[]],[[0,1],[],[]],[[],[],[]],[[],[],[]],[[],[],[]],[[],[],[]]]");
    EXPECT_EQ(stored("zcontent"), "[[,,],[,,],[h2,,],[,,],[,,],[,,],[,,]]");
}

TEST(DefaultChoicesTest, ResetTicksTheDefaultsAgainAndLeavesTheSeedingMarks) {
    installFromBundle("Comment.xml");
    installFromBundle("HisSetting.xml");
    cvx::UserDefaults::standard().setObject(QStringList({"1", "0", "0"}), "hos1");
    DefaultChoices::resetSelections();
    EXPECT_EQ(stored("hos1"), "[0,1,0]");
    EXPECT_EQ(stored("ztotal"), BBInitDatas::getTotal().value("total").value(0));
    EXPECT_EQ(stored("xyz"), "<none>");
}

// The defaults the program carries, read through the readers that use them.
TEST(DefaultChoicesTest, BundleSettingsFilesFitTheirReaders) {
    for (const char *name : {"ModeSetting.xml", "USBSetting.xml", "DataTransfer.xml", "CommSetting.xml",
                             "HisSetting.xml", "Comment.xml", "DefaultComment.xml"})
        installFromBundle(name);
    EXPECT_EQ(UsbUtils::modeSetting(), 0);
    EXPECT_FALSE(UsbUtils::isDeleteBLD());
    EXPECT_EQ(load("USBSetting.xml").stringsForXPath("/DATA/Timeout"), QStringList{"10000"});
    EXPECT_EQ(UsbUtils::inputValue(), "");
    EXPECT_TRUE(UsbUtils::saveOutput("/out"));
    EXPECT_FALSE(BBInitDatas::getAutoVersionUp());
    EXPECT_GE(load("CommSetting.xml").rootElement().elements().size(), 2);
    EXPECT_GE(BBInitDatas::getHospital().value("doctor").size(), 2);

    // The export marks list i with the choice of item i / 3, level 2 - i % 3 (pH: level
    // i % 3), and the overall comments last; the file's order must agree with the keys.
    static const char *const titles[] = {"MS", "pH", "BFC", "BLD", "LEU", "ALB", "NH3"};
    for (const char *file : {"Comment.xml", "DefaultComment.xml"}) {
        const QList<cvx::XmlElement> lists = load(file).rootElement().elements();
        ASSERT_EQ(lists.size(), 22);
        for (int i = 0; i < 21; ++i) {
            const int level = (i >= 3 && i <= 5) ? i % 3 : 2 - i % 3;
            EXPECT_EQ(lists[i].attribute("title"), titles[i / 3]) << i;
            EXPECT_EQ(lists[i].attribute("type"), QString::number(2 - level)) << i;
            EXPECT_GE(lists[i].elements().size(), 2) << i;
        }
        EXPECT_EQ(lists[21].attribute("title"), "TotalComment");
    }
}

}  // namespace
