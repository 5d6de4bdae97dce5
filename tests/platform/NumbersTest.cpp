#include <gtest/gtest.h>
#include <locale.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <limits>

#include "platform/Numbers.h"

TEST(Numbers, IntegerValue) {
    const struct {
        const char16_t *text;
        qint64 value;
    } cases[] = {
        {u"08", 8},
        {u"12a", 12},
        {u"", 0},
        {u"abc", 0},
        {u"  -7", -7},
        {u"+5", 5},
        {u"- 5", 0},
        {u"\t\n\r 42", 42},
        {u"\u3000 9", 9},
        {u"\uff11\uff12", 0},  // full-width digits are no digits
        {u"3.9", 3},
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483648},
        {u"-9223372036854775808", std::numeric_limits<qint64>::min()},
        {u"9223372036854775808", std::numeric_limits<qint64>::max()},
        {u"-99999999999999999999999", std::numeric_limits<qint64>::min()},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(cvx::integerValue(text), c.value) << text.toStdString();
        const qint64 clamped =
            std::clamp<qint64>(c.value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        EXPECT_EQ(cvx::intValue(text), clamped) << text.toStdString();
    }
    EXPECT_EQ(cvx::intValue(QString()), 0);
}

TEST(Numbers, DoubleValue) {
    const struct {
        const char *text;
        double value;
    } cases[] = {
        {"3.25abc", 3.25}, {".5", 0.5},  {"5.", 5.0},  {"-.5e3x", -500.0}, {"1e", 1.0},     {"1e+", 1.0},
        {"  +2.5", 2.5},   {"abc", 0.0}, {".", 0.0},   {"-", 0.0},         {"inf", 0.0},    {"0x10", 0.0},
        {"1,5", 1.0},      {"", 0.0},    {"12", 12.0}, {"2.5E-1", 0.25},   {"1e-400", 0.0},
    };
    for (const auto &c : cases) EXPECT_EQ(cvx::doubleValue(QString::fromLatin1(c.text)), c.value) << c.text;
    EXPECT_EQ(cvx::doubleValue(u"1e999"), HUGE_VAL);
    EXPECT_EQ(cvx::doubleValue(u"-1e999"), -HUGE_VAL);
    EXPECT_EQ(cvx::floatValue(u"0.1"), 0.1f);
    EXPECT_EQ(cvx::floatValue(u"1e39"), HUGE_VALF);
}

TEST(Numbers, FormatIgnoresTheUsersDecimalComma) {
    // Build a locale with a decimal comma when the machine has none installed.
    QTemporaryDir dir;
    const QByteArray oldLocPath = qgetenv("LOCPATH");
    const std::string oldNumeric = setlocale(LC_NUMERIC, nullptr);
    bool comma = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    if (!comma && !QStandardPaths::findExecutable("localedef").isEmpty()) {
        QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", dir.filePath("de_DE.UTF-8")});
        qputenv("LOCPATH", dir.path().toLocal8Bit());
        comma = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    if (comma) {
        char probe[16];
        snprintf(probe, sizeof probe, "%.1f", 1.5);
        EXPECT_STREQ(probe, "1,5");  // the trap being guarded against
    }
    EXPECT_EQ(cvx::format("%.1f", 36.55), "36.5");
    EXPECT_EQ(cvx::format("%.0f", 2.5), "2");
    EXPECT_EQ(cvx::format("%02ld", 7L), "07");
    EXPECT_EQ(cvx::format("%s|%d", "\xe6\xb8\x88", -3), QString::fromUtf8("\xe6\xb8\x88|-3"));
    EXPECT_EQ(cvx::format("%300d", 1).size(), 300);
    EXPECT_EQ(cvx::doubleValue(u"1.5"), 1.5);
    setlocale(LC_NUMERIC, oldNumeric.c_str());
    if (oldLocPath.isNull())
        qunsetenv("LOCPATH");
    else
        qputenv("LOCPATH", oldLocPath);
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma could be made";
}
