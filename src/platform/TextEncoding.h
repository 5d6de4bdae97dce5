#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace cvx {

// Conversions between QString and the byte encodings the program reads and writes, through glibc
// iconv. Shift-JIS always means code page 932 ("CP932"): the plain "SHIFT_JIS" table lacks the
// NEC and IBM extensions (circled digits, 髙) that Japanese names and texts use.
//
// Strict functions return std::nullopt when a character cannot be represented (encoding) or a byte
// sequence is invalid (decoding); nothing is dropped silently. The Lossy variants substitute instead.
class TextEncoding {
public:
    enum class ByteOrder { LittleEndian, BigEndian };

    // Gives the bytes to write in place of a character the target encoding lacks; they must already
    // be in the target encoding (ASCII is safe for every encoding used here).
    using Substitute = std::function<QByteArray(char32_t)>;

    TextEncoding() = delete;

    // UTF-8. Decoding drops a leading byte-order mark (EF BB BF).
    static QByteArray toUtf8(const QString &text);
    static std::optional<QString> fromUtf8(const QByteArray &bytes);
    static QString fromUtf8Lossy(const QByteArray &bytes);  // invalid sequences become U+FFFD
    // Whether fromUtf8 would decode the bytes, without decoding them: no overlong form, no
    // surrogate, nothing above U+10FFFF, no sequence cut short.
    static bool isValidUtf8(QByteArrayView bytes);

    // Shift-JIS (CP932).
    static std::optional<QByteArray> toCp932(const QString &text);
    static QByteArray toCp932Lossy(const QString &text, const QByteArray &substitute = "?");
    // Appends UTF-8 text in code page 932 exactly as encode(QString::fromUtf8(utf8), "CP932",
    // substitute) would give it, without the detour through UTF-16. False when a character
    // lacks and no substitute is given; `out` then holds part of the text.
    static bool appendCp932(QByteArray &out, QByteArrayView utf8, const Substitute &substitute = {});
    // Read through a table made once from the converter, so it reads as the converter does.
    static std::optional<QString> fromCp932(const QByteArray &bytes);
    static QString fromCp932Lossy(const QByteArray &bytes);  // invalid sequences become U+FFFD
    // Whether fromCp932 would decode the bytes, without decoding them.
    static bool isCp932(QByteArrayView bytes);
    // The code page 932 code of a character of the Basic Multilingual Plane: its byte where it
    // has one byte (below 0x100), its lead byte and trail byte (lead << 8 | trail) where it has
    // two; -1 where code page 932 lacks it. Looked up once per character.
    static int cp932Code(char16_t c);

    // UTF-16. Encoding writes the byte-order mark (FF FE little-endian, FE FF big-endian) unless
    // withBom is false. Decoding takes the byte order from a leading mark, which is dropped; without
    // one it uses orderWithoutBom, or, when that is not given, guesses from the zero bytes (text that
    // is mostly ASCII has them in the high half) and falls back to little-endian. An odd byte count
    // or an unpaired surrogate fails.
    static QByteArray toUtf16(const QString &text, ByteOrder order, bool withBom = true);
    static std::optional<QString> fromUtf16(const QByteArray &bytes,
                                            std::optional<ByteOrder> orderWithoutBom = std::nullopt);
    static bool hasUtf16Bom(const QByteArray &bytes);

    // Imported text files (patient lists, the data link's input files), which name no encoding.
    // A byte-order mark decides: UTF-8, UTF-16 little- or big-endian. Without one the text is
    // strict Shift-JIS or strict UTF-8, whichever alone reads it; a zero byte, part of neither
    // text, fails both. Many texts read both ways (伊藤 in UTF-8 is "莨願陸" in Shift-JIS, ﾃｲ in
    // Shift-JIS is "ò" in UTF-8): then each line is weighed once in each reading, word by word,
    // by how its letters fall into runs of one writing system. Kanji with full-width kana is one,
    // half-width katakana another, and Latin, Greek, Cyrillic and hangul each one of their own;
    // a Latin name may be glued to Japanese ("Líviaさん"), but a word that mixes others (half-
    // width kana glued to kanji: "邨占｡｣", or inside a word of ASCII letters: "LﾆｯU"), a small
    // kana after a kana that takes none ("ﾅｨ"), a user-defined character, a letter standing
    // alone that no name is written with, an accent on a letter that does not take it ("ECGֳ"),
    // a half-width pair glued to an abbreviation that reads as no name ("FAXŲ"), or a word out
    // of a name's case is written by no writer. A line that one reading alone makes plausible,
    // or far likelier, tells the file's encoding; where none does, the reading with fewer such
    // words wins, then the one with fewer characters rare in patients' texts (read as UTF-8, a
    // letter that is a half-width pair in Shift-JIS weighs no more than the pair), and
    // UTF-8 on a tie where it gives fewer characters, all kana and kanji. Where Shift-JIS would
    // win a tie or by one rare character at most, both readings are what a writer writes
    // ("TNF α" and "TNF ﾎｱ", µ and "ﾂｵ"): the text is refused (kCannotTell), never read as a
    // guess. The signs of Latin-1 that are "ﾂ" and a half-width kana in Shift-JIS never decide
    // Shift-JIS alone, nor those of Romance writing (ª º ° · ¿ ¡ « ») either reading: the text is
    // weighed again with the Romance ones made spaces; UTF-8 there is taken, Shift-JIS only where
    // the signs make it so too and the rest, without any such sign, tells Shift-JIS by itself
    // outside ASCII, and anything else is refused (kCannotTell). A line is refused, and with it
    // the file, only where the file's reading makes it implausible (mixed where the other fits
    // it) or where the other is far likelier; never for being merely likelier in the other. Then
    // UTF-16 without a mark, in the byte order that reads plausibly, or that alone gives records
    // (commas, tabs, line ends); where neither tells, it is refused. std::nullopt when nothing
    // fits, or when the text holds a NUL; `refusal` then says why, in words for a log. Time is
    // linear in the text.
    static std::optional<QString> fromImportedText(const QByteArray &bytes, QString *refusal = nullptr);
    static const QString kCannotTell;

    // The iconv name for an encoding label as found in XML declarations and elsewhere: every
    // spelling of Shift-JIS ("shift-jis", "Shift_JIS", "sjis", "windows-31j", ...) gives "CP932",
    // "utf8" gives "UTF-8", anything else is returned upper-cased. An empty label means UTF-8.
    static QByteArray iconvName(const QString &label);
    static bool isShiftJisLabel(const QString &label);

    // General conversions by iconv name. Without a substitute, encoding fails on the first character
    // the target lacks; a strict decode fails on the first invalid sequence, a lossy one writes U+FFFD
    // for each invalid byte. std::nullopt also when iconv does not know the name.
    static std::optional<QByteArray> encode(const QString &text, const QByteArray &iconvName,
                                            const Substitute &substitute = {});
    static std::optional<QString> decode(const QByteArray &bytes, const QByteArray &iconvName,
                                         bool lossy = false);
};

}  // namespace cvx
