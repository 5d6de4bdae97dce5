#include <gtest/gtest.h>

#include <QStringList>
#include <QVariantList>

#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFixture.h"

namespace {

using namespace settingsfixture;
using Lists = BBInitDatas::Lists;

const QString kComment = QStringLiteral("Comment.xml");

QStringList entriesOf(const char *title, const char *type) {
    // Untidied, so that a text of blanks reads as written.
    return load(kComment, cvx::XmlDocument::Option::None)
        .stringsForXPath(QStringLiteral("/*/*[@title='%1' and @type='%2']/*").arg(title, type));
}

// Every item and level holds a choice of its own, so a write to the wrong place shows.
void storeDistinctChoices() {
    QVariantList content, signs;
    for (int item = 0; item < 7; ++item) {
        QVariantList texts, flags;
        for (int level = 0; level < 3; ++level) {
            texts.append(QStringLiteral("c%1-%2").arg(item).arg(level));
            flags.append(QVariant(QStringList{"1"}));
        }
        content.append(QVariant(texts));
        signs.append(QVariant(flags));
    }
    cvx::UserDefaults::standard().setObject(content, QStringLiteral("zcontent"));
    cvx::UserDefaults::standard().setObject(signs, QStringLiteral("zsignData"));
}

QString choice(const char *key, int item, int level) {
    const QVariantList items = cvx::UserDefaults::standard().arrayForKey(QString::fromLatin1(key));
    return shape(items.value(item).toList().value(level));
}

TEST(CommentStoreTest, BfcKeysRunTheOtherWay) {
    EXPECT_EQ(BBInitDatas::listKeys().join(' '),
              "ms0 ms1 ms2 ph0 ph1 ph2 bfc2 bfc1 bfc0 bld0 bld1 bld2 "
              "leu0 leu1 leu2 alb0 alb1 alb2 nh30 nh31 nh32");
    const auto ms0 = BBInitDatas::listKey("ms0"), bfc0 = BBInitDatas::listKey("bfc0");
    ASSERT_TRUE(ms0 && bfc0);
    EXPECT_EQ(QStringList({ms0->title, ms0->type, QString::number(ms0->item), QString::number(ms0->level)}),
              QStringList({"MS", "2", "0", "0"}));
    EXPECT_EQ(
        QStringList({bfc0->title, bfc0->type, QString::number(bfc0->item), QString::number(bfc0->level)}),
        QStringList({"BFC", "0", "2", "2"}));
    EXPECT_FALSE(BBInitDatas::listKey("total"));
}

TEST(CommentStoreTest, ReadsEntriesOnlyWhereTheirNumberIsTheirPosition) {
    install(kComment);
    const Lists lists = BBInitDatas::getTableDetail();
    EXPECT_EQ(lists.value("ms0"), QStringList{"x"});  // data1 x, data3 y, data2 z
    EXPECT_EQ(lists.value("bfc2"), QStringList({"BFC high 1", "BFC high 2"}));
    EXPECT_EQ(lists.value("bfc0").size(), 3);
    // The later of two elements with the same title and type; "PH" is not "pH".
    EXPECT_EQ(lists.value("ph1"), QStringList({"pH second copy", "pH second copy 2"}));
    EXPECT_EQ(lists.keys(), QStringList({"bfc0", "bfc2", "ms0", "ms2", "nh31", "ph1"}));
    EXPECT_EQ(BBInitDatas::getTotal(), (Lists{{"total", {"total 1", "total 2"}}}));
}

TEST(CommentStoreTest, MissingOrBrokenFileReadsEmptyAndIsNotWritten) {
    EXPECT_TRUE(BBInitDatas::getTableDetail().isEmpty());
    EXPECT_TRUE(BBInitDatas::getTotal().isEmpty());
    EXPECT_FALSE(BBInitDatas::setTableContent({"a"}, "ms0"));
    EXPECT_FALSE(BBInitDatas::setTotal({"a"}, "total"));
    EXPECT_TRUE(contents(kComment).isNull());

    // Unclosed tags are read as repaired, and a writer writes the repaired tree; a text without
    // any element is not read, nor written.
    const QString damaged = QStringLiteral("<Comments><List title=\"MS\" type=\"2\"><data1>x</data1>");
    installText(kComment, damaged);
    EXPECT_EQ(BBInitDatas::getTableDetail(), (Lists{{"ms0", {"x"}}}));
    EXPECT_EQ(contents(kComment), damaged.toUtf8()) << "reading writes nothing back";
    EXPECT_TRUE(BBInitDatas::setTableContent({"a"}, "ms0"));
    EXPECT_EQ(BBInitDatas::getTableDetail(), (Lists{{"ms0", {"a"}}}));

    // Nor is a text whose repair would drop part of it (here all after the NUL byte), nor one
    // that would hide the rest of a list in an entry left open.
    for (const QByteArray &broken :
         {QByteArray("Comments, List title=MS"),
          QByteArray("<C><L title=\"MS\" type=\"2\"><data1>x") + '\0' + "</data1></L></C>",
          QByteArray("<Comments><List title=\"MS\" type=\"2\"><data1>x<data2>y</data2>"),
          QByteArray("<List title=\"MS\" type=\"2\"><data1>x</data1><data2>y</data2><data3>z")}) {
        writeData(kComment, broken);
        EXPECT_TRUE(BBInitDatas::getTableDetail().isEmpty());
        EXPECT_FALSE(BBInitDatas::setTableContent({"a"}, "ms0"));
        EXPECT_EQ(contents(kComment), broken);
    }
    // A list that holds text or another list, or what a read of it does not show (an element of
    // another name, an entry out of its place, an earlier list of the same title and type), is
    // not rewritten nor its choice stored; a file of another kind is read but not written into.
    const QByteArray ms = "<List title='MS' type='2'>", tc = "<List title='TotalComment' type='0'>";
    for (const QByteArray &kept :
         QList<QByteArray>{"<Comments><List title=\"MS\" type=\"2\">x</List></Comments>",
                           "<Comments><List title=\"MS\" type=\"2\"><data1>x</data1><List title=\"pH\" "
                           "type=\"0\"><data1>y</data1></List></List></Comments>",
                           "<html><List title=\"MS\" type=\"2\"><data1>x</data1></List></html>",
                           "<Comments>" + ms + "<data1>1</data1><x/><data2>2</data2></List>" + tc +
                               "<data1>t</data1><note>keep me</note></List></Comments>",
                           "<Comments>" + ms + "<x/><data1>1</data1></List>" + tc +
                               "<data1>t</data1><data3>3</data3></List></Comments>",
                           "<Comments>" + ms + "<data1>1</data1><data3>3</data3></List>" + tc +
                               "<data1>t</data1></List>" + tc + "</List></Comments>",
                           "<Comments>" + ms + "<data1>1</data1></List>" + ms + "</Comments>",
                           // An entry holding more than its text.
                           "<Comments>" + ms + "<data1>1</data1><data2 note=\"keep me\">m2</data2></List>" +
                               tc + "<data1>t<!-- keep me --></data1></List></Comments>",
                           "<Comments>" + ms + "<data1>1<?keep me?></data1></List>" + tc +
                               "<data1 note='k'>t</data1></List></Comments>"}) {
        writeData(kComment, kept);
        EXPECT_FALSE(BBInitDatas::setTableContent({"a"}, "ms0"));
        EXPECT_FALSE(BBInitDatas::deleteBlankData({"a"}, {"1"}, "ms0"));
        if (kept.contains(tc)) {
            EXPECT_FALSE(BBInitDatas::setTotal({"a"}, "total"));
        }
        EXPECT_EQ(contents(kComment), kept);
    }
    EXPECT_EQ(shape(cvx::UserDefaults::standard().objectForKey("zsignData")), "<none>");
}

TEST(CommentStoreTest, WritesTheKeysListsAndLeavesTheOthers) {
    const QStringList texts{"Tom & Jerry <3", "a > b \"q\" 'p'", "歯みがき"};
    const struct {
        const char *key, *title, *type;
    } rows[] = {{"nh31", "NH3", "1"}, {"bfc0", "BFC", "0"}, {"bfc2", "BFC", "2"}};
    for (const auto &row : rows) {
        install(kComment);
        Lists expected = BBInitDatas::getTableDetail();
        expected.insert(row.key, texts);
        ASSERT_TRUE(BBInitDatas::setTableContent(texts, row.key)) << row.key;
        EXPECT_EQ(entriesOf(row.title, row.type), texts);
        EXPECT_EQ(BBInitDatas::getTableDetail(), expected) << row.key;
    }
    EXPECT_TRUE(contents(kComment).contains("<data1>Tom &amp; Jerry &lt;3</data1>"));

    // A key the table or the file lacks, or the wrong overall key, writes the file unchanged.
    const QString before = load(kComment).toString();
    EXPECT_TRUE(BBInitDatas::setTableContent({"new"}, "ms9"));
    EXPECT_TRUE(BBInitDatas::setTableContent({"new"}, "bld0"));
    EXPECT_TRUE(BBInitDatas::setTotal({"new"}, "ms0"));
    EXPECT_EQ(load(kComment).toString(), before);

    ASSERT_TRUE(BBInitDatas::setTotal({}, "total"));
    EXPECT_EQ(BBInitDatas::getTotal(), (Lists{{"total", {}}}));

    // A text XML 1.0 cannot hold, even as a reference, is not written, nor one that would not
    // read back as saved; the file stays.
    const QByteArray kept = contents(kComment);
    EXPECT_FALSE(BBInitDatas::setTableContent({"ok", QStringLiteral("a\u0001b")}, "bfc2"));
    EXPECT_FALSE(BBInitDatas::setTotal({QStringLiteral("\u001f")}, "total"));
    EXPECT_FALSE(BBInitDatas::setTableContent({QStringLiteral("a") + QChar(0) + "b"}, "bfc2"));
    EXPECT_EQ(contents(kComment), kept);
    // Nor one that would change another list: a value that the declared encoding lacks, in a
    // CDATA section, where its reference would stand for itself.
    const QString declaredShiftJis = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"shift-jis\"?><Comments><List title=\"MS\" type=\"2\"/>"
        "<List title=\"pH\" type=\"2\"><data1><![CDATA[é]]></data1></List></Comments>");
    const QByteArray utf16 = "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(declaredShiftJis.utf16()),
                                                     declaredShiftJis.size() * 2);
    writeData(kComment, utf16);
    EXPECT_EQ(BBInitDatas::getTableDetail().value("ph0"), QStringList{"é"});
    EXPECT_FALSE(BBInitDatas::setTableContent({"a"}, "ms0"));
    EXPECT_EQ(contents(kComment), utf16);
}

