#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTest>

#include <optional>
#include <thread>
#include <tuple>

#include "link/UsbManager.h"
#include "maintenance/DataLinkFolders.h"
#include "platform/FileManager.h"
#include "records/UsbUtils.h"

namespace {

using Folder = DataLinkFolders::Folder;
using Kind = DataLinkFolders::Result::Kind;

QString transferFile() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix/DataTransfer.xml");
}

void setUpFiles(const QString &mode) {
    QDir().mkpath(QFileInfo(transferFile()).absolutePath());
    QFile modeFile(QFileInfo(transferFile()).absolutePath() + QStringLiteral("/ModeSetting.xml"));
    QFile transfer(transferFile());
    ASSERT_TRUE(modeFile.open(QIODevice::WriteOnly) && transfer.open(QIODevice::WriteOnly));
    modeFile.write(QStringLiteral("<DATA><MODE>%1</MODE></DATA>").arg(mode).toUtf8());
    transfer.write("<DATA><INPUT>/in</INPUT><OUTPUT>/out</OUTPUT></DATA>");
    UsbManager::sharedUsbManager().setMode(-1);
}

}  // namespace

TEST(DataLinkFolders, OkAndClearStoreTheOutputFolder) {
    struct Case {
        QString mode, text, picture, stored;
        Folder folder;
        Kind kind;
    };
    for (const Case &c : {Case{"3", "", "W306", "/out", Folder::Input, Kind::Picture},
                          Case{"4", "", "W305", "/out", Folder::Output, Kind::Picture},
                          Case{"0", "/new", "", "/out", Folder::Output, Kind::Nothing},
                          // The home folder holds the data folder: refused, nothing stored.
                          Case{"3", QDir::homePath(), "folder_refused", "/out", Folder::Input, Kind::Picture},
                          Case{"4", QDir::homePath() + "/.Corvadenix/Customer", "folder_refused", "/out",
                               Folder::Output, Kind::Picture},
                          Case{"5", "/new", "", "/new", Folder::Output, Kind::Close}}) {
        SCOPED_TRACE(c.picture.toStdString() + c.mode.toStdString());
        setUpFiles(c.mode);
        DataLinkFolders folders;
        folders.showCsvView(c.folder);
        const DataLinkFolders::Result result = folders.csvOk(c.text, {});
        EXPECT_EQ(std::tuple(result.kind, result.picture, UsbUtils::outputValue(), UsbUtils::inputValue()),
                  std::tuple(c.kind, c.picture, c.stored, QStringLiteral("/in")));
    }

    DataLinkFolders folders;
    EXPECT_EQ(folders.showCsvView(Folder::Input).path, QStringLiteral("/in"));
    EXPECT_EQ(folders.csvClear().kind, Kind::Nothing);  // INPUT has no clear
    EXPECT_EQ(folders.showCsvView(Folder::Output).path, QStringLiteral("/new"));
    const DataLinkFolders::Result cleared = folders.csvClear();
    EXPECT_EQ(std::tuple(cleared.picture, cleared.resultY, cleared.resultH),
              std::tuple(QStringLiteral("clear_success"), 272, 93));
    EXPECT_EQ(folders.showCsvView(Folder::Output).path, QString(""));

    // A settings file that cannot be written is reported, not shown as stored.
    QFile::remove(transferFile());
    EXPECT_EQ(folders.csvOk(QStringLiteral("/new"), {}).picture, QStringLiteral("E403"));
    EXPECT_EQ(folders.csvClear().picture, QStringLiteral("E403"));
}

TEST(DataLinkFolders, NewInputFolderIsImportedOnce) {
    setUpFiles(QStringLiteral("3"));
    DataLinkFolders folders;
    folders.showCsvView(Folder::Input);
    EXPECT_EQ(folders.csvOk(QStringLiteral("/a"), {}).picture, QStringLiteral("E404"));  // no import
    DataLinkFolders::setImport([](DataLinkFolders::ImportDone) { return false; });
    EXPECT_EQ(folders.csvOk(QStringLiteral("/a"), {}).picture, QStringLiteral("E404"));  // none started

    for (bool succeeds : {true, false}) {
        SCOPED_TRACE(succeeds);
        int imports = 0;
        QString folderSeen;
        DataLinkFolders::setImport([&](DataLinkFolders::ImportDone done) {
            ++imports;
            folderSeen = UsbUtils::inputValue();
            std::thread([done, succeeds] {
                done(succeeds);
                done(!succeeds);
            }).detach();
            return true;
        });
        std::optional<DataLinkFolders::Result> end;
        const auto started = folders.csvOk(QStringLiteral("/b"), [&](const auto &r) { end = r; });
        EXPECT_EQ(started.kind, Kind::Importing);
        EXPECT_EQ(folders.csvOk(QStringLiteral("/b"), {}).kind, Kind::Nothing);
        ASSERT_TRUE(QTest::qWaitFor([&] { return end.has_value(); }, 5000));
        QTest::qWait(20);
        EXPECT_EQ(std::tuple(imports, folderSeen, folders.isImporting()),
                  std::tuple(1, QString("/b"), false));
        EXPECT_EQ(std::tuple(end->kind, end->picture),
                  succeeds ? std::tuple(Kind::Close, QString()) : std::tuple(Kind::Picture, QString("E404")));
    }
    DataLinkFolders::setImport({});
}
