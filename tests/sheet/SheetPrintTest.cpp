#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include "SheetFixture.h"
#include "sheet/SheetPage.h"
#include "sheet/SheetPrinter.h"

namespace {

using namespace sheettest;

OCMCustomerComment earlier(const QString &dateT, const QString &degrees) {
    OCMCustomerComment c;
    c.setDateT(dateT);
    c.setRsvData("x,2026-01-01,10:00,0001," + degrees + " ℃,BFC");
    for (auto set : {&OCMCustomerComment::setDatavalue1, &OCMCustomerComment::setDatavalue2,
                     &OCMCustomerComment::setDatavalue3, &OCMCustomerComment::setDatavalue4,
                     &OCMCustomerComment::setDatavalue5, &OCMCustomerComment::setDatavalue6,
                     &OCMCustomerComment::setDatavalue7})
        (c.*set)("1.0|30");
    return c;
}

SheetInput fixtureInput(int isNO, const QString &no = "0001") {
    SheetInput in;
    in.isNO = isNO;
    in.noString = no;
    in.dateStr = "2026-03-05 09:08";
    in.strDU = "25";
    in.digiAry = {"35", "57", "89", "3", "81", "53", "65"};
    in.isDraw2 = 1;
    in.coNCus = earlier("2026-01-10 10:30", "19.9");
    in.C22 = earlier("2026-01-10 10:30", "19.9");
    in.t2 = in.C22;
    in.DUDU = {"2026-01-10 10:30|19"};
    return in;
}

// The longest texts the fields take: two names of 15 characters, hospital and dentist of 30.
const QString kName = QString(15, QChar(u'髙')) + ' ' + QString(15, QChar(u'龍'));
const QString kHospital = QStringLiteral("医療法人社団").leftJustified(30, QChar(u'歯'));
const QString kDentist(30, QChar(u'鬱'));

QString sheetFlg() {
    const QString xml = QString::fromUtf8(readBytes(home(".Corvadenix/Customer/0001.xml")));
    return xml.section("<SheetFlg>", 1, 1).section("</SheetFlg>", 0, 0);
}

struct PrintCase {
    int isNO;
    bool deleteBld;
    const char *title;
    const char *caption;
    bool landscape = false;                      // the printer's page set across, with the longest name
    QPageSize paper = QPageSize(QPageSize::A4);  // or a custom one defined across
};

class SheetPrintTest : public ::testing::TestWithParam<PrintCase> {};

TEST_P(SheetPrintTest, PdfShowsTheSheetAndItsQrAndMarksThePrint) {
    const PrintCase c = GetParam();
    setLink(0, c.deleteBld);
    const QString name = c.landscape ? kName : QStringLiteral("山田 花子");
    storePatient("0001", false, {{"山田 花子", name}});
    const SheetPage page(fixtureInput(c.isNO));
    ASSERT_TRUE(page.hasResult());
    EXPECT_EQ(page.isSix(), c.deleteBld ? 6 : 0);
    EXPECT_EQ(sheetFlg(), "-");

    QTemporaryDir dir;
    const QString pdf = dir.filePath("sheet.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(c.paper);
    if (c.landscape) printer.setPageOrientation(QPageLayout::Landscape);
    ASSERT_EQ(SheetPrinter::print(page, printer), SheetPrinter::Outcome::Printed);
    EXPECT_EQ(sheetFlg(), "済");

    QString text = run("pdftotext", {"-layout", pdf, "-"});
    // The PDF's font names some kanji by their radical code points.
    text = text.normalized(QString::NormalizationForm_KC).replace(QStringLiteral("⻭"), QStringLiteral("歯"));
    const QByteArray named = (name + " 様").toUtf8();
    for (const char *expected : {c.title, named.constData(), "カルテ番号:0001", "むし歯菌", "アンモニア",
                                 "平均レベル", "強め", "多め", "所見0-1", "所見6-0", "平均値:53",
                                 "さくら歯科", "山田 太郎", "総合 <良好> & 安定", c.caption})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected).normalized(QString::NormalizationForm_KC)))
            << expected;
    EXPECT_EQ(text.contains(QStringLiteral("潜血")), !c.deleteBld);
    EXPECT_EQ(text.contains(QStringLiteral("所見3-2")), !c.deleteBld);

    const QString decoded = decodePrintedQr(pdf);
    const QString bld = c.deleteBld ? "-,-" : "3,0";
    EXPECT_EQ(decoded.toStdString(),
              ("2026-03-05,09:08,0001,35,1,57,2,89,0," + bld + ",81,2,53,1,65,2").toStdString());
    EXPECT_EQ(decoded, page.endStr());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SheetPrintTest,
    ::testing::Values(PrintCase{1, false, "検査結果シート（タイプA）", "７角形が小さいほど"},
                      PrintCase{2, false, "検査結果シート（タイプB）", "７角形が小さいほど"},
                      PrintCase{3, false, "検査結果シート（タイプC）", "７角形が小さいほど"},
                      PrintCase{1, true, "検査結果シート（タイプA）", "６角形が小さいほど"},
                      PrintCase{3, true, "検査結果シート（タイプC）", "６角形が小さいほど"},
                      PrintCase{1, false, "検査結果シート（タイプA）", "７角形が小さいほど", true},
                      PrintCase{3, true, "検査結果シート（タイプC）", "６角形が小さいほど", true,
                                QPageSize(QSizeF(842, 595), QPageSize::Point, "wide")}),
    [](const ::testing::TestParamInfo<PrintCase> &info) {
        return std::string(1, char('A' + info.param.isNO - 1)) + (info.param.deleteBld ? "_six" : "_seven") +
               (info.param.landscape ? "_landscape" : "");
    });

