#include <gtest/gtest.h>

#include <QStringList>

#include "FirmwareFixture.h"

namespace {

// A description with two version areas, three program blocks and two ROM records, in the
// key,value form with the quoting and line ends of a Windows-made file.
const QString kDescription = QStringLiteral(
    "' firmware description\r\n"
    "\"Format\",\"anything, really\"\r\n"
    "\"CommSetting\",\"38400,N,8,1\"\r\n"
    "\"Connect\",\"True  \"\r\n"
    "\"BlockSize\",\"32\"\r\n"
    "\"Boot\",\" BOOT-1 \"\r\n"
    "\"Areas\",\"2\"\r\n"
    "\"Area1\",\"&H0000100f,&H00001FFF\"\r\n"
    "\"Area2\",\"0000100F,0x20\"\r\n"
    "\"Program\",\"PRG.DAT\"\r\n"
    "\"ProgramEnd\",\"&H\"\r\n"
    "\"Blocks\",\"3\"\r\n"
    "\"Block2\",\"&H00002000,ignored\"\r\n"
    "\"Block3\",\"&H3000\"\r\n"
    "\"Special\",\"7\"\r\n"
    "\"Title\",\"R0\"\r\n"
    "\"Erase\",\"2\"\r\n"
    "\"E1\",\"&H10000,&H1FFFF\"\r\n"
    "\"E2\",\"&H20000,&H2FFFF\"\r\n"
    "\"Files\",\"2\"\r\n"
    "\"F1\",\"A.DAT\"\r\n"
    "\"L1\",\"&H10000\"\r\n"
    "\"B1\",\"1 and 2\"\r\n"
    "\"R1\",\"&H10000,&H1043F\"\r\n"
    "\"F2\",\"B.DAT\"\r\n"
    "\"L2\",\"&H20000\"\r\n"
    "\"B2\",\"3\"\r\n"
    "\"R2\",\"&H20000,&H2043F\"\r\n"
    "\"Title\",\"R1\"\r\n"
    "\"Erase\",\"0\"\r\n"
    "\"Files\",\"1\"\r\n"
    "\"F1\",\"C.DAT\"\r\n"
    "\"L1\",\"5\"\r\n"
    "\"B1\",\"\"\r\n"
    "\"R1\",\"1,2\"\r\n");

QStringList linesOf(const QString &text) {
    return text.split(QLatin1Char('\n'));
}

}  // namespace

TEST(FirmwareSettings, ReadsTheProjectAndTheRomRecords) {
    FirmwareFiles files;
    ASSERT_TRUE(files.vReadFileSetting_USB(linesOf(kDescription)));

    PrjInf_t prj;
    prj.sCommSetting = "38400,N,8,1";
    prj.yCnctCmd = true;
    prj.iDatBlkSize = 32;
    prj.sBootName = "BOOT-1";
    prj.bRomNum = 2;
    prj.aqVerBgnAdr = {4111, 4111};
    prj.aqVerEndAdr = {0x1FFF, 0x20};
    prj.sWrtPrgFile = "PRG.DAT";
    prj.qWrtPrgEndAdr = 0;
    prj.bWrtPrgBlock = 3;
    prj.aqWrtPrgBgnAdr = {0x2000, 0x3000};
    prj.bSpWriter = 7;
    EXPECT_EQ(files.tPrjInf(), prj);

    ASSERT_EQ(files.atRomInf().size(), FirmwareFiles::kRomRecordCount);
    RomInf_t rom0;
    rom0.sTitle = "R0";
    rom0.bErsNum = 2;
    rom0.qErsBgnAdr = {0x10000, 0x20000};
    rom0.qErsEndAdr = {0x1FFFF, 0x2FFFF};
    rom0.bWrtRomNum = 2;
    rom0.asWrtRomFile = {"A.DAT", "B.DAT"};
    rom0.qWrtPrgEndAdr = {0x10000, 0x20000};
    rom0.abWrtRomBlock = {"1 and 2", "3"};
    rom0.aaqWrtRomBgnAdr = {0x10000, 0x20000};
    rom0.aaqWrtRomEndAdr = {0x1043F, 0x2043F};
    EXPECT_EQ(files.atRomInf()[0], rom0);
    EXPECT_EQ(files.atRomInf()[1].asWrtRomFile, QStringList{"C.DAT"});
    EXPECT_EQ(files.atRomInf()[1].qWrtPrgEndAdr, QList<qint64>{5});
    EXPECT_EQ(files.atRomInf()[2], RomInf_t());
}

