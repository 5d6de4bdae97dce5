#include <gtest/gtest.h>

#include <QFileInfo>

#include "FirmwareFixture.h"
#include "records/UsbUtils.h"

using namespace firmwaretest;

// The carried set: consistent sums, frames that fit one 64-byte report, and the versions that
// the instrument simulator announces.
TEST(BundledFirmware, PassesTheCheckAndGivesItsVersionsAndSums) {
    FirmwareFiles files;
    ASSERT_EQ(files.fileExitChk_USB(), FirmwareFiles::Fault::None);
    ASSERT_EQ(files.getDataRomInf(), FirmwareFiles::Fault::None);
    EXPECT_EQ(files.mainVersion(), "V01.00");
    EXPECT_EQ(files.dispVersion(), "V1.00");

    const QList<QByteArray> program = lines(readAll(":/USB/Data/WRTPRG.DAT"));
    const QList<QByteArray> mainFile = lines(readAll(":/USB/Data/MAIN.DAT"));
    const QList<QByteArray> mainRom = section(mainFile, "/* ROM-DAT START */", "/* ROM-DAT END */");
    EXPECT_EQ(section(mainFile, "/* PRG-DAT START */", "/* PRG-DAT END */"), program);
    EXPECT_EQ(files.asRomPrgSum(),
              QStringList({dataSum(mainRom), dataSum(lines(readAll(":/USB/Data/DISP.DAT")))}));
    // The program's image ends with the sum of the bytes before it.
    QList<QByteArray> programBody = program;
    EXPECT_EQ(files.sWrtPrgSum(), QString(programBody[programBody.size() - 2].right(8)));
    programBody[programBody.size() - 2].chop(8);
    EXPECT_EQ(files.sWrtPrgSum(), dataSum(programBody));

    EXPECT_EQ(files.tPrjInf().sBootName, "CVX-BOOT");
    const RomInf_t &rom = files.atRomInf()[0];
    EXPECT_EQ(rom.asWrtRomFile, QStringList({"MAIN.DAT", "DISP.DAT"}));
    for (qsizetype f = 0; f < 2; ++f) {  // each ROM file in an erase block of its own
        EXPECT_EQ(rom.qErsBgnAdr[f], rom.aaqWrtRomBgnAdr[f]);
        EXPECT_LE(rom.aaqWrtRomEndAdr[f], rom.qErsEndAdr[f]);
    }
    EXPECT_EQ(files.sGetFileNameRomDat(0),
              QString(":/USB/Data/DISP.DAT"));  // the read stops at the last file

    for (const QString &name : kBundledFiles) {
        const QByteArray bytes = readAll(":/" + name);
        EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n')) << name.toStdString();
    }
    for (const char *name : {"WRTPRG.DAT", "MAIN.DAT", "DISP.DAT"}) {
        const std::optional<QStringList> sent =
            FirmwareFiles::sendLines(QStringLiteral(":/USB/Data/") + name);
        ASSERT_TRUE(sent && !sent->isEmpty());
        for (const QString &line : *sent) {
            EXPECT_TRUE(line.size() % 2 == 0 && line.size() <= 2 * 63) << line.toStdString();
            EXPECT_EQ(QByteArray::fromHex(line.toLatin1()).toHex().toUpper(), line.toLatin1());
        }
    }
    EXPECT_EQ(FirmwareFiles::sendLines(":/USB/Data/MAIN.DAT")->first(), QString(mainRom.first()));
}

TEST(BundledFirmware, ParseFileVersionStoresTheCarriedVersions) {
    OutputPWController::installFirmwareVersionReader();
    UsbUtils::parseFileVersion();
    EXPECT_EQ(UsbManager::sharedUsbManager().pcMainVersion(), "V01.00");
    EXPECT_EQ(UsbManager::sharedUsbManager().pcDispVersion(), "V1.00");
    UsbManager::setFirmwareVersionReader({});
}

