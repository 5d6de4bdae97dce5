#include <gtest/gtest.h>

#include <QList>
#include <QString>
#include <future>
#include <vector>

#include "records/CalcSettingDatas.h"
#include "records/CalcSettingFixture.h"

namespace {

QString withReplaced(const QString &from, const QString &to) {
    QString xml = calcfixture::kXml;
    const qsizetype at = xml.indexOf(from);
    EXPECT_GE(at, 0) << from.toStdString();
    return xml.replace(at, from.size(), to);
}

TEST(CalcSettingDatasTest, ReadsEveryRangeOfBothGenerations) {
    calcfixture::install(calcfixture::kXml);
    const CalcSettingDatas &c = CalcSettingDatas::getInst();

    EXPECT_EQ(c.NH3().SrcData().DataRange().min(), "1.1");
    EXPECT_EQ(c.NH3().SrcData().DataRange().max(), "1.9");
    EXPECT_EQ(c.NH3().ChgData().AvgRange().min(), "40");
    EXPECT_EQ(c.NH3().ChgData().AvgData(), "50");
    EXPECT_EQ(c.I_NH3().SrcData().DataRange().min(), "1.2");
    EXPECT_EQ(c.I_NH3().SrcData().AvgRange().max(), "1.8");
    EXPECT_EQ(c.I_NH3().ChgData().AvgRange().max(), "63");
    EXPECT_EQ(c.LEU().SrcData().AvgData(), "1.4");
    EXPECT_EQ(c.LEU().ChgData().AvgRange().min(), "39");

    EXPECT_EQ(c.I_LEU().UseData(), 2);
    EXPECT_EQ(c.I_LEU().Threshold(), "20");
    EXPECT_EQ(c.I_LEU().More().SrcData().DataRange().min(), "0.35");
    EXPECT_EQ(c.I_LEU().More().SrcData().coefC(), "30");
    EXPECT_EQ(c.I_LEU().More().SrcData().coefD(), "70");
    EXPECT_EQ(c.I_LEU().More().ChgData().AvgData(), "55");
    EXPECT_EQ(c.I_LEU().Less().SrcData().DataRange().max(), "2.0");
    EXPECT_EQ(c.I_LEU().Less().ChgData().AvgRange().min(), "30");
    // Coefficients belong to the "more" value range only.
    EXPECT_TRUE(c.I_LEU().Less().SrcData().coefC().isNull());
    EXPECT_TRUE(c.I_LEU().More().ChgData().coefD().isNull());
}

TEST(CalcSettingDatasTest, UseAttributeChoosesTheRangeSet) {
    const struct {
        const char *datas;
        int useData;
    } cases[] = {
        {R"(<Datas use="more">)", 1},
        {R"(<Datas use="less">)", 0},
        {R"(<Datas use="More">)", 2},
        {R"(<Datas use="both">)", 2},
        {R"(<Datas>)", 2},
    };
    for (const auto &c : cases) {
        calcfixture::install(
            withReplaced(QStringLiteral(R"(<Datas use="threshold">)"), QString::fromUtf8(c.datas)));
        EXPECT_EQ(CalcSettingDatas::getInst().I_LEU().UseData(), c.useData) << c.datas;
    }
}

TEST(CalcSettingDatasTest, RangeTextsAndDuplicateNodes) {
    QString xml = withReplaced(QStringLiteral("<DataRange>1.1|1.9</DataRange>"),
                               QStringLiteral("<DataRange>1|2|3</DataRange>"));
    xml.replace(QStringLiteral("<AvgRange>40|60</AvgRange>"), QStringLiteral("<AvgRange>40|</AvgRange>"));
    // A second "more" set after the first is ignored.
    xml.replace(
        QStringLiteral(R"(<Data use="less">
                    <AvgData>1.5</AvgData>)"),
        QStringLiteral(
            R"(<Data use="more"><AvgData>9</AvgData><DataRange>8|9</DataRange><AvgRange>8|9</AvgRange><coefC>1</coefC><coefD>2</coefD></Data>
                <Data use="less">
                    <AvgData>1.5</AvgData>)"));
    calcfixture::install(xml);
    const CalcSettingDatas &c = CalcSettingDatas::getInst();
    EXPECT_EQ(c.NH3().SrcData().DataRange().min(), "1");
    EXPECT_EQ(c.NH3().SrcData().DataRange().max(), "2");
    EXPECT_EQ(c.NH3().ChgData().AvgRange().max(), "");
    EXPECT_EQ(c.I_LEU().More().SrcData().AvgData(), "1.0");
    EXPECT_EQ(c.I_LEU().More().SrcData().coefC(), "30");
}

TEST(CalcSettingDatasTest, MissingOrUnparsableFileLeavesEverythingUnset) {
    for (bool present : {false, true}) {
        if (present)
            calcfixture::install(
                QStringLiteral("CalcData, DATA title='SrcData'"));  // no element even when repaired
        else
            CalcSettingDatas::discardSharedForTesting();
        const CalcSettingDatas &c = CalcSettingDatas::getInst();
        EXPECT_EQ(c.I_LEU().UseData(), 2);
        EXPECT_TRUE(c.I_LEU().Threshold().isNull());
        EXPECT_TRUE(c.I_NH3().SrcData().DataRange().min().isNull());
        EXPECT_TRUE(c.LEU().ChgData().AvgData().isNull());
    }
}

// Each broken file fails the load; once it is mended the next call reads it, with no
// other reset in between.
TEST(CalcSettingDatasTest, MissingNodeFailsEachTimeUntilTheFileIsMended) {
    const struct {
        const char *from;
        const char *to;
    } cases[] = {
        {"<Threshold>20</Threshold>", ""},
        {"<coefC>30</coefC>", ""},
        {"<coefD>70</coefD>", ""},
        {"<AvgRange>43|63</AvgRange>", ""},
        {"<AvgData>1.4</AvgData>", ""},
        {"<DataRange>0.9|1.9</DataRange>", "<DataRange>0.9</DataRange>"},
        {"<AvgRange>30|50</AvgRange>", "<AvgRange>30 50</AvgRange>"},
        {R"(<range title="I_NH3">)", R"(<range title="i_nh3">)"},
        {R"(<DATA title="ChgData">)", R"(<DATA title="chgdata">)"},
        {R"(<Data use="less">)", R"(<Data use="Less">)"},
        {R"(<Datas use="threshold">)", R"(<Set use="threshold">)"},
    };
    for (const auto &c : cases) {
        QString broken = withReplaced(QString::fromUtf8(c.from), QString::fromUtf8(c.to));
        if (QString::fromUtf8(c.from).startsWith(QStringLiteral("<Datas")))
            broken.replace(
                QStringLiteral("</Datas>\n        </range>\n    </DATA>\n    <DATA title=\"ChgData\">"),
                QStringLiteral("</Set>\n        </range>\n    </DATA>\n    <DATA title=\"ChgData\">"));
        calcfixture::install(broken);
        EXPECT_THROW(CalcSettingDatas::getInst(), CalcSettingDatas::LoadError) << c.from;
        EXPECT_THROW(CalcSettingDatas::getInst(), CalcSettingDatas::LoadError) << c.from;

        calcfixture::write(calcfixture::kXml);
        const CalcSettingDatas *loaded = nullptr;
        EXPECT_NO_THROW(loaded = &CalcSettingDatas::getInst()) << c.from;
        if (loaded) {
            EXPECT_EQ(loaded->I_LEU().Threshold(), "20");
        }
    }
}

TEST(CalcSettingDatasTest, LoadsOnceAndSharesOneInstanceAcrossThreads) {
    calcfixture::install(calcfixture::kXml);
    std::vector<std::future<const CalcSettingDatas *>> callers;
    for (int i = 0; i < 8; ++i)
        callers.push_back(std::async(std::launch::async, [] { return &CalcSettingDatas::getInst(); }));
    const CalcSettingDatas *first = callers.front().get();
    for (std::size_t i = 1; i < callers.size(); ++i) EXPECT_EQ(callers[i].get(), first);

    // Later changes to the file have no effect during the run.
    calcfixture::write(withReplaced(QStringLiteral("<Threshold>20</Threshold>"),
                                    QStringLiteral("<Threshold>5</Threshold>")));
    EXPECT_EQ(&CalcSettingDatas::getInst(), first);
    EXPECT_EQ(CalcSettingDatas::getInst().I_LEU().Threshold(), "20");
}

TEST(CalcSettingDatasTest, LeuRangeSetChoice) {
    const struct {
        int useData;
        const char *threshold;
        double value;
        bool more;
    } cases[] = {
        {1, "20", 50, true},  {0, "20", 1, false}, {2, "20", 19.9, true},
        {2, "20", 20, false}, {2, "", 0, false},   {2, "", -1, true},
    };
    for (const auto &c : cases) {
        CalcValues v;
        v.setUseData(c.useData);
        v.setThreshold(QString::fromUtf8(c.threshold));
        EXPECT_EQ(v.usesMore(c.value), c.more) << c.useData << " " << c.threshold << " " << c.value;
    }
}

}  // namespace
