#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMap>
#include <QProcess>
#include <QResource>

#include "platform/Bundle.h"
#include "platform/FileManager.h"

using cvx::Bundle;
using cvx::FileManager;

namespace {

// Registers a resource tree of its own, compiled with Qt's rcc, so that the lookup rules are
// tested without depending on what the application's bundle holds.
class BundleTest : public testing::Test {
protected:
    void SetUp() override {
        const QString rcc = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + "/rcc";
        if (!FileManager::fileExists(rcc)) GTEST_SKIP() << "no rcc at " << rcc.toStdString();
        const QString root = FileManager::homeDirectory() + "/bundle";
        const QMap<QString, QByteArray> files{{"cvxtestBoth.xml", "top"},
                                              {"settings/cvxtestBoth.xml", "settings"},
                                              {"settings/cvxtestOnly.xml", "only"},
                                              {"cvxtest/USB/FileInf.txt", "inf"}};
        QByteArray qrc = "<RCC><qresource prefix=\"/\">";
        for (auto it = files.begin(); it != files.end(); ++it) {
            FileManager::createDirectory(QFileInfo(root + "/" + it.key()).absolutePath());
            ASSERT_TRUE(FileManager::writeAtomically(root + "/" + it.key(), it.value()));
            qrc += "<file>" + it.key().toUtf8() + "</file>";
        }
        ASSERT_TRUE(FileManager::writeAtomically(root + "/t.qrc", qrc + "</qresource></RCC>"));
        rccFile_ = root + "/t.rcc";
        ASSERT_EQ(QProcess::execute(rcc, {"--binary", root + "/t.qrc", "-o", rccFile_}), 0);
        ASSERT_TRUE(QResource::registerResource(rccFile_));
    }
    void TearDown() override { QResource::unregisterResource(rccFile_); }
    QString rccFile_;
};

}  // namespace

TEST_F(BundleTest, LooksAtTheTopThenInSettings) {
    EXPECT_EQ(Bundle::pathForResource("cvxtestBoth.xml"), ":/cvxtestBoth.xml");
    EXPECT_EQ(Bundle::pathForResource("cvxtestOnly", "xml"), ":/settings/cvxtestOnly.xml");
    EXPECT_EQ(Bundle::pathForResource("cvxtest/USB/FileInf.txt"), ":/cvxtest/USB/FileInf.txt");
    for (const char *absent : {"cvxtestNone.xml", "cvxtest", "cvxtest/USB", ""})
        EXPECT_TRUE(Bundle::pathForResource(absent).isNull()) << absent;
    EXPECT_EQ(FileManager::readFile(Bundle::pathForResource("cvxtestOnly.xml")), QByteArray("only"));
}

TEST_F(BundleTest, CopyIsAnOrdinaryWritableFile) {
    const QString target = FileManager::homeDirectory() + "/Only.xml";
    // What QFile::copy would leave: a read-only file.
    ASSERT_TRUE(QFile::copy(Bundle::pathForResource("cvxtestOnly.xml"), target));
    EXPECT_TRUE(Bundle::copyResource("cvxtestBoth.xml", target));
    EXPECT_EQ(FileManager::readFile(target), QByteArray("top"));
    EXPECT_TRUE(QFile::permissions(target) & QFile::WriteOwner);
    EXPECT_FALSE(Bundle::copyResource("cvxtestNone.xml", target + "2"));
    EXPECT_FALSE(FileManager::fileExists(target + "2"));
}
