#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/FileManager.h"

using cvx::FileManager;

namespace {

QString home(const QString &relative) {
    return FileManager::homeDirectory() + "/" + relative;
}

// A small data folder with nesting, a hidden file and a link back up the tree.
void makeTree(const QString &root) {
    ASSERT_TRUE(FileManager::createDirectory(root + "/Customer/deep"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/Comment.xml", "<DATA/>"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/Customer/12.xml", "twelve"));
    ASSERT_TRUE(FileManager::writeAtomically(root + "/Customer/deep/.hidden", "h"));
    ASSERT_EQ(::symlink("..", QFile::encodeName(root + "/Customer/up").constData()), 0);
}

}  // namespace

TEST(FileManager, PathRules) {
    struct Case {
        const char *path, *extension, *last, *withoutExtension;
    };
    const Case cases[] = {
        {"/a/b.xml", "xml", "b.xml", "/a/b"},
        {"a.b.xml", "xml", "a.b.xml", "a.b"},
        {".xml", "", ".xml", ".xml"},
        {"dir.d/file", "", "file", "dir.d/file"},
        {"/a/b/", "", "b", "/a/b"},
        {"/a//b.txt/", "txt", "b.txt", "/a/b"},
        {"/", "", "/", "/"},
        {"name.", "", "name.", "name"},
        {"/a/..", "", "..", "/a/.."},
        {"12_ABCD.TXT", "TXT", "12_ABCD.TXT", "12_ABCD"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FileManager::pathExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(FileManager::lastPathComponent(c.path), c.last) << c.path;
        EXPECT_EQ(FileManager::deletingPathExtension(c.path), c.withoutExtension) << c.path;
    }
    EXPECT_EQ(FileManager::appendingPathComponent("/a/", "b"), "/a/b");
    EXPECT_EQ(FileManager::appendingPathComponent("", "b"), "b");
}

TEST(FileManager, CopyListAndMoveFolders) {
    makeTree(home("data"));
    const QStringList tree{"Comment.xml",           "Customer",   "Customer/12.xml", "Customer/deep",
                           "Customer/deep/.hidden", "Customer/up"};
    EXPECT_EQ(FileManager::sortedSubpaths(home("data") + "/"), tree);
    ASSERT_TRUE(FileManager::copyItem(home("data"), home("copy")));
    EXPECT_EQ(FileManager::sortedSubpaths(home("copy")), tree);
    EXPECT_EQ(FileManager::readFile(home("copy/Customer/12.xml")), QByteArray("twelve"));
    EXPECT_EQ(QFileInfo(home("copy/Customer/up")).symLinkTarget(), home("copy"));  // a link, not followed

    ASSERT_TRUE(FileManager::moveItem(home("copy"), home("moved")));
    EXPECT_FALSE(FileManager::fileExists(home("copy")));
    EXPECT_EQ(FileManager::sortedSubpaths(home("moved")), tree);
    EXPECT_TRUE(FileManager::removeItem(home("moved")));
    EXPECT_FALSE(FileManager::fileExists(home("moved")));
    EXPECT_TRUE(FileManager::isDirectory(home("data")));  // the link's target survives
    EXPECT_FALSE(FileManager::removeItem(home("moved")));
}

TEST(FileManager, CopyAndMoveRefuseAnExistingDestination) {
    makeTree(home("data"));
    ASSERT_TRUE(FileManager::createDirectory(home("taken")));
    ASSERT_TRUE(FileManager::writeAtomically(home("taken/keep"), "k"));
    for (auto op : {&FileManager::copyItem, &FileManager::moveItem}) {
        EXPECT_FALSE(op(home("data"), home("taken")));
        EXPECT_FALSE(op(home("data/Comment.xml"), home("taken/keep")));
        EXPECT_FALSE(op(home("data"), home("data/Customer/inside")));
        EXPECT_FALSE(op(home("missing"), home("new")));
    }
    EXPECT_EQ(FileManager::sortedSubpaths(home("taken")), QStringList{"keep"});
    EXPECT_EQ(FileManager::readFile(home("taken/keep")), QByteArray("k"));
    EXPECT_EQ(FileManager::sortedSubpaths(home("data")).size(), 6);
}

TEST(FileManager, ReadAppendAndAtomicWrite) {
    EXPECT_FALSE(FileManager::readFile(home("log.txt")).has_value());
    EXPECT_TRUE(FileManager::appendToFile(home("log.txt"), "a\r\n"));
    EXPECT_TRUE(FileManager::appendToFile(home("log.txt"), QByteArray("b\0c", 3)));
    EXPECT_EQ(FileManager::readFile(home("log.txt")), QByteArray("a\r\nb\0c", 6));
    EXPECT_TRUE(FileManager::writeAtomically(home("log.txt"), "new"));
    EXPECT_EQ(FileManager::readFile(home("log.txt")), QByteArray("new"));
    EXPECT_FALSE(FileManager::writeAtomically(home("no/folder/f"), "x"));
    EXPECT_FALSE(FileManager::appendToFile(home("no/folder/f"), "x"));
    EXPECT_FALSE(FileManager::createDirectory(home("log.txt/sub")));
    QStringList names = FileManager::contentsOfDirectory(FileManager::homeDirectory());
    names.sort();
    EXPECT_EQ(names, QStringList({".config", "log.txt"}));  // no temporary file left behind
}