TEST(FirmwareSettings, VariantsThatReadAlike) {
    FirmwareFiles reference;
    ASSERT_TRUE(reference.vReadFileSetting_USB(linesOf(kDescription)));

    // Notes, blank lines, lines without a comma and LF line ends change no positions.
    FirmwareFiles files;
    ASSERT_TRUE(files.vReadFileSetting_USB(
        linesOf(QString(kDescription)
                    .replace("\"Areas\",\"2\"\r\n", "\n\n' note\nno comma here\n\"Areas\",\"2\"\n"))));
    EXPECT_EQ(files.tPrjInf(), reference.tPrjInf());
    EXPECT_EQ(files.atRomInf(), reference.atRomInf());

    // Only "True" sets the connect flag; one program block has no block lines. Read into the
    // same object, no entries of the longer description stay.
    const QString noBlocks = QString(kDescription)
                                 .replace("\"True  \"", "\"true\"")
                                 .replace(
                                     "\"Blocks\",\"3\"\r\n\"Block2\",\"&H00002000,ignored\"\r\n"
                                     "\"Block3\",\"&H3000\"",
                                     "\"Blocks\",\"1\"");
    ASSERT_TRUE(files.vReadFileSetting_USB(linesOf(noBlocks)));
    EXPECT_FALSE(files.tPrjInf().yCnctCmd);
    EXPECT_EQ(files.tPrjInf().bWrtPrgBlock, 1);
    EXPECT_TRUE(files.tPrjInf().aqWrtPrgBgnAdr.isEmpty());
    EXPECT_EQ(files.tPrjInf().bSpWriter, 7);
    EXPECT_EQ(files.atRomInf()[0].sTitle, "R0");
    ASSERT_TRUE(
        files.vReadFileSetting_USB(linesOf(kDescription.left(kDescription.indexOf("\"Title\",\"R1\"")))));
    EXPECT_EQ(files.atRomInf()[1], RomInf_t());
}

// A malformed description is refused whole and leaves the records of the last good read.
TEST(FirmwareSettings, MalformedDescriptionsAreRefused) {
    QString elevenRecords = kDescription;
    for (int r = 0; r < 10; ++r) elevenRecords += "\"T\",\"x\"\r\n\"E\",\"0\"\r\n\"F\",\"0\"\r\n";
    QString sixteenBlocks = QString(kDescription).replace("\"Erase\",\"2\"", "\"Erase\",\"16\"");
    for (int e = 0; e < 14; ++e) sixteenBlocks.replace("\"Files\",\"2\"", "\"E\",\"1,2\"\r\n\"Files\",\"2\"");

    const struct {
        const char *what;
        QString text;
    } cases[] = {
        {"empty", ""},
        {"cut before the special-writer value", kDescription.left(kDescription.indexOf("\"Special\""))},
        {"cut inside a record", kDescription.left(kDescription.indexOf("\"R2\""))},
        {"a value after the last record", kDescription + "\"End\",\"1\"\r\n"},
        {"hex pair without its end", QString(kDescription).replace("&H10000,&H1FFFF", "&H10000")},
        {"address beyond 32 bits", QString(kDescription).replace("&H1043F", "&H100000000")},
        {"sixteen erase blocks", sixteenBlocks},
        {"eleven records", elevenRecords},
        {"more version areas than values",
         QString(kDescription).replace("\"Areas\",\"2\"", "\"Areas\",\"2000000000\"")},
    };
    FirmwareFiles files;
    ASSERT_TRUE(files.vReadFileSetting_USB(linesOf(kDescription)));
    const PrjInf_t prj = files.tPrjInf();
    const QList<RomInf_t> records = files.atRomInf();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(files.vReadFileSetting_USB(linesOf(c.text)));
        EXPECT_EQ(files.tPrjInf(), prj);
        EXPECT_EQ(files.atRomInf(), records);
    }
    // Fifteen erase blocks are the writer's limit and still fit.
    EXPECT_TRUE(files.vReadFileSetting_USB(linesOf(QString(sixteenBlocks)
                                                       .replace("\"Erase\",\"16\"", "\"Erase\",\"15\"")
                                                       .replace("\"E\",\"1,2\"\r\n\"Files\"", "\"Files\""))));
}