// 0.9 of the paper, taken as at most A4, centred on the paper.
TEST(SheetPrintArea, IsCentredOnThePaper) {
    const struct {
        QSizeF paper;
        QRectF area;
    } cases[] = {{{595, 842}, {29.75, 42.1, 535.5, 757.8}},
                 {{612, 792}, {38.25, 17.1, 535.5, 757.8}},
                 {{420, 595}, {21, 29.75, 378, 535.5}},
                 // Paper across: the whole page on it, smaller.
                 {{842, 595}, {(842 - 535.5 * 535.5 / 757.8) / 2, 29.75, 535.5 * 535.5 / 757.8, 535.5}}};
    for (const auto &c : cases) {
        const QRectF area = SheetPrinter::printRect(c.paper);
        EXPECT_NEAR(area.x(), c.area.x(), 1e-6);
        EXPECT_NEAR(area.y(), c.area.y(), 1e-6);
        EXPECT_NEAR(area.width(), c.area.width(), 1e-6);
        EXPECT_NEAR(area.height(), c.area.height(), 1e-6);
    }
}

TEST(SheetPrintFailure, NothingIsMarkedWhenThePrintFailsOrTheResultIsGone) {
    setLink(0, false);
    storePatient("0001", false);
    const SheetPage page(fixtureInput(1));
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(home("no/such/folder/sheet.pdf"));
    EXPECT_EQ(SheetPrinter::print(page, printer), SheetPrinter::Outcome::NoPrinter);
    EXPECT_EQ(sheetFlg(), "-");

    SheetInput other = fixtureInput(1);
    other.dateStr = "2026-03-06 10:00";
    storePatient("0001", false, {{"</DATA>", "<comment date=\"2026-03-06\" time=\"11:00\"/></DATA>"}});
    QTemporaryDir dir;
    QPrinter pdf;
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(dir.filePath("sheet.pdf"));
    EXPECT_EQ(SheetPrinter::print(SheetPage(other), pdf), SheetPrinter::Outcome::NoResult);
    EXPECT_FALSE(QFile::exists(dir.filePath("sheet.pdf")));
}

TEST(SheetPageLabels, TemperaturesNamesAndBars) {
    setLink(0, false);
    storePatient("0001", false, {{"山田 花子", "山田 中 花子"}});
    SheetInput in = fixtureInput(2);
    in.strDU = "19";
    in.C23 = earlier("2026-01-01 08:00", "22.0");  // not in DUDU
    const SheetPage b(in);
    EXPECT_EQ(b.text("zfirstLab"), "山田 花子 様");
    EXPECT_EQ(b.text("ztopnameLab"), "山田  花子");
    EXPECT_EQ(b.text("zd1Lab"), "2026/03/05\n09:08 19℃");
    EXPECT_EQ(b.blueFrom("zd1Lab"), 17);
    EXPECT_EQ(b.blueFrom("d1"), 6);
    EXPECT_EQ(b.text("d2"), "10:30 19℃");
    EXPECT_EQ(b.blueFrom("d2"), 6);
    EXPECT_EQ(b.text("d3"), "08:00 ℃");
    EXPECT_EQ(b.text("litLab3"), "2026/01/01");

    in.isNO = 1;
    in.strDU = "20";
    in.coNCus = earlier("2026-01-10 10:30", "20.0");
    const SheetPage a(in);
    EXPECT_EQ(a.text("zd2Lab"), "2026/01/10\n10:30 20℃");
    EXPECT_EQ(a.blueFrom("zd2Lab"), -1);
    EXPECT_EQ(a.blueFrom("zd1Lab"), -1);
    EXPECT_EQ(SheetPage::wholeDegrees("a,b,c,d,18.9℃,e"), "18");

    storePatient("0001", false, {{"山田 花子", ""}});
    const SheetPage unnamed(in);
    for (const char *label : {"zfirstLab", "znameLab", "zFirstLastnameLab3", "zFLnameLab3", "ztopnameLab"})
        EXPECT_EQ(unnamed.text(label), "") << label;

    // Numbers far out of range in the patient file lay out without overflowing.
    in.isNO = 3;
    in.strDU = "-2147483648";
    in.digiAry = {"999999999999", "1", "-2147483648", "2147483648", "-999999999999", "nan", "+5"};
    const SheetPage typeC(in);
    EXPECT_FALSE(typeC.text("zd1Lab").isNull());
}

