#include "platform/Pictures.h"

#include <gtest/gtest.h>

#include <QImageReader>
#include <QSet>

using cvx::Pictures;

namespace {

QString nfd(const QString &s) {
    return s.normalized(QString::NormalizationForm_D);
}

// Every picture the start-up, main menu, patient entry, measuring window, message views,
// buttons and animated picture ask for by name.
const QStringList kShellNames{
    "W301",
    "W302",
    "W303",
    "W304",
    "W305",
    "W306",
    "W307",
    "W308",
    "W309",
    "W311",
    "W312",
    "E402",
    "E403",
    "E404",
    "E405",
    "E407",
    "T501",
    "T502",
    "T503",
    "T504",
    "update_success",
    "made_data_stop",
    "made_data_success",
    "csv_save_success",
    "clear_success",
    "export_success",
    "import_success",
    "made_list",
    "自動バージョンアップ1",
    "自動バージョンアップ2",
    "自動バージョンアップ3",
    "自動バージョンアップ4",
    "画面_メッセージ",
    "box",
    "transz",
    "ボタン_OK_",
    "ボタン_OK_ON",
    "ボタン_OK_DOWN",
    "ボタン_OK_OFF",
    "ボタンs_キャンセル_",
    "ボタンs_キャンセル_ON",
    "ボタンs_キャンセル_DOWN",
    "ボタン_DEL_",
    "ボタン_DEL_ON",
    "ボタン_DEL_DOWN",
    "ボタン_メニュー_",
    "ボタン_メニュー_ON",
    "ボタン_メニュー_DOWN",
    "ボタン_メニュー_OFF",
    "ボタン_ラジオボタン_OFF_",
    "ボタン_ラジオボタン_OFF_ON",
    "ボタン_ラジオボタン_ON_",
    "ボタン_ラジオボタン_ON_ON",
    "表示_装置状態_待機中",
    "表示_装置状態_準備中",
    "表示_装置状態_機器未接続",
    "表示_装置状態_エラー",
    "表示_装置状態_測定中",
    "表示_装置状態_測定中.gif",
    "Stepback1",
    "Stepback2",
    "Stepback3",
    "Stepback4",
    "Stepback5",
};

}  // namespace

TEST(Pictures, CatalogueInTheBundleIsSound) {
    EXPECT_TRUE(Pictures::catalogueErrors().isEmpty())
        << Pictures::catalogueErrors().join('\n').toStdString();
    EXPECT_GT(Pictures::names().size(), 100);
}

TEST(Pictures, EveryPictureLoadsAtItsDeclaredSize) {
    for (const QString &name : Pictures::names()) {
        const auto entry = Pictures::entry(name);
        ASSERT_TRUE(entry) << name.toStdString();
        QImageReader reader(Pictures::pathFor(name));
        const QImage img = reader.read();
        ASSERT_FALSE(img.isNull()) << name.toStdString() << ": " << reader.errorString().toStdString();
        EXPECT_EQ(img.size(), entry->size) << name.toStdString();
        EXPECT_EQ(Pictures::pixmap(name).size(), entry->size) << name.toStdString();
        // Not an empty canvas: some pixel is drawn.
        bool drawn = false;
        for (int y = 0; y < img.height() && !drawn; y += 2)
            for (int x = 0; x < img.width() && !drawn; x += 2) drawn = qAlpha(img.pixel(x, y)) > 0;
        EXPECT_TRUE(drawn) << name.toStdString();
    }
}

TEST(Pictures, NamesTheProgramAsksForResolveComposedAndDecomposed) {
    int voiced = 0;
    for (const QString &name : kShellNames) {
        const QString path = Pictures::pathFor(name);
        EXPECT_FALSE(path.isNull()) << name.toStdString();
        EXPECT_EQ(Pictures::pathFor(nfd(name)), path) << name.toStdString();
        if (nfd(name) != name) ++voiced;
    }
    EXPECT_GT(voiced, 20);  // the decomposed forms really differ
    // As the names are written in some layouts: ホ + U+3099 and フ + U+309A.
    EXPECT_EQ(Pictures::pathFor(QString::fromUtf16(u"\u30DB\u3099タン_OK_")),
              Pictures::pathFor("ボタン_OK_"));
    EXPECT_EQ(Pictures::pathFor(QString::fromUtf16(u"自動ハ\u3099ーシ\u3099ョンアッフ\u309A4")),
              Pictures::pathFor("自動バージョンアップ4"));
}

TEST(Pictures, LookupRules) {
    struct Case {
        const char *name;
        const char *expectPath;  // nullptr: unknown
    };
    const Case cases[] = {
        {"W301", ":/pictures/msg_w301.png"},
        {"表示_装置状態_測定中.gif", ":/pictures/state_measuring.gif"},
        {"表示_装置状態_測定中.GIF", ":/pictures/state_measuring.gif"},
        {"表示_装置状態_待機中.png", ":/pictures/state_waiting.png"},
        {"W301.gif", nullptr},  // the extension must be the file's own
        {"W310", nullptr},
        {"w301", nullptr},  // names are case-sensitive
        {"", nullptr},
        {".png", nullptr},
    };
    for (const Case &c : cases) {
        const QString path = Pictures::pathFor(QString::fromUtf8(c.name));
        if (c.expectPath) {
            EXPECT_EQ(path, QString::fromUtf8(c.expectPath)) << c.name;
        } else {
            EXPECT_TRUE(path.isNull()) << c.name;
            EXPECT_TRUE(Pictures::pixmap(QString::fromUtf8(c.name)).isNull()) << c.name;
            EXPECT_TRUE(Pictures::image(QString::fromUtf8(c.name)).isNull()) << c.name;
        }
    }
}

