#include <gtest/gtest.h>

#include "platform/TextEncoding.h"

using cvx::TextEncoding;
using Order = cvx::TextEncoding::ByteOrder;

namespace {

QString u(const char *utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

TEST(TextEncoding, Cp932RoundTripsNamesKanaAndExtensions) {
    struct Case {
        const char *text;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"髙橋 ①", QByteArray("\xFB\xFC\x8B\xB4\x20\x87\x40")},
        {"ｱｲｳﾞｶﾞ", QByteArray("\xB1\xB2\xB3\xDE\xB6\xDE")},
        {"検査結果一覧", QByteArray("\x8C\x9F\x8D\xB8\x8C\x8B\x89\xCA\x88\xEA\x97\x97")},
        {"37.5 ℃,\r\n", QByteArray("37.5 \x81\x8E,\r\n")},
        {"", QByteArray()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<QByteArray> bytes = TextEncoding::toCp932(u(c.text));
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, c.bytes);
        EXPECT_EQ(TextEncoding::fromCp932(c.bytes), u(c.text));
    }
}

TEST(TextEncoding, Cp932StrictFailsWhereLossySubstitutes) {
    const QString text = u("佐藤😀花子\u00E9");
    EXPECT_FALSE(TextEncoding::toCp932(text).has_value());
    EXPECT_EQ(TextEncoding::toCp932Lossy(text), QByteArray("\x8D\xB2\x93\xA1?\x89\xD4\x8E\x71?"));
    EXPECT_EQ(TextEncoding::toCp932Lossy(text, "[]"), QByteArray("\x8D\xB2\x93\xA1[]\x89\xD4\x8E\x71[]"));

    // 0x85 0x40 is an unassigned code; a lead byte alone at the end is truncated.
    for (const QByteArray &bad : {QByteArray("a\x85\x40z"), QByteArray("ab\x82")}) {
        EXPECT_FALSE(TextEncoding::fromCp932(bad).has_value());
        EXPECT_TRUE(TextEncoding::fromCp932Lossy(bad).contains(QChar(0xFFFD)));
    }
    EXPECT_EQ(TextEncoding::fromCp932Lossy("a\x85\x40z").front(), QLatin1Char('a'));
    EXPECT_EQ(TextEncoding::fromCp932Lossy("a\x85\x40z").back(), QLatin1Char('z'));
}

// The UTF-8 path gives the bytes of the QString path, whatever the text holds.
TEST(TextEncoding, Cp932FromUtf8MatchesTheTextPath) {
    const QByteArray texts[] = {
        "",
        "plain ASCII, long enough to be read eight bytes at a time",
        "佐藤 ｱｲ ① 髙 ～ ¥ ‾",
        "x😀y\xC3\xA9z",
        "cut \xE3\x81",
        "bad \xFF\xC0\x80 end",
        "\xED\xA0\x80 surrogate",
        QByteArray(70, 'a') + "😀😀😀",
        // Runs of ASCII ending inside and at the edges of the blocks they are copied in.
        QByteArray(37, 'b') + "あ" + QByteArray(17, 'c') + "é😀" + QByteArray(40, 'd') + "ü" +
            QByteArray(9, 'e') + "😀" + QByteArray(16, 'f'),
    };
    const TextEncoding::Substitute wide = [](char32_t) { return QByteArray("[sub]"); };
    for (const QByteArray &utf8 : texts) {
        SCOPED_TRACE(utf8.toStdString());
        const QString text = QString::fromUtf8(utf8);
        const std::optional<QByteArray> strict = TextEncoding::toCp932(text);
        QByteArray out = "pre";
        EXPECT_EQ(TextEncoding::appendCp932(out, utf8), strict.has_value());
        if (strict) {
            EXPECT_EQ(out, "pre" + *strict);
        }
        out = "pre";
        EXPECT_TRUE(TextEncoding::appendCp932(out, utf8, wide));
        EXPECT_EQ(out, "pre" + *TextEncoding::encode(text, "CP932", wide));
    }
}

TEST(TextEncoding, Utf16WritesAndReadsBothByteOrders) {
    const QString text = u("Aあ😀");
    const QByteArray le = TextEncoding::toUtf16(text, Order::LittleEndian);
    const QByteArray be = TextEncoding::toUtf16(text, Order::BigEndian);
    EXPECT_EQ(le, QByteArray("\xFF\xFE\x41\x00\x42\x30\x3D\xD8\x00\xDE", 10));
    EXPECT_EQ(be, QByteArray("\xFE\xFF\x00\x41\x30\x42\xD8\x3D\xDE\x00", 10));
    EXPECT_EQ(TextEncoding::toUtf16(text, Order::LittleEndian, false), le.mid(2));

    EXPECT_EQ(TextEncoding::fromUtf16(le), text);
    EXPECT_EQ(TextEncoding::fromUtf16(be), text);
    // The mark decides over the caller's guess, and is not part of the text.
    EXPECT_EQ(TextEncoding::fromUtf16(be, Order::LittleEndian), text);
    EXPECT_EQ(TextEncoding::fromUtf16(be.mid(2), Order::BigEndian), text);
    // Without a mark, mostly-ASCII text shows its order by where the zero bytes are.
    EXPECT_EQ(TextEncoding::fromUtf16(TextEncoding::toUtf16(u("1234,山田"), Order::BigEndian, false)),
              u("1234,山田"));
    EXPECT_EQ(TextEncoding::fromUtf16(TextEncoding::toUtf16(u("1234,山田"), Order::LittleEndian, false)),
              u("1234,山田"));

    EXPECT_FALSE(TextEncoding::fromUtf16(QByteArray("\xFF\xFE\x41", 3)).has_value());  // odd length
    EXPECT_FALSE(
        TextEncoding::fromUtf16(QByteArray("\xFF\xFE\x3D\xD8\x41\x00", 6)).has_value());   // lone high
    EXPECT_FALSE(TextEncoding::fromUtf16(QByteArray("\xFF\xFE\x00\xDE", 4)).has_value());  // lone low
}

TEST(TextEncoding, ImportedTextTakesTheMarkThenTheLikelierOfShiftJisAndUtf8ThenUtf16) {
    const QString name = u("1001,髙橋,ｱｷﾗ");
    struct Case {
        const char *label;
        QByteArray bytes;
        std::optional<QString> expected;
        const char *refusal = "";
    };
    const Case cases[] = {
        {"Shift-JIS", *TextEncoding::toCp932(name), name},
        {"UTF-8 that is no Shift-JIS", QByteArray("\xC4\x81,"), u("ā,")},
        {"UTF-16LE with mark", TextEncoding::toUtf16(name, Order::LittleEndian), name},
        {"UTF-16BE with mark", TextEncoding::toUtf16(name, Order::BigEndian), name},
        // Zero bytes are valid CP932 but never occur in a Shift-JIS text file.
        {"UTF-16LE without mark", TextEncoding::toUtf16(name, Order::LittleEndian, false), name},
        {"neither (odd length, not CP932)", QByteArray("\x85\x40\x41"), std::nullopt,
         "neither Shift-JIS nor UTF-8 nor UTF-16 text"},
        // Even, and no UTF-16 for it: one line of CJK, had it been read so.
        {"Shift-JIS and UTF-8 lines", "1,\x8D\xB2\x93\xA1\n12," + u("花子").toUtf8(), std::nullopt,
         "Shift-JIS and UTF-8 lines mixed"},
        {"empty", QByteArray(), QString()},
        {"NUL in marked UTF-8", QByteArray::fromHex("efbbbf610062"), std::nullopt,
         "a NUL character in the text"},
        {"NUL in UTF-16", QByteArray::fromHex("fffe610000006200"), std::nullopt,
         "a NUL character in the text"},
        // One line in the other encoding whose bytes this file's encoding reads too: the line
        // reads as no writer writes ("邨占｡｣", "ò"), or less likely than in its own encoding.
        {"Shift-JIS lines and a UTF-8 line that reads as Shift-JIS",
         *TextEncoding::toCp932(u("S1,佐藤,花子\r\nS2,ﾃｲ,ﾐｵ\r\n")) + u("V1,伊藤,結衣\r\n").toUtf8(),
         std::nullopt, "Shift-JIS and UTF-8 lines mixed"},
        {"Shift-JIS lines and a UTF-8 line of common kanji",
         *TextEncoding::toCp932(u("S1,佐藤,花子\r\n")) + u("V1,伊藤\r\n").toUtf8(), std::nullopt,
         "Shift-JIS and UTF-8 lines mixed"},
        {"UTF-8 lines and a Shift-JIS line that reads as UTF-8",
         u("U1,伊藤,結衣\r\n").toUtf8() + *TextEncoding::toCp932(u("T1,ﾃｲ,ﾐｵ\r\n")), std::nullopt,
         "Shift-JIS and UTF-8 lines mixed"},
        {"a line that no reading fits", u("1,伊藤\n2,田ô").toUtf8(), std::nullopt,
         "line 2 fits neither Shift-JIS nor UTF-8"},
        // A line plausible in the file's encoding is taken however likely the other reads it.
        {"UTF-8 capitals, one line Shift-JIS too", u("V1,NGUYỄN,VĂN AN\r\nV6,VŨ,ANH\r\n").toUtf8(),
         u("V1,NGUYỄN,VĂN AN\r\nV6,VŨ,ANH\r\n")},
        {"macron capitals", u("M1,MORI,YŪKI\r\nM2,OGAWA,RYŪ").toUtf8(), u("M1,MORI,YŪKI\r\nM2,OGAWA,RYŪ")},
        {"a Shift-JIS note that reads as a Latin word",
         *TextEncoding::toCp932(u("J1,山田,太郎\nN1,Sato,Mrﾃｲ")), u("J1,山田,太郎\nN1,Sato,Mrﾃｲ")},
        // Nothing tells: two half-width kana or one sign, a Greek letter standing as a word of a
        // note, however many, and words that tell nothing together.
        {"a sign alone", u("N1,Sato,Ken,,,µ").toUtf8(), std::nullopt,
         "Shift-JIS or UTF-8, which the text cannot tell"},
        {"Greek letters as words", u("N1,Sato,Ken,,,TNF α\nN2,Ito,Yui,,,IL-1 β\nN3,Abe,Emi,,,α").toUtf8(),
         std::nullopt, "Shift-JIS or UTF-8, which the text cannot tell"},
        {"a name and a sign", u("N1,SMRŽ,JAN,,,µ").toUtf8(), std::nullopt,
         "Shift-JIS or UTF-8, which the text cannot tell"},
        // A half-width pair glued to a word is one accented letter at the edge of a name.
        {"notes of a half-width pair", *TextEncoding::toCp932(u("N1,Sato,,,,Inlayﾃｲ\nN2,Ito,,,,Noﾅｼ 080")),
         std::nullopt, "Shift-JIS or UTF-8, which the text cannot tell"},
        {"names of an accent at their edge", u("N1,Tichý,,,,IFN γ\nN2,Niccolò").toUtf8(), std::nullopt,
         "Shift-JIS or UTF-8, which the text cannot tell"},
        // Romance signs where writers put them tell nothing, as the half-width pairs they are ("2ﾂｺ",
        // "ﾂｫ"); elsewhere they are those pairs of a note.
        {"Romance signs",
         u("P1,Silva,Joao,,,2º molar\nP2,Rossi,Luca,,,«ha paura» · n° 36\nP3,Pastor,,,,CONSULTA 1ª VEZ\n"
           "P4,Aguilar,,,,nº historia 73 - temp. 37,5 ºC\nP5,Coelho,,,,Exmª Srª\nP6,Picard,,,,« provisoire »")
             .toUtf8(),
         std::nullopt, "Shift-JIS or UTF-8, which the text cannot tell"},
        {"Romance signs and names",
         u("P1,Silva,Inês,,,6ª feira\nP2,Ruíz,Mª José,,,«a» · nº 3 ¿Sí?\nP3,Araújo,,,,2.º pré-molar")
             .toUtf8(),
         u("P1,Silva,Inês,,,6ª feira\nP2,Ruíz,Mª José,,,«a» · nº 3 ¿Sí?\nP3,Araújo,,,,2.º pré-molar")},
        {"notes of half-width pairs",
         *TextEncoding::toCp932(u("S1,Sato,,,,XPﾂｷ 2ﾂｺ\nS2,Ito,,,,INLﾂｪ No.3ﾂｪ\nS3,Ueda,,,,TEL 1ﾂｪ OK Drﾂｺ")),
         std::nullopt, "Shift-JIS or UTF-8, which the text cannot tell"},
        {"a pair and a sound mark, a kana word (都合) that tells",
         *TextEncoding::toCp932(u("S1,Ota,Miki,,,ﾂｺﾞｳ 7/5\nS2,Ito,,,,TEL 1ﾂｷ")),
         u("S1,Ota,Miki,,,ﾂｺﾞｳ 7/5\nS2,Ito,,,,TEL 1ﾂｷ")},
        {"UTF-8 damaged after a sign, where Shift-JIS reads a kana word",
         u("1,Mas,Concepció,,,\n2,Serra,,,,neteja ·").toUtf8() + "\xDE\xB9", std::nullopt,
         "Shift-JIS or UTF-8, which the text cannot tell"},
        // The signs never decide: a name tells UTF-8 wherever they stand, and what the signs alone
        // would make UTF-8, or Shift-JIS against names, cannot be told.
        {"a sign where notes put one, beside a name",
         u("3545,Rodríguez,Ana,,M,RX 2º\n1,Silva,Inês,,,RX 2º").toUtf8(),
         u("3545,Rodríguez,Ana,,M,RX 2º\n1,Silva,Inês,,,RX 2º")},
        {"UTF-8 alone, a sign where notes put one", u("1,Sala,,,,COL·LOCACIÓ\n2,Comas,,,,1ª").toUtf8(),
         u("1,Sala,,,,COL·LOCACIÓ\n2,Comas,,,,1ª")},
        {"a half-width name whose pair only a sign's pair tells", *TextEncoding::toCp932(u("0001,ﾂｶ,ﾂｰ")),
         std::nullopt, "Shift-JIS or UTF-8, which the text cannot tell"},
        {"signs of Latin-1 beside Mª and names in ASCII", u("1,ORTIZ,Mª ANTONIA,,,Sintrom ½ + ¼").toUtf8(),
         std::nullopt, "Shift-JIS or UTF-8, which the text cannot tell"},
        {"half-width pairs of degrees", *TextEncoding::toCp932(u("S1,Sato,,,,5ﾂｰC.5ﾂｺC")), std::nullopt,
         "Shift-JIS or UTF-8, which the text cannot tell"},
        {"a sign where notes put one, beside names of an accent at their edge",
         u("1682,Mussò,Nicolò,,M,(2ª)").toUtf8(), std::nullopt,
         "Shift-JIS or UTF-8, which the text cannot tell"},
        // A kanji of the NEC rows before another, which UTF-8 reads as hangul before "{".
        {"Shift-JIS 﨑本", "1,\xED\x95\x96\x7B Sato,Ken", u("1,﨑本 Sato,Ken")},
        // Without a mark and without ASCII, UTF-16 shows its byte order by the reading that is
        // plausible; where both are, it cannot be told.
        {"UTF-16LE without mark or ASCII", TextEncoding::toUtf16(u("田中一郎"), Order::LittleEndian, false),
         u("田中一郎")},
        {"UTF-16BE without mark or ASCII", TextEncoding::toUtf16(u("田中一郎"), Order::BigEndian, false),
         u("田中一郎")},
        {"UTF-16 of either byte order", TextEncoding::toUtf16(u("一丁"), Order::LittleEndian, false),
         std::nullopt, "UTF-16 without a byte-order mark whose byte order cannot be told"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        QString refusal;
        const std::optional<QString> text = TextEncoding::fromImportedText(c.bytes, &refusal);
        ASSERT_EQ(text.has_value(), c.expected.has_value());
        EXPECT_EQ(refusal, u(c.refusal));
        if (text) {
            EXPECT_EQ(*text, *c.expected);
        }
    }
    // Bytes that read both ways: words of one writing system each win over garble, whose words
    // glue half-width kana to kanji ("襍ｵ", "ﾐ嶢ｵ") or to abbreviations ("FAXŲ", "ECGֳ"), and rare
    // characters lose; UTF-8 wins a tie where it gives fewer characters, all kana and kanji.
    const std::pair<const char *, bool> bothWays[] = {{"伊藤 結衣", true},     {"みなみ", true},
                                                      {"マリー", true},        {"髙田 健太", true},
                                                      {"José", true},          {"茉莉,Sato", true},
                                                      {"翔琉", true},          {"Łukasz,Małgorzata", true},
                                                      {"Đức,Vũ", true},        {"莉子", false},
                                                      {"ﾏｷ ﾕｲ", false},        {"ﾃｲ,ﾐｵ", false},
                                                      {"ﾆｼ ﾃｲ", false},        {"ﾃｲ,Sato", false},
                                                      {"ﾂｶ,ﾕｲ", false},        {"TELﾅｼ", false},
                                                      {"OKﾃｲ", false},         {"ﾅｽCT", false},
                                                      {"ŻANETA,Ewa", true},    {"赵,丽", true},
                                                      {"杨,丽", true},         {"吴,艳", true},
                                                      {"马,红", true},         {"황,태윤", true},
                                                      {"Лебедев,Иван", true},  {"Ким,Олег", true},
                                                      {"Μαρκάκη,Μαρία", true}, {"ﾒｲ,ﾓｴ", false},
                                                      {"ﾔｽ,ﾘｴ", false},        {"ﾛｸﾛｳ,,Faxﾌｨﾌｨ", false},
                                                      {"ﾄｼ,,Telﾄｾ", false},    {"VŨ,ANH", true},
                                                      {"GUDAITIS,ŽANA", true}, {"ƯNG,LƯU", true},
                                                      {"Líviaさん", true},     {"Jürgen先生", true},
                                                      {"José・Ana", true},     {"Sato,🌸", true},
                                                      {"β-blocker", true},     {"B12 500µg", true},
                                                      {"Sato,,Mrﾃｲ", false},   {"FAXﾅｲ", false},
                                                      {"ﾅｲCT", false},         {"TELﾅｲ 080", false},
                                                      {"PCﾖｸ", false},         {"ECGﾖｳ", false},
                                                      {"TBIﾌｶ", false},        {"Drﾖｸ", false},
                                                      {"Noﾅｵ", false},         {"Nsﾅｼ", false},
                                                      {"Rxﾃｲ", false},         {"Tichý,Grażyna,IFN γ", true},
                                                      {"Grażyna,,λ 0.8", true}};
    for (const auto &[name, utf8] : bothWays) {
        const QString line = u("0001,%1,1980/01/01,1\r\n").arg(u(name));
        const QByteArray bytes = utf8 ? line.toUtf8() : *TextEncoding::toCp932(line);
        ASSERT_TRUE(TextEncoding::fromCp932(bytes) && TextEncoding::isValidUtf8(bytes)) << name;
        EXPECT_EQ(TextEncoding::fromImportedText(bytes), line) << name;
    }
    // A Japanese patient beside a Cyrillic one: each line in the writing system it is written in.
    const QString scripts = u("0001,小野寺,颯太\r\n0002,Ким,Олег\r\n");
    ASSERT_TRUE(TextEncoding::fromCp932(scripts.toUtf8()));
    EXPECT_EQ(TextEncoding::fromImportedText(scripts.toUtf8()), scripts);
    // A line of many lone letters (one a word, once compared with every other of its line).
    const QString letters = u("X1,Sato,Ken,1990/01/02,M,") + u("ﾃｲ ").repeated(80000);
    EXPECT_EQ(TextEncoding::fromImportedText(*TextEncoding::toCp932(letters)), letters);
}

// The table that reads code page 932 reads every byte and pair as the converter does.
TEST(TextEncoding, Cp932TableReadsAsTheConverter) {
    for (int lead = 0; lead < 256; ++lead)
        for (int trail = lead < 0x80 ? 255 : 0; trail < 256; ++trail) {
            const QByteArray bytes = QByteArray(1, char(lead)) + char(trail);
            EXPECT_EQ(TextEncoding::fromCp932(bytes), TextEncoding::decode(bytes, "CP932"))
                << bytes.toHex().constData();
        }
    for (const QByteArray &bytes :
         {QByteArray("\x82"), QByteArray("abc\x82"), QByteArray(), QByteArray("\x5C\x7E")})
        EXPECT_EQ(TextEncoding::fromCp932(bytes), TextEncoding::decode(bytes, "CP932"))
            << bytes.toHex().constData();
}

TEST(TextEncoding, Utf8StrictRejectsInvalidBytesAndDropsMark) {
    EXPECT_EQ(TextEncoding::fromUtf8("\xEF\xBB\xBF\xE6\xAD\xAF"), u("歯"));
    EXPECT_FALSE(TextEncoding::fromUtf8("a\xFF").has_value());
    EXPECT_FALSE(TextEncoding::fromUtf8("\xC0\xAF").has_value());  // overlong "/"
    EXPECT_EQ(TextEncoding::fromUtf8Lossy("a\xFF"), u("a\uFFFD"));
    EXPECT_EQ(TextEncoding::toUtf8(u("歯")), QByteArray("\xE6\xAD\xAF"));
    // The check without decoding agrees with the decoder, also where a fast ASCII run ends.
    for (const QByteArray &bytes :
         {QByteArray("plain ASCII text longer than eight bytes"), QByteArray("\xEF\xBB\xBF\xE6\xAD\xAF"),
          QByteArray("12345678\xE6\xAD\xAF"), QByteArray("a\xFF"), QByteArray("\xC0\xAF"),
          QByteArray("\xE0\x9F\xBF"), QByteArray("\xED\xA0\x80"), QByteArray("\xF0\x9F\x98\x80"),
          QByteArray("\xF4\x90\x80\x80"), QByteArray("\xF0\x8F\xBF\xBF"), QByteArray("abcdefgh\x80"),
          QByteArray("\xE6\x41\xAF"), QByteArray()})
        EXPECT_EQ(TextEncoding::isValidUtf8(bytes), TextEncoding::fromUtf8(bytes).has_value())
            << bytes.toHex().constData();
    // A sequence cut short at the very end, which the decoder lets pass, is no valid text either.
    EXPECT_FALSE(TextEncoding::isValidUtf8("1234567\xE6\xAD"));
}

TEST(TextEncoding, LabelsMapToIconvNames) {
    const std::pair<const char *, const char *> cases[] = {
        {"shift-jis", "CP932"}, {"Shift_JIS", "CP932"}, {" SJIS ", "CP932"}, {"Windows-31J", "CP932"},
        {"utf-8", "UTF-8"},     {"UTF8", "UTF-8"},      {"", "UTF-8"},       {"euc-jp", "EUC-JP"},
    };
    for (const auto &[label, name] : cases)
        EXPECT_EQ(TextEncoding::iconvName(QString::fromUtf8(label)), name) << label;
    EXPECT_FALSE(TextEncoding::encode(u("a"), "NO-SUCH-ENCODING").has_value());
    EXPECT_EQ(TextEncoding::decode("\xA4\xA2", "EUC-JP"), u("あ"));
}
