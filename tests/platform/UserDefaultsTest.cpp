#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "platform/FileManager.h"
#include "platform/UserDefaults.h"

using cvx::FileManager;
using cvx::UserDefaults;

namespace {

QString configFile() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Corvadenix/defaults.json";
}

// 7 items x 3 levels x N flags, as the comment choices are kept.
QVariantList flagCube() {
    QVariantList items;
    for (int item = 0; item < 7; ++item) {
        QVariantList levels;
        for (int level = 0; level < 3; ++level)
            levels << QVariant(QVariantList(item + 1, QString::number(level % 2)));
        items << QVariant(levels);
    }
    return items;
}

}  // namespace

TEST(UserDefaults, ValuesSurviveARestartAndKeepTheirTypes) {
    {
        UserDefaults store(configFile());
        EXPECT_TRUE(store.setObject(QString(" 2x"), "resultChoiceNum"));
        EXPECT_TRUE(store.setObject(QString(), "12_remark"));
        EXPECT_TRUE(store.setObject(QStringList{"0", "1"}, "hos1"));
        EXPECT_TRUE(store.setObject(flagCube(), "zsignData"));
        EXPECT_TRUE(store.setObject(QString("gone"), "xyz"));
        EXPECT_TRUE(store.removeObjectForKey("xyz"));
        EXPECT_FALSE(store.setObject(42, "number"));  // only texts and arrays of texts
        EXPECT_FALSE(store.setObject(QVariantList{QString("a"), 1}, "mixed"));
    }
    UserDefaults store(configFile());
    EXPECT_EQ(store.stringForKey("resultChoiceNum"), " 2x");
    EXPECT_EQ(store.integerForKey("resultChoiceNum"), 2);
    EXPECT_FALSE(store.stringForKey("12_remark").isNull());
    EXPECT_EQ(store.stringArrayForKey("hos1"), QStringList({"0", "1"}));
    EXPECT_EQ(store.objectForKey("zsignData"), QVariant(flagCube()));
    for (const char *absent : {"xyz", "number", "mixed"}) EXPECT_FALSE(store.objectForKey(absent).isValid());
    // Typed getters give nothing for a value of another type.
    EXPECT_TRUE(store.stringForKey("hos1").isNull());
    EXPECT_TRUE(store.arrayForKey("resultChoiceNum").isEmpty());
    EXPECT_TRUE(store.stringArrayForKey("zsignData").isEmpty());
}

TEST(UserDefaults, WritesByReplacingTheFile) {
    UserDefaults store(configFile());
    store.setObject(QString("old"), "k");
    ASSERT_TRUE(store.flush());
    // A hard link keeps the old contents only if the new ones went into a new file.
    const QString pinned = configFile() + ".pinned";
    ASSERT_EQ(::link(QFile::encodeName(configFile()).constData(), QFile::encodeName(pinned).constData()), 0);
    store.setObject(QString("new"), "k");
    ASSERT_TRUE(store.flush());
    EXPECT_TRUE(FileManager::readFile(pinned)->contains("old"));
    EXPECT_TRUE(FileManager::readFile(configFile())->contains("new"));
}

TEST(UserDefaults, FailedWriteIsReportedAndRetried) {
    const QString folder = QFileInfo(configFile()).absolutePath();
    ASSERT_TRUE(FileManager::writeAtomically(folder, "a file where the folder belongs"));
    UserDefaults store(configFile());
    EXPECT_TRUE(store.setObject(QString("v"), "k"));
    EXPECT_FALSE(store.flush());
    EXPECT_EQ(store.stringForKey("k"), "v");
    ASSERT_TRUE(FileManager::removeItem(folder));
    // A pipe at the end of the file's link is neither set aside nor replaced.
    ASSERT_TRUE(FileManager::createDirectory(folder) && QFile::link("p", configFile()) &&
                ::mkfifo(QFile::encodeName(folder + "/p").constData(), 0600) == 0);
    EXPECT_FALSE(store.synchronize());
    EXPECT_TRUE(!QFileInfo(configFile()).isFile() && FileManager::contentsOfDirectory(folder).size() == 2);
    ASSERT_TRUE(FileManager::removeItem(configFile()));
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(UserDefaults(configFile()).stringForKey("k"), "v");
}