TEST(Pictures, MessageAndPanelPicturesHaveTheSizesTheViewsDrawThemAt) {
    for (const QString &name : kShellNames) {
        const auto e = Pictures::entry(name);
        ASSERT_TRUE(e) << name.toStdString();
        if (e->kind == "message") {
            EXPECT_EQ(e->size, QSize(475, 85)) << name.toStdString();
            EXPECT_FALSE(e->text.isEmpty()) << name.toStdString();
        }
    }
    for (int step = 1; step <= 4; ++step)
        EXPECT_EQ(Pictures::entry(QStringLiteral("自動バージョンアップ%1").arg(step))->size, QSize(960, 320));
    EXPECT_EQ(Pictures::entry("画面_メッセージ")->size, QSize(960, 320));
    EXPECT_EQ(Pictures::entry("ボタン_OK_")->size, QSize(112, 112));
    EXPECT_EQ(Pictures::entry("ボタンs_キャンセル_")->size, QSize(84, 84));
}

TEST(Pictures, EveryButtonHasItsHoverAndPressedForms) {
    const QStringList names = Pictures::names();
    const QSet<QString> all(names.begin(), names.end());
    for (const QString &name : names) {
        if (Pictures::entry(name)->kind != "button-normal") continue;
        ASSERT_TRUE(name.endsWith('_')) << name.toStdString();
        for (const char *suffix : {"ON", "DOWN"}) {
            const QString form = name + suffix;
            ASSERT_TRUE(all.contains(form)) << form.toStdString();
            EXPECT_EQ(Pictures::entry(form)->size, Pictures::entry(name)->size) << form.toStdString();
        }
    }
}

TEST(Pictures, MeasuringPictureIsAnAnimatedGif) {
    const QString name = "表示_装置状態_測定中";
    EXPECT_TRUE(Pictures::isAnimated(name));
    EXPECT_FALSE(Pictures::isAnimated("表示_装置状態_待機中"));
    QImageReader reader(Pictures::pathFor(name));
    EXPECT_EQ(reader.format(), "gif");
    ASSERT_TRUE(reader.supportsAnimation());
    ASSERT_GT(reader.imageCount(), 1);
    EXPECT_EQ(reader.loopCount(), -1);  // loops for ever
    QList<QImage> frames;
    while (reader.canRead() && frames.size() < reader.imageCount()) {
        EXPECT_GT(reader.nextImageDelay(), 0);
        frames << reader.read();
    }
    ASSERT_EQ(frames.size(), reader.imageCount());
    EXPECT_EQ(frames.first().size(), Pictures::entry(name)->size);
    EXPECT_NE(frames[0], frames[1]);  // the frames really move
}

TEST(PictureCatalogue, RejectsBadRows) {
    struct Case {
        const char *row;
        const char *error;  // a fragment of the expected error; nullptr when accepted
    };
    const Case cases[] = {
        {"A\ta.png\t10\t20\tmessage\twarning\tone\\ntwo", nullptr},
        {"A\ta.png\t10\t20\tmessage\twarning", "7 tab-separated columns"},
        {"A\tあ.png\t10\t20\tmessage\t\t", "plain ASCII"},
        {"A\t../a.png\t10\t20\tmessage\t\t", "plain ASCII"},
        {"A\ta.png\t0\t20\tmessage\t\t", "bad size"},
        {"A\ta.png\tx\t20\tmessage\t\t", "bad size"},
        {"A\ta.png\t10\t20\tsticker\t\t", "unknown kind"},
        {"\ta.png\t10\t20\tmessage\t\t", "empty name"},
    };
    for (const Case &c : cases) {
        const auto parsed = cvx::parsePictureCatalogue(QByteArray("# comment\n\n") + c.row + "\n");
        if (!c.error) {
            ASSERT_EQ(parsed.entries.size(), 1) << c.row;
            EXPECT_TRUE(parsed.errors.isEmpty()) << c.row;
            EXPECT_EQ(parsed.entries[0].text, "one\ntwo");
            EXPECT_EQ(parsed.entries[0].size, QSize(10, 20));
            EXPECT_EQ(parsed.entries[0].styleValue("warning"), QString());
        } else {
            EXPECT_TRUE(parsed.entries.isEmpty()) << c.row;
            ASSERT_EQ(parsed.errors.size(), 1) << c.row;
            EXPECT_TRUE(parsed.errors[0].contains(c.error)) << parsed.errors[0].toStdString();
            EXPECT_TRUE(parsed.errors[0].startsWith("line 3:")) << parsed.errors[0].toStdString();
        }
    }
}

TEST(PictureCatalogue, NamesAreKeptComposedAndMustBeUnique) {
    const QByteArray text = "ボタン_OK_\ta.png\t1\t1\tbutton-normal\tround,icon=x\t\n" +
                            nfd("ボタン_OK_").toUtf8() + "\tb.png\t1\t1\tbutton-normal\t\t\n" +
                            "other\ta.png\t1\t1\tbutton-normal\t\t\n";
    const auto parsed = cvx::parsePictureCatalogue(text);
    ASSERT_EQ(parsed.entries.size(), 1);
    EXPECT_EQ(parsed.entries[0].name, "ボタン_OK_");
    EXPECT_EQ(parsed.entries[0].styleValue("icon"), "x");
    EXPECT_TRUE(parsed.entries[0].hasStyle("round"));
    ASSERT_EQ(parsed.errors.size(), 2);
    EXPECT_TRUE(parsed.errors[0].contains("duplicate name"));
    EXPECT_TRUE(parsed.errors[1].contains("duplicate file"));
}
