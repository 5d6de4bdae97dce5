#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "SheetFixture.h"
#include "sheet/BBGetNewModel.h"
#include "sheet/QRCodeGenerator.h"
#include "sheet/SheetQrText.h"

namespace {

using namespace sheettest;

const QString kDate = QStringLiteral("2026-03-05 09:08");

BBGetNewModel loaded(bool older, const QList<std::pair<QString, QString>> &edits = {}) {
    setLink(0, false);
    storePatient("A-123", older, edits);
    BBGetNewModel model;
    model.getDatas("A-123", kDate);
    return model;
}

// What a phone reads off the printed code: the image on white paper, decoded as raw bytes.
QByteArray decode(const QString &text) {
    const QImage code = QRCodeGenerator::qrImageForString(text, 220);
    EXPECT_EQ(code.size(), QSize(220, 220));
    QImage paper(code.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter(&paper).drawImage(0, 0, code);
    QTemporaryDir dir;
    const QString path = dir.filePath("code.png");
    EXPECT_TRUE(paper.save(path));
    QProcess zbar;
    zbar.start("zbarimg", {"-q", "--raw", "-Sqrcode.binary", path});
    EXPECT_TRUE(zbar.waitForFinished(30000));
    QByteArray out = zbar.readAllStandardOutput();
    if (out.endsWith('\n')) out.chop(1);
    return out;
}

TEST(QRCodeTest, TextCarriesDateChartNumberValuesAndLevelDigits) {
    const struct {
        bool older;
        int isSix;
        QList<std::pair<QString, QString>> edits;
        QString text;
    } cases[] = {
        {false, 0, {}, "2026-03-05,09:08,A-123,35,1,57,2,89,0,3,0,81,2,53,1,65,2"},
        {true, 0, {}, "2026-03-05,09:08,A-123,35,1,57,2,89,0,3,0,72,2,53,1,20,0"},
        {false, 6, {}, "2026-03-05,09:08,A-123,35,1,57,2,89,0,-,-,81,2,53,1,65,2"},
        {false,
         0,
         {{"<BFC>強め</BFC>", "<BFC>弱め</BFC>"},
          {"<pH>高め</pH>", "<pH>低め</pH>"},
          {"<MS>平均レベル", "<MS>不明"}},
         "2026-03-05,09:08,A-123,35,2,57,0,89,2,3,0,81,2,53,1,65,2"},
        // A missing value is an empty field; a missing word counts as any other word ("2",
        // reversed to "0" for BFC); a value without "|" has no chart position.
        {false,
         0,
         {{"<NH3>多め</NH3>", ""}, {"<DataValue7>30.0|65</DataValue7>", ""}, {"<BFC>強め</BFC>", ""}},
         "2026-03-05,09:08,A-123,35,1,57,2,89,0,3,0,81,2,53,1,,2"},
        {false, 0, {{"|35<", "<"}}, "2026-03-05,09:08,A-123,,1,57,2,89,0,3,0,81,2,53,1,65,2"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const BBGetNewModel model = loaded(c.older, c.edits);
        EXPECT_EQ(SheetQrText::endStrForCode(kDate, "A-123", model, c.isSix), c.text);
    }
    EXPECT_EQ(SheetQrText::endStrForCode(kDate, "12,3", BBGetNewModel(), 0),
              "2026-03-05,09:08,\"12,3\",,2,,2,,0,,2,,2,,2,,2");
}

TEST(QRCodeTest, PrintedCodeDecodesToTheSameBytes) {
    const QString longChart = QString(70, QLatin1Char('k'));
    const struct {
        QString text;
        int version;
    } cases[] = {
        {SheetQrText::endStrForCode(kDate, "A-123", loaded(false), 0), 6},
        {"2026-03-05,09:08,ｶﾙﾃ12,35,1,57,2,89,0,3,0,81,2,53,1,65,2", 6},
        // Beyond what version 6 holds at level M (106 bytes): the symbol grows, nothing is cut.
        {"2026-03-05,09:08," + longChart + ",35,1,57,2,89,0,3,0,81,2,53,1,65,2", 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const std::optional<QRCodeGenerator::Symbol> symbol = QRCodeGenerator::encode(c.text);
        ASSERT_TRUE(symbol);
        EXPECT_EQ(symbol->version, c.version);
        EXPECT_EQ(symbol->width, 17 + 4 * c.version);
        EXPECT_EQ(decode(c.text), c.text.toUtf8());
    }
    EXPECT_FALSE(QRCodeGenerator::encode(""));
    EXPECT_TRUE(QRCodeGenerator::qrImageForString("", 220).isNull());
}

}  // namespace