// Each missing or damaged file gives its message, resets the writer and leaves the carried
// versions as they were, also at launch.
TEST_F(FirmwareTest, FaultsOfTheFilesGiveTheirMessages) {
    const QByteArray disp = get("USB/Data/DISP.DAT");
    const QByteArray endLine = lines(disp).last() + "\r\n";
    const QByteArray settings = get("USB/FileInf.txt");
    const auto putDisp = [&](const QByteArray &to) {
        put("USB/Data/DISP.DAT", QByteArray(disp).replace(endLine, to));
    };
    const struct {
        const char *what;
        std::function<void()> damage;
        const char *code;
    } cases[] = {
        {"no description", [&] { remove("USB/FileInf.txt"); }, "T501"},
        {"description not Shift-JIS", [&] { put("USB/FileInf.txt", settings + "\"X\",\"\x82\"\r\n"); },
         "T501"},
        {"description cut short",
         [&] { put("USB/FileInf.txt", settings.left(settings.indexOf("\"RomRange2\""))); }, "T501"},
        {"no write program", [&] { remove("USB/Data/WRTPRG.DAT"); }, "T502"},
        {"empty write program", [&] { put("USB/Data/WRTPRG.DAT", "\r\n\r\n"); }, "T502"},
        {"no ROM file 0", [&] { remove("USB/Data/MAIN.DAT"); }, "T503"},
        {"no ROM file 1", [&] { remove("USB/Data/DISP.DAT"); }, "T503"},
        {"one ROM file named",
         [&] {
             put("USB/FileInf.txt", settings.left(settings.indexOf("\"RomFile2\""))
                                        .replace("\"RomFileCount\",\"2\"", "\"RomFileCount\",\"1\""));
         },
         "T503"},
        {"third ROM file missing",
         [&] {
             put("USB/FileInf.txt",
                 QByteArray(settings).replace("\"RomFileCount\",\"2\"", "\"RomFileCount\",\"3\"") +
                     "F,EXTRA.DAT\r\nL,&H0\r\nB,3\r\nR,\"&H0,&H1\"\r\n");
         },
         "T503"},
        {"ROM file without end line", [&] { putDisp(""); }, "T503"},
        {"end line without sum", [&] { putDisp(endLine.left(24) + "\r\n"); }, "T503"},
        {"sum in lower case", [&] { putDisp(endLine.left(24) + "00abcdef\r\n"); }, "T503"},
        {"header line short", [&] { put("USB/Data/DISP.DAT", disp.mid(60)); }, "T503"},
        {"no PRG-DAT START", [&] { edit("USB/Data/MAIN.DAT", "/* PRG-DAT START */", "/* */"); }, "T503"},
        {"no ROM-DAT END", [&] { edit("USB/Data/MAIN.DAT", "/* ROM-DAT END */", "/* */"); }, "T503"},
        {"program section without end line",
         [&] { edit("USB/Data/MAIN.DAT", "\r\nFFFFFFFF00FF8000", "\r\n/* PRG-DAT END */\r\nX"); }, "T503"},
        // Every line that would be sent is checked before anything is.
        {"data line deleted", [&] { editLine("USB/Data/DISP.DAT", 5, [](QByteArray &) { return false; }); },
         "T503"},
        {"data digit altered", [&] { editLine("USB/Data/DISP.DAT", 7, flipDigit(30)); }, "T503"},
        {"data line of odd length",
         [&] { editLine("USB/Data/DISP.DAT", 7, [](QByteArray &l) { return l.chop(1), true; }); }, "T503"},
        {"data line not hex",
         [&] { editLine("USB/Data/DISP.DAT", 7, [](QByteArray &l) { return l[12] = 'G', true; }); }, "T503"},
        {"data line longer than a block",
         [&] { editLine("USB/Data/DISP.DAT", 7, [](QByteArray &l) { return l.append("00"), true; }); },
         "T503"},
        {"data beyond the file's range",
         [&] {
             editLine("USB/Data/DISP.DAT", 32,
                      [](QByteArray &l) { return l.replace(0, 8, "00030420"), true; });
         },
         "T503"},
        {"data lines out of order",
         [&] {
             editLine("USB/Data/DISP.DAT", 3,
                      [](QByteArray &l) { return l.replace(0, 8, "00020020"), true; });
         },
         "T503"},
        {"a line after the end line",
         [&] { put("USB/Data/DISP.DAT", get("USB/Data/DISP.DAT") + "0002044000\r\n"); }, "T503"},
        {"ROM section of a new-layout file altered", [&] { editLine("USB/Data/MAIN.DAT", 30, flipDigit(9)); },
         "T503"},
        {"program section altered", [&] { editLine("USB/Data/MAIN.DAT", 4, flipDigit(40)); }, "T503"},
        {"write program altered", [&] { editLine("USB/Data/WRTPRG.DAT", 4, flipDigit(40)); }, "T502"},
        {"write program's sum altered", [&] { editLine("USB/Data/WRTPRG.DAT", 16, flipDigit(-1)); }, "T502"},
        {"write program not the one whose sum is expected",
         [&] {
             // A byte one up and its own sum one up: sound in itself, but another program.
             editLine("USB/Data/WRTPRG.DAT", 4, [](QByteArray &l) { return l.replace(40, 2, "F3"), true; });
             editLine("USB/Data/WRTPRG.DAT", 16,
                      [](QByteArray &l) { return l.replace(l.size() - 2, 2, "8E"), true; });
         },
         "T503"},
    };
    QMap<QString, QByteArray> pristine;
    for (const QString &name : kBundledFiles) pristine[name] = get(name);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        for (const QString &name : kBundledFiles) put(name, pristine[name]);
        c.damage();
        alerts.clear();

        OutputPWController controller;
        controller.firmwareFiles().atRomInf()[0].sTitle = "stale";
        controller.firmwareFiles().setIRomCnt(1);
        EXPECT_FALSE(controller.fileExitChk_USB());
        EXPECT_EQ(alerts, QStringList{c.code});
        EXPECT_EQ(controller.firmwareFiles().atRomInf()[0], RomInf_t());
        EXPECT_EQ(controller.firmwareFiles().iRomCnt(), 0);

        OutputPWController::installFirmwareVersionReader();
        UsbUtils::parseFileVersion();
        EXPECT_EQ(UsbManager::sharedUsbManager().pcMainVersion(), "old main");
        EXPECT_EQ(UsbManager::sharedUsbManager().pcDispVersion(), "old disp");
    }

    // A file damaged after the check fails the read the same way.
    for (const QString &name : kBundledFiles) put(name, pristine[name]);
    OutputPWController controller;
    ASSERT_TRUE(controller.fileExitChk_USB());
    remove("USB/Data/DISP.DAT");
    alerts.clear();
    EXPECT_FALSE(controller.getDataRomInf());
    EXPECT_EQ(alerts, QStringList{"T503"});
    EXPECT_EQ(UsbManager::sharedUsbManager().pcMainVersion(), "old main");
}

