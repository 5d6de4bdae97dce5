#include <gtest/gtest.h>

#include <QDir>

#include "platform/Version.h"

TEST(Version, IsDottedNumbers) {
    QString v = QString::fromLatin1(cvx::kAppShortVersion);
    EXPECT_EQ(v.split('.').size(), 3);
}

TEST(TestHome, EachTestHasItsOwnEmptyHome) {
    QDir home(QString::fromLocal8Bit(qgetenv("HOME")));
    EXPECT_TRUE(home.exists());
    EXPECT_FALSE(home.exists(QStringLiteral(".Corvadenix")));
}