// The nodes of the lists with that title and type: an element as its name and text, any other
// node as "#" and its text.
QStringList nodesOf(const char *title, const char *type) {
    QStringList nodes;
    for (const cvx::XmlElement &node : load(kComment).nodesForXPath(
             QStringLiteral("/*/*[@title='%1' and @type='%2']/node()").arg(title, type)))
        nodes << (node.isElement() ? node.name() + '=' + node.stringValue() : '#' + node.stringValue());
    return nodes;
}

// A comment or processing instruction is no place in a list: the entries around it are read, and
// a save keeps it after as many entries as stood before it.
TEST(CommentStoreTest, CommentsAndInstructionsAreNoPlaceInAList) {
    const QString file = QStringLiteral(
        "<Comments><!-- lists --><List title=\"MS\" type=\"2\"><!-- x "
        "--><data1>a</data1><data2>b</data2></List>"
        "<List title=\"pH\" type=\"2\"><data1>p</data1><?cvx keep?><data2>q</data2></List>"
        "<List title=\"TotalComment\" type=\"0\"><data1>t</data1><!-- end "
        "--><data2>u</data2></List></Comments>");
    const struct {
        const char *key;
        QStringList texts;
        const char *title, *type;
        QStringList nodes;
    } cases[] = {
        {"ms0", {"n"}, "MS", "2", {"# x ", "data1=n"}},
        {"ph0", {"1", "2", "3"}, "pH", "2", {"data1=1", "#keep", "data2=2", "data3=3"}},
        {"ph0", {}, "pH", "2", {"#keep"}},
        {"total", {"v"}, "TotalComment", "0", {"data1=v", "# end "}},
    };
    for (const auto &c : cases) {
        installText(kComment, file);
        EXPECT_EQ(BBInitDatas::getTableDetail(), (Lists{{"ms0", {"a", "b"}}, {"ph0", {"p", "q"}}}));
        EXPECT_EQ(BBInitDatas::getTotal(), (Lists{{"total", {"t", "u"}}}));
        Lists expected{{"ms0", {"a", "b"}}, {"ph0", {"p", "q"}}, {"total", {"t", "u"}}};
        expected.insert(c.key, c.texts);
        ASSERT_TRUE(c.key == QLatin1String("total") ? BBInitDatas::setTotal(c.texts, c.key)
                                                    : BBInitDatas::setTableContent(c.texts, c.key))
            << c.key;
        EXPECT_EQ(nodesOf(c.title, c.type), c.nodes) << c.key;
        Lists read = BBInitDatas::getTableDetail();
        read.insert(BBInitDatas::getTotal());
        EXPECT_EQ(read, expected) << c.key;
        EXPECT_EQ(load(kComment).stringsForXPath("/Comments/comment()"), QStringList{" lists "});
    }
}