TEST_F(FirmwareTest, VersionsAreTrimmedAndTheLastNewLayoutFileGivesTheProgramSum) {
    // DISP.DAT in the new layout with the program and a padded version; MAIN.DAT plain, so
    // that only DISP.DAT can give the program's sum.
    const QList<QByteArray> disp = lines(get("USB/Data/DISP.DAT"));
    const QList<QByteArray> program = lines(get("USB/Data/WRTPRG.DAT"));
    QByteArray header = disp[0];
    header.replace(8 + 32, 20, QByteArray(" D-2 ").leftJustified(10, ' ').toHex().toUpper());
    QByteArray file = "/* ROM-WRITER TYPE = NEW */\r\n\r\nnote\r\n/* PRG-DAT START */\r\n" +
                      program.join("\r\n") + "\r\n/* PRG-DAT END */\r\n/* ROM-DAT START */\r\n" + header +
                      "\r\n";
    for (qsizetype i = 1; i < disp.size(); ++i) file += disp[i] + "\r\n";
    put("USB/Data/DISP.DAT", file + "/* ROM-DAT END */\r\n");
    const QList<QByteArray> mainFile = lines(get("USB/Data/MAIN.DAT"));
    put("USB/Data/MAIN.DAT",
        section(mainFile, "/* ROM-DAT START */", "/* ROM-DAT END */").join("\r\n") + "\r\n");

    OutputPWController controller;
    ASSERT_TRUE(controller.fileExitChk_USB());
    ASSERT_TRUE(controller.getDataRomInf());
    EXPECT_EQ(UsbManager::sharedUsbManager().pcMainVersion(), "V01.00");
    EXPECT_EQ(UsbManager::sharedUsbManager().pcDispVersion(), "D-2");
    EXPECT_EQ(controller.firmwareFiles().sWrtPrgSum(), QString(program[program.size() - 2].right(8)));
    EXPECT_EQ(controller.firmwareFiles().asRomPrgSum()[1], dataSum(disp));
    EXPECT_EQ(controller.firmwareFiles().iRomCnt(), 1);

    // With no new-layout file there is no program sum.
    put("USB/Data/DISP.DAT", disp.join("\r\n"));
    FirmwareFiles files;
    ASSERT_EQ(files.fileExitChk_USB(), FirmwareFiles::Fault::None);
    ASSERT_EQ(files.getDataRomInf(), FirmwareFiles::Fault::None);
    EXPECT_TRUE(files.sWrtPrgSum().isNull());
}

TEST(FirmwareConversions, HexBytesHeadersAndNumbers) {
    EXPECT_EQ(FirmwareFiles::hexToByte(u"A5"), 0xA5);
    EXPECT_EQ(FirmwareFiles::hexToByte(u"0f"), 0x0F);
    EXPECT_EQ(FirmwareFiles::hexToByte(u"G1"), 0x01);
    EXPECT_EQ(FirmwareFiles::numToHex("4111", 8), "0000100F");
    EXPECT_EQ(FirmwareFiles::numToHex("4294967295", 4), "FFFFFFFF");

    const QByteArray info = QByteArray("NAME").leftJustified(16, ' ') +
                            QByteArray(" V9 ").leftJustified(10, ' ') + QByteArray("2024/01/02 03:04") +
                            QByteArray(6, '\0');
    const OCMDataInfo data = FirmwareFiles::getPrgInf(QString::fromLatin1(info.toHex()));
    EXPECT_EQ(data.Name(), "NAME            ");
    EXPECT_EQ(data.Version(), " V9       ");
    EXPECT_EQ(data.Date(), "2024/01/02 03:04");
    // A short text reads as zero bytes rather than past its end.
    EXPECT_EQ(FirmwareFiles::getPrgInf(u"41").Name(), QString("A") + QString(15, QChar(0)));
}