// The legends show samples in the colours of the polygons they name: the current result, the
// earlier one (layout A, when drawn) and the averages.
TEST(SheetPageLabels, LegendSamplesCarryThePolygonColours) {
    setLink(0, false);
    storePatient("0001", false);
    const QColor current(70, 133, 40), earlier(158, 220, 96), averages(233, 233, 233);
    const struct {
        int isNO;
        QList<std::pair<QPoint, QColor>> samples;
    } cases[] = {{1, {{{442, 130}, current}, {{438, 187}, earlier}, {{442, 241}, averages}}},
                 {2, {{{36, 374}, current}, {{204, 375}, averages}}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.isNO);
        QImage image(732, 1035, QImage::Format_RGB32);
        QPainter painter(&image);
        SheetPage(fixtureInput(c.isNO)).paint(painter, QRectF(0, 0, 732, 1035));
        painter.end();
        for (const auto &[at, colour] : c.samples)
            EXPECT_EQ(image.pixelColor(at), colour) << at.x() << "," << at.y();
    }
}

// The longest chart number, name, hospital, dentist and item comment the fields take, in kanji
// and in Latin W (wider), show whole on every layout: in their boxes, in the lines the box has
// room for, at 60% of the layout's size or more, overlapping no other text and not the code.
TEST(SheetPageLabels, LongestNamesShowWholeInTheirBoxes) {
    setLink(0, false);
    const QString w(30, 'W');
    const QStringList sets[] = {
        {"0001", kName, kHospital, kDentist, "所見0-1", "総合 良好"},
        {w, w.left(15) + " " + w.left(15), "W " + w.left(28), w, w + w + w.left(5), w},
        // A linked program's name and a total comment from a file may hold line ends.
        {"0001", "山田&#10;花子 太郎", "さくら\n歯科", "山田 太郎", "所見0-1",
         QStringLiteral("所見は良好\n").repeated(12).chopped(1)}};
    for (int k = 0; k < 9; ++k) {
        const QStringList &s = sets[k / 3];
        const int isNO = k % 3 + 1;
        SCOPED_TRACE(isNO);
        storePatient(s[0], false,
                     {{"山田 花子", s[1]},
                      {"さくら歯科", s[2]},
                      {"山田 太郎", s[3]},
                      {"所見0-1", s[4]},
                      {"総合 &lt;良好&gt; &amp; 安定", s[5]}});
        QImage image(SheetPage::layoutSize().toSize(), QImage::Format_RGB32);
        QPainter painter(&image);
        QList<SheetDrawnText> drawn;
        SheetPage(fixtureInput(isNO, s[0])).paint(painter, QRectF(image.rect()), &drawn);
        // label: text, lines at most (type C has two beside the code for hospital and dentist)
        const QMap<QString, std::pair<QString, int>> names = {
            {"zfirstLab", {QString(s[1]).replace("&#10;", "\n") + " 様", 1}},
            {isNO == 3 ? "hospiConLab3" : "hospitalLab", {s[2], isNO == 3 ? 2 : 1}},
            {isNO == 3 ? "ysConLab3" : "YSLab", {s[3], isNO == 3 ? 2 : 1}},
            {"comment0-0", {s[4], 3}},
            {isNO == 3 ? "zhConLab3" : "totalLab", {s[5], isNO == 3 ? 12 : 4}}};
        int seen = 0;
        for (qsizetype i = 0; i < drawn.size(); ++i) {
            const SheetDrawnText &d = drawn[i];
            SCOPED_TRACE(d.label.toStdString());
            if (names.contains(d.label) && ++seen) {
                EXPECT_EQ(d.text, names[d.label].first);
                EXPECT_LE(d.lines, names[d.label].second);
            }
            EXPECT_LE(d.lineHeight, d.label == "zhConLab3" ? 12 : d.label == "totalLab" ? 14 : d.lineHeight);
            EXPECT_TRUE(QRectF(image.rect()).contains(d.box));
            EXPECT_TRUE(d.box.adjusted(-0.01, -0.01, 0.01, 0.01).contains(d.bounds));
            EXPECT_GE(d.pixelSize, std::ceil(d.layoutSize * 0.6));
            for (qsizetype j = 0; j < i; ++j)
                EXPECT_FALSE(d.bounds.intersects(drawn[j].bounds)) << drawn[j].label.toStdString();
        }
        EXPECT_EQ(seen, 5);
    }
}

TEST(SheetPageLabels, LevelColours) {
    const struct {
        const char *name, *word, *colour;
    } cases[] = {{"緩衝能", "強め", "#509427"},   {"緩衝能", "弱め", "#ec6a83"},
                 {"むし歯菌", "多め", "#ec6a83"}, {"むし歯菌", "少なめ", "#509427"},
                 {"酸性度", "高め", "#ec6a83"},   {"潜血", "平均レベル", "#f8a501"}};
    for (const auto &c : cases)
        EXPECT_EQ(SheetPage::levelColor(QString::fromUtf8(c.name), QString::fromUtf8(c.word)), c.colour)
            << c.word;
}

}  // namespace