TEST(CommentStoreTest, SavingAnEditedListDropsBlankRowsAndUpdatesItsChoice) {
    const struct {
        QStringList texts, checks;
        const char *key;
        int item, level;
        const char *flags, *content, *title, *type;
        QStringList stored;
    } cases[] = {
        {{"a", "", "b"}, {"0", "0", "1"}, "bfc2", 2, 0, "[0,1]", "b", "BFC", "2", {"a", "b"}},
        // The ticked row was blank: no tick remains and the choice keeps its text.
        {{"a", "", "b"}, {"0", "1", "0"}, "nh31", 6, 1, "[0,0]", "c6-1", "NH3", "1", {"a", "b"}},
        // Nothing left: the list empties, new measurements keep the old choice.
        {{"", ""}, {"1", "0"}, "ms2", 0, 2, "[]", "c0-2", "MS", "0", {}},
        // Flags shorter than the texts: a missing flag is "0".
        {{"a", "b", "c"}, {"0", "1"}, "bfc0", 2, 2, "[0,1,0]", "b", "BFC", "0", {"a", "b", "c"}},
        // The last tick wins; a text of blanks is kept.
        {{"a", " ", "c"}, {"1", "1", "0"}, "bfc2", 2, 0, "[1,1,0]", " ", "BFC", "2", {"a", " ", "c"}},
    };
    for (const auto &c : cases) {
        install(kComment);
        storeDistinctChoices();
        BBInitDatas::deleteBlankData(c.texts, c.checks, c.key);
        EXPECT_EQ(entriesOf(c.title, c.type), c.stored) << c.key;
        for (int item = 0; item < 7; ++item) {
            for (int level = 0; level < 3; ++level) {
                const bool edited = item == c.item && level == c.level;
                EXPECT_EQ(choice("zsignData", item, level), edited ? c.flags : "[1]") << c.key;
                EXPECT_EQ(
                    choice("zcontent", item, level),
                    edited ? QString::fromUtf8(c.content) : QStringLiteral("c%1-%2").arg(item).arg(level));
            }
        }
    }
}

TEST(CommentStoreTest, SavingPadsShortChoicesAndIgnoresUnknownKeys) {
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    defaults.setObject(QVariantList{QVariant(QVariantList{"keep"})}, QStringLiteral("zcontent"));
    install(kComment);  // without the list's element
    BBInitDatas::deleteBlankData({"n1", "n2"}, {"0", "1"}, "nh32");
    EXPECT_EQ(shape(defaults.objectForKey("zcontent")), "[[keep,,],[,,],[,,],[,,],[,,],[,,],[,,n2]]");
    EXPECT_EQ(shape(defaults.objectForKey("zsignData")),
              "[[[],[],[]],[[],[],[]],[[],[],[]],[[],[],[]],[[],[],[]],[[],[],[]],[[],[],[0,1]]]");

    BBInitDatas::deleteBlankData({"z"}, {"1"}, "total");
    EXPECT_EQ(shape(defaults.objectForKey("zcontent")), "[[keep,,],[,,],[,,],[,,],[,,],[,,],[,,n2]]");
    EXPECT_EQ(BBInitDatas::getTotal().value("total"), QStringList({"total 1", "total 2"}));
}

}  // namespace
