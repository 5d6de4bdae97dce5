#include <gtest/gtest.h>

#include <QDir>

TEST(TestHome, EachTestHasItsOwnEmptyHome) {
    QDir home(QString::fromLocal8Bit(qgetenv("HOME")));
    EXPECT_TRUE(home.exists());
    EXPECT_FALSE(home.exists(QStringLiteral(".Corvadenix")));
}