// Two stores on one file stand for two processes: each write keeps what the other wrote and
// applies only its own changes and removals; a change is written without a flush, soon.
TEST(UserDefaults, WritersOnOneFileKeepEachOthersKeys) {
    {
        UserDefaults seed(configFile());
        seed.setObject(QString("both see it"), "shared");
        seed.setObject(QString("a removes it"), "gone");
    }
    UserDefaults a(configFile());
    UserDefaults b(configFile());
    for (int i = 0; i < 50; ++i) {
        a.setObject(QString::number(i), QString("a%1").arg(i));
        b.setObject(QString::number(i), QString("b%1").arg(i));
        if (i % 10 == 0) {
            EXPECT_TRUE((i % 20 ? a : b).flush());
        }
    }
    for (int i = 0; i < 100 && UserDefaults(configFile()).objectForKey("b49") != QVariant("49"); ++i)
        QThread::msleep(50);
    EXPECT_EQ(UserDefaults(configFile()).stringForKey("b49"), "49");
    b.setObject(QString("b's"), "shared");
    ASSERT_TRUE(b.flush());
    a.removeObjectForKey("gone");
    ASSERT_TRUE(a.flush());
    const UserDefaults after(configFile());
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(after.stringForKey(QString("a%1").arg(i)), QString::number(i));
        EXPECT_EQ(after.stringForKey(QString("b%1").arg(i)), QString::number(i));
    }
    EXPECT_EQ(after.stringForKey("shared"), "b's");
    EXPECT_FALSE(after.objectForKey("gone").isValid());
    // A writer sees what the other wrote before its own write.
    EXPECT_EQ(a.stringForKey("shared"), "b's");
    EXPECT_EQ(a.stringForKey("b49"), "49");
}

TEST(UserDefaults, CorruptFileIsSetAsideNotOverwritten) {
    FileManager::createDirectory(QFileInfo(configFile()).absolutePath());
    const QByteArray bad[] = {"{\"k\": [\"a\"", "[\"an array\"]"};
    for (const QByteArray &bytes : bad) {
        ASSERT_TRUE(FileManager::writeAtomically(configFile(), bytes));
        UserDefaults store(configFile());
        EXPECT_FALSE(store.objectForKey("k").isValid());
        EXPECT_TRUE(store.setObject(QString("fresh"), "k"));
    }
    EXPECT_EQ(FileManager::readFile(configFile() + ".bad"), bad[0]);
    EXPECT_EQ(FileManager::readFile(configFile() + ".bad.1"), bad[1]);
    EXPECT_EQ(UserDefaults(configFile()).stringForKey("k"), "fresh");
    // Cut short, then removed, from outside while the program runs: the next write heals it,
    // and so does the end of the run without a change.
    UserDefaults store(configFile());
    const QStringList keys{"zhospital", "zdoctor", "ztotal", "xyz", "12_remark"};
    for (const QString &key : keys) store.setObject(key, key);
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(store.flush() && (round ? FileManager::removeItem(configFile())
                                            : FileManager::writeAtomically(configFile(), bad[0])));
        ASSERT_TRUE(round == 2 ? store.flushAll() : store.setObject(QString("k"), "k") && store.flush());
        for (const QString &key : keys)
            EXPECT_EQ(store.stringForKey(key) + UserDefaults(configFile()).stringForKey(key), key + key);
    }
    EXPECT_EQ(FileManager::readFile(configFile() + ".bad.2"), bad[0]);
}

TEST(UserDefaults, StandardFollowsTheConfigFolder) {
    const QString first = qEnvironmentVariable("XDG_CONFIG_HOME");
    UserDefaults::standard().setObject(QString("V1.0.0"), "appVersion");
    qputenv("XDG_CONFIG_HOME", QDir(first).filePath("other").toUtf8());
    EXPECT_FALSE(UserDefaults::standard().objectForKey("appVersion").isValid());
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserDefaults::standard().filePath(),
              FileManager::homeDirectory() + "/.config/Corvadenix/defaults.json");
    qputenv("XDG_CONFIG_HOME", first.toUtf8());
    EXPECT_EQ(UserDefaults::standard().stringForKey("appVersion"), "V1.0.0");
}
