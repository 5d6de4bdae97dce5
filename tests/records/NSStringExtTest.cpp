#include <gtest/gtest.h>

#include "records/NSStringExt.h"

namespace {

QString q(const char16_t *text) {
    return QString::fromUtf16(text);
}

}  // namespace

TEST(NSStringExt, Trimming) {
    const struct {
        QString (*op)(const QString &);
        const char16_t *in, *out;
    } cases[] = {
        {NSStringExt::trim, u"\u3000abc \n", u"abc"},
        {NSStringExt::trim, u" \t\u00a0\u2029 ", u""},
        {NSStringExt::trimRight, u"  ab  ", u"  ab"},
        {NSStringExt::trimRight, u"   ", u""},
        {NSStringExt::trimNewline, u"\r\n a \n b \u2028", u" a \n b "},
        {NSStringExt::trimNewline, u"\t x\t", u"\t x\t"},
    };
    for (const auto &c : cases) {
        const QString got = c.op(q(c.in));
        EXPECT_EQ(got, q(c.out)) << q(c.in).toStdString();
        EXPECT_FALSE(got.isNull());
    }
    EXPECT_TRUE(NSStringExt::trim(QString()).isNull());
}

TEST(NSStringExt, ValidateDBCS) {
    const QString digits30(30, QLatin1Char('7'));
    const struct {
        QString text;
        qint64 n;
        bool ok;
    } cases[] = {
        {"azAZ09()-_@+[]", 30, true},
        {"", 30, false},
        {" 123", 30, false},
        {"12 34  ", 30, true},
        {"a/b", 30, false},
        {"a:b", 30, false},
        {"a.b", 30, false},
        {q(u"\u3042"), 30, false},
        {q(u"\uff21bc"), 30, false},
        {q(u"abc\u3000"), 30, false},
        {q(u"\u2122"), 30, false},
        // Control white space would reach file names and the instrument's CR-separated frames.
        {"ab\tc", 30, false},
        {"ab\r", 30, false},
        {"ab\nc", 30, false},
        {digits30, 30, true},
        {digits30 + "7", 30, false},
        {digits30.left(16), 15, false},
        {"a", 0, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NSStringExt::validateDBCS(c.text, c.n), c.ok) << c.text.toStdString() << " n=" << c.n;

    const struct {
        const char *text;
        bool ok;
    } blankOk[] = {{"", true},     {"  ", true},   {" \r\n", true},
                   {" 12", false}, {"ab12", true}, {"ab\r", false}};
    for (const auto &c : blankOk) EXPECT_EQ(NSStringExt::validateDBCS2(c.text, 15), c.ok) << c.text;
}

TEST(NSStringExt, MyContainsStringAndHHmm) {
    const QString composed = q(u"Caf\u00e9 au lait");
    EXPECT_TRUE(NSStringExt::myContainsString(composed, q(u"e\u0301")));
    EXPECT_TRUE(NSStringExt::myContainsString(q(u"Cafe\u0301"), q(u"\u00e9")));
    EXPECT_FALSE(NSStringExt::myContainsString(composed, "AU"));
    EXPECT_FALSE(NSStringExt::myContainsString(composed, QString()));
    EXPECT_FALSE(NSStringExt::myContainsString("", ""));

    EXPECT_EQ(NSStringExt::HHmm("2014-05-12 09:30"), "09:30");
    EXPECT_EQ(NSStringExt::HHmm("2014-05-12"), "");
    EXPECT_EQ(NSStringExt::HHmm("2014-05-12  09:30"), "");
}
