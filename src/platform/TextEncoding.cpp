#include "platform/TextEncoding.h"

#include <QList>
#include <QStringDecoder>
#include <QStringList>
#include <QtEndian>

#include <iconv.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iterator>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cvx {

namespace {

// The end of the run of ASCII bytes from `p`: the bulk of a patient file, so it is stepped
// over 32 and then eight bytes at a time.
const unsigned char *pastAscii(const unsigned char *p, const unsigned char *end) {
    while (end - p >= 32) {
        quint64 w[4];
        std::memcpy(w, p, 32);
        if ((w[0] | w[1] | w[2] | w[3]) & 0x8080808080808080ULL) break;
        p += 32;
    }
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL) break;
        p += 8;
    }
    while (p < end && *p < 0x80) ++p;
    return p;
}

// Copies the run of ASCII bytes from `p` to `to` and returns the run's end. `to` has room for
// every byte up to `end`: whole blocks are stored before they are looked at.
const unsigned char *copyAscii(const unsigned char *p, const unsigned char *end, char *&to) {
#if defined(__SSE2__)
    while (end - p >= 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to), block);
        if (const int high = _mm_movemask_epi8(block)) {
            const int run = __builtin_ctz(unsigned(high));
            to += run;
            return p + run;
        }
        p += 16, to += 16;
    }
#endif
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        std::memcpy(to, &word, 8);
        if (word & 0x8080808080808080ULL) break;
        p += 8, to += 8;
    }
    while (p < end && *p < 0x80) *to++ = char(*p++);
    return p;
}

constexpr const char *kCp932 = "CP932";
constexpr const char *kUtf8 = "UTF-8";
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr const char *kHostUtf32 = "UTF-32LE";
#else
constexpr const char *kHostUtf32 = "UTF-32BE";
#endif
const QByteArray kReplacementUtf8 = QByteArrayLiteral("\xEF\xBF\xBD");

// What to do with an input sequence iconv rejects: skip that many input bytes and write the given
// bytes instead, or (std::nullopt) give up.
struct Skip {
    size_t inputBytes;
    QByteArray output;
};
using OnInvalid = std::function<std::optional<Skip>(size_t offset, size_t remaining)>;

class IconvHandle {
public:
    IconvHandle(const char *to, const char *from) : cd_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (isOpen()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle &) = delete;
    IconvHandle &operator=(const IconvHandle &) = delete;
    bool isOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

std::optional<QByteArray> convert(const char *data, size_t size, const char *from, const char *to,
                                  const OnInvalid &onInvalid) {
    IconvHandle cd(to, from);
    if (!cd.isOpen()) return std::nullopt;

    QByteArray out;
    out.resize(qsizetype(size * 2 + 32));
    size_t used = 0;
    auto grow = [&](size_t atLeast) {
        out.resize(qsizetype(std::max(size_t(out.size()) * 2, atLeast) + 32));
    };
    char *in = const_cast<char *>(data);
    size_t inLeft = size;
    while (inLeft > 0) {
        char *outPtr = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        const size_t r = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        used = size_t(outPtr - out.data());
        if (r != size_t(-1)) continue;
        if (errno == E2BIG) {
            grow(0);
            continue;
        }
        if ((errno != EILSEQ && errno != EINVAL) || !onInvalid) return std::nullopt;
        std::optional<Skip> skip = onInvalid(size_t(in - data), inLeft);
        if (!skip || skip->inputBytes == 0 || skip->inputBytes > inLeft) return std::nullopt;
        in += skip->inputBytes;
        inLeft -= skip->inputBytes;
        const size_t need = used + size_t(skip->output.size());
        if (need > size_t(out.size())) grow(need);
        memcpy(out.data() + used, skip->output.constData(), size_t(skip->output.size()));
        used = need;
    }
    // A null input writes whatever shift sequence a stateful encoding still owes.
    for (;;) {
        char *outPtr = out.data() + used;
        size_t outLeft = size_t(out.size()) - used;
        if (iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft) != size_t(-1)) {
            used = size_t(outPtr - out.data());
            break;
        }
        if (errno != E2BIG) return std::nullopt;
        grow(0);
    }
    out.resize(qsizetype(used));
    return out;
}

std::optional<QByteArray> encodeCodePoints(const QString &text, const char *to,
                                           const TextEncoding::Substitute &sub) {
    const QList<uint> ucs4 = text.toUcs4();
    const char *data = reinterpret_cast<const char *>(ucs4.constData());
    OnInvalid onInvalid;
    if (sub) {
        onInvalid = [&](size_t offset, size_t) -> std::optional<Skip> {
            return Skip{4, sub(char32_t(ucs4[qsizetype(offset / 4)]))};
        };
    }
    return convert(data, size_t(ucs4.size()) * 4, kHostUtf32, to, onInvalid);
}

std::optional<QString> decodeToString(const QByteArray &bytes, const char *from, bool lossy) {
    OnInvalid onInvalid;
    if (lossy) {
        onInvalid = [](size_t, size_t) -> std::optional<Skip> { return Skip{1, kReplacementUtf8}; };
    }
    std::optional<QByteArray> utf8 = convert(bytes.constData(), size_t(bytes.size()), from, kUtf8, onInvalid);
    if (!utf8) return std::nullopt;
    return QString::fromUtf8(*utf8);
}

}  // namespace

QByteArray TextEncoding::toUtf8(const QString &text) {
    return text.toUtf8();
}

std::optional<QString> TextEncoding::fromUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

bool TextEncoding::isValidUtf8(QByteArrayView bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        if (*p < 0x80) {
            p = pastAscii(p, end);
            continue;
        }
        const unsigned char c = *p;
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return false;
        }
        if (end - p < length || p[1] < low || p[1] > high) return false;
        for (int i = 2; i < length; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        p += length;
    }
    return true;
}

QString TextEncoding::fromUtf8Lossy(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    return decoder.decode(bytes);
}

std::optional<QByteArray> TextEncoding::toCp932(const QString &text) {
    return encode(text, kCp932);
}

QByteArray TextEncoding::toCp932Lossy(const QString &text, const QByteArray &substitute) {
    return encode(text, kCp932, [&](char32_t) { return substitute; }).value_or(QByteArray());
}

std::optional<QString> TextEncoding::fromCp932(const QByteArray &bytes) {
    return decode(bytes, kCp932);
}

QString TextEncoding::fromCp932Lossy(const QByteArray &bytes) {
    return decodeToString(bytes, kCp932, true).value_or(QString());
}

QByteArray TextEncoding::toUtf16(const QString &text, ByteOrder order, bool withBom) {
    QByteArray out;
    out.reserve((text.size() + 1) * 2);
    auto put = [&](char16_t unit) {
        char pair[2];
        if (order == ByteOrder::LittleEndian)
            qToLittleEndian<char16_t>(unit, pair);
        else
            qToBigEndian<char16_t>(unit, pair);
        out.append(pair, 2);
    };
    if (withBom) put(0xFEFF);
    for (QChar c : text) put(c.unicode());
    return out;
}

bool TextEncoding::hasUtf16Bom(const QByteArray &bytes) {
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

std::optional<QString> TextEncoding::fromUtf16(const QByteArray &bytes,
                                               std::optional<ByteOrder> orderWithoutBom) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    qsizetype start = 0;
    ByteOrder order = ByteOrder::LittleEndian;
    if (bytes.startsWith("\xFF\xFE")) {
        start = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        start = 2;
        order = ByteOrder::BigEndian;
    } else if (orderWithoutBom) {
        order = *orderWithoutBom;
    } else {
        qsizetype zerosEven = 0, zerosOdd = 0;
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\0') ++(i % 2 == 0 ? zerosEven : zerosOdd);
        }
        if (zerosEven > zerosOdd) order = ByteOrder::BigEndian;
    }

    QString text;
    text.reserve((bytes.size() - start) / 2);
    const char *p = bytes.constData();
    for (qsizetype i = start; i < bytes.size(); i += 2) {
        text.append(QChar(order == ByteOrder::LittleEndian ? qFromLittleEndian<char16_t>(p + i)
                                                           : qFromBigEndian<char16_t>(p + i)));
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
        } else if (text[i].isSurrogate()) {
            return std::nullopt;
        }
    }
    return text;
}

bool TextEncoding::isShiftJisLabel(const QString &label) {
    static const QStringList names = {
        QStringLiteral("shift-jis"),  QStringLiteral("shift_jis"),  QStringLiteral("shiftjis"),
        QStringLiteral("sjis"),       QStringLiteral("x-sjis"),     QStringLiteral("s-jis"),
        QStringLiteral("cp932"),      QStringLiteral("ms932"),      QStringLiteral("windows-31j"),
        QStringLiteral("ms_kanji"),   QStringLiteral("csshiftjis"), QStringLiteral("cswindows31j"),
        QStringLiteral("x-ms-cp932"), QStringLiteral("windows-932")};
    return names.contains(label.trimmed().toLower());
}

QByteArray TextEncoding::iconvName(const QString &label) {
    const QString trimmed = label.trimmed();
    if (trimmed.isEmpty()) return kUtf8;
    if (isShiftJisLabel(trimmed)) return kCp932;
    const QString lower = trimmed.toLower();
    if (lower == QLatin1String("utf-8") || lower == QLatin1String("utf8")) return kUtf8;
    return trimmed.toUpper().toLatin1();
}

namespace {

// Code page 932 bytes of each character of the Basic Multilingual Plane, looked up once: the
// converter is slow per call and per character, and a bulk writer encodes the same few
// thousand characters over and over. 0 not looked up yet, 1 not in code page 932, else the
// byte count in bits 16.. and the bytes below.
std::atomic<quint32> cp932Table[0x10000];

quint32 cp932Entry(char16_t c) {
    quint32 entry = cp932Table[c].load(std::memory_order_relaxed);
    if (entry != 0) return entry;
    const char32_t code = c;
    const std::optional<QByteArray> bytes =
        convert(reinterpret_cast<const char *>(&code), 4, kHostUtf32, kCp932, OnInvalid());
    if (!bytes || bytes->isEmpty() || bytes->size() > 2) {
        entry = 1;
    } else {
        entry = quint32(bytes->size()) << 16;
        for (qsizetype i = 0; i < bytes->size(); ++i) entry |= quint32(quint8(bytes->at(i))) << (8 * i);
    }
    cp932Table[c].store(entry, std::memory_order_relaxed);
    return entry;
}

// The two readings of bytes that are both strict Shift-JIS and strict UTF-8.
enum class Reading { ShiftJis, Utf8 };

// Bytes below 0x40 (controls, space, digits, punctuation) are never part of a multi-byte
// character in either encoding, so both readings split into the same words at them.
bool isSeparator(char16_t c) {
    return c < 0x40;
}
bool isAsciiLetter(char16_t c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// The letters of the Latin alphabets names are written in: Latin-1, Latin Extended-A less the
// letters of Esperanto, Maltese, Welsh and Sami and the ij and l-dot ligatures, the
// Vietnamese horned o and u, the pinyin tone letters, the Romanian comma letters and Latin
// Extended Additional; and the accents that decomposed text writes after such a letter.
bool isNameLetter(char16_t c) {
    if (c >= 0xC0 && c <= 0xFF) return c != 0xD7 && c != 0xF7;
    if (c >= 0x100 && c <= 0x17F) {
        static constexpr char16_t rare[] = {
            0x108, 0x109, 0x10A, 0x10B, 0x114, 0x115, 0x11C, 0x11D, 0x120, 0x121, 0x124, 0x125, 0x126, 0x127,
            0x12C, 0x12D, 0x132, 0x133, 0x134, 0x135, 0x138, 0x13F, 0x140, 0x149, 0x14A, 0x14B, 0x14E, 0x14F,
            0x156, 0x157, 0x15C, 0x15D, 0x166, 0x167, 0x16C, 0x16D, 0x174, 0x175, 0x176, 0x177, 0x17F};
        return std::find(std::begin(rare), std::end(rare), c) == std::end(rare);
    }
    return c == 0x1A0 || c == 0x1A1 || c == 0x1AF || c == 0x1B0 || (c >= 0x1CD && c <= 0x1DC) ||
           (c >= 0x218 && c <= 0x21B) || (c >= 0x1E00 && c <= 0x1EFF);
}
bool isNameAccent(char16_t c) {
    return (c >= 0x300 && c <= 0x30C) || c == 0x31B || c == 0x323 || (c >= 0x326 && c <= 0x328);
}

// Whether a word reads as a Latin name: ASCII letters and name letters, at least one of them
// ASCII, an accent only after a letter, and its letters in a name's case: no lower-case letter
// before an upper-case one but after a leading capital (McDonald), no two capitals before a
// lower-case letter, and a word of capitals alone with a capital that is two half-width kana
// in Shift-JIS (Ž, Ų, Ÿ: C4, C5 or C6 before A1..BF in UTF-8) has four ASCII letters at least.
// Shift-JIS half-width kana read as UTF-8 give letters standing alone ("ﾃｲ" is "ò"), beside
// letters of other alphabets, or glued out of case to the abbreviations of notes ("TELﾅｼ" is
// "TELż", "OKﾃｲ" is "OKò").
bool isLatinName(const char16_t *word, qsizetype size) {
    int ascii = 0;
    bool lower = false, kanaCapital = false, leadingCapital = false;
    char16_t previous = 0, beforePrevious = 0;
    for (const char16_t *p = word; p < word + size; ++p) {
        if (isNameAccent(*p)) {
            if (previous == 0) return false;
            continue;
        }
        if (isAsciiLetter(*p))
            ++ascii;
        else if (!isNameLetter(*p))
            return false;
        // ß has no upper case of its own: "STRAßE".
        const bool isLower = QChar::isLower(*p) && *p != 0xDF, isUpper = QChar::isUpper(*p);
        const bool afterLower = previous && QChar::isLower(previous) && previous != 0xDF;
        if (previous == 0) leadingCapital = isUpper;
        if (isUpper && afterLower && (!leadingCapital || previous >= 0x80 || *p >= 0x80)) return false;
        if (isLower && QChar::isUpper(previous) && QChar::isUpper(beforePrevious)) return false;
        lower = lower || isLower;
        kanaCapital = kanaCapital || (isUpper && *p >= 0x121 && *p <= 0x1BF && (*p & 0x3F) >= 0x21);
        beforePrevious = previous;
        previous = *p;
    }
    return ascii > 0 && (lower || !kanaCapital || ascii >= 4);
}

bool isKanaOrKanji(char16_t c) {
    return (c >= 0x3041 && c <= 0x30FF) || c == 0x3005 || (c >= 0x3400 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || QChar::isSurrogate(c);
}

// How unlike a patient's text a character outside ASCII is, in halves of a rare one. Free: of
// code page 932, the symbol rows (lead bytes 0x81 and 0x82: punctuation, full-width
// letters and digits, hiragana), the katakana (0x8340..0x8396) and the first-level kanji
// (0x889F..0x9872). Half: a half-width katakana. Read as Shift-JIS, everything else is whole:
// second-level and extension kanji, Greek, Cyrillic, box drawing, the NEC specials, which is
// what UTF-8 bytes read as Shift-JIS turn into. Read as UTF-8, kanji outside the first level
// (names use many) and those beyond the Basic Multilingual Plane (𠮷) are half; a sign or
// letter of the Latin, Greek and other alphabets outside a Latin name, and all that code page
// 932 lacks, count double: Shift-JIS bytes read as UTF-8 mostly turn into those.
int rareHalves(const char16_t *p, const char16_t *end, Reading reading) {
    const char16_t c = *p;
    if (reading == Reading::Utf8) {
        if (c < 0x370 || (c >= 0x1E00 && c <= 0x1EFF)) return 4;
        if (QChar::isLowSurrogate(c)) return 0;  // its high surrogate counts for the pair
        if (QChar::isHighSurrogate(c)) {
            const char32_t code = p + 1 < end ? QChar::surrogateToUcs4(c, p[1]) : 0;
            return code >= 0x20000 && code <= 0x3FFFF ? 1 : 4;
        }
    }
    if (QChar::isSurrogate(c)) return 2;
    const quint32 entry = cp932Entry(c);
    const quint32 size = entry >> 16, lead = entry & 0xFF, code = lead << 8 | (entry >> 8 & 0xFF);
    if (size == 1) return lead < 0x80 ? 0 : 1;
    if (size == 2 && (lead == 0x81 || lead == 0x82 || (code >= 0x8340 && code <= 0x8396) ||
                      (code >= 0x889F && code <= 0x9872)))
        return 0;
    if (reading == Reading::ShiftJis) return 2;
    const bool kanji =
        size == 2 && ((code >= 0x989F && code <= 0xEAA4) || (code >= 0xED40 && code <= 0xEEFC) ||
                      (code >= 0xFA40 && code <= 0xFC4B));
    return kanji ? 1 : 4;
}

struct Likeness {
    qsizetype rareHalves = 0;
    qsizetype characters = 0;
    bool kanaAndKanjiOnly = true;  // outside ASCII
};

// Weighs a reading. A letter or sign (0x40..0x7E) glued to a character outside ASCII adds a
// whole rare one on either side, one and a half right behind a character read as UTF-8:
// Shift-JIS read as UTF-8 ends its characters on lead bytes and leaves their trail bytes
// standing right behind them, and UTF-8 read as Shift-JIS glues half-width kana and kanji to
// the ASCII letters of a Latin name ("José" is "Josﾃｩ"); Japanese text seldom glues a letter to
// a kanji. The letters of a word that reads as a Latin name weigh nothing.
Likeness likeness(const QString &text, Reading reading) {
    Likeness l;
    const char16_t *begin = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *end = begin + text.size();
    const char16_t *wordEnd = begin;
    bool latinName = false;
    for (const char16_t *p = begin; p < end; ++p) {
        if (!QChar::isLowSurrogate(*p)) ++l.characters;
        if (*p < 0x80) continue;
        if (!isKanaOrKanji(*p)) l.kanaAndKanjiOnly = false;
        if (reading == Reading::Utf8 && p >= wordEnd) {
            const char16_t *wordBegin = p;
            while (wordBegin > begin && !isSeparator(wordBegin[-1])) --wordBegin;
            for (wordEnd = p; wordEnd < end && !isSeparator(*wordEnd);) ++wordEnd;
            latinName = isLatinName(wordBegin, wordEnd - wordBegin);
        }
        if (latinName && (*p < 0x370 || (*p >= 0x1E00 && *p <= 0x1EFF))) continue;
        l.rareHalves += rareHalves(p, end, reading);
        if (p > begin && p[-1] >= 0x40 && p[-1] <= 0x7E) l.rareHalves += 2;
        if (p + 1 < end && p[1] >= 0x40 && p[1] <= 0x7E) l.rareHalves += reading == Reading::Utf8 ? 3 : 2;
    }
    return l;
}

// The likelier of the two readings of bytes that are both: the one with fewer rare halves; on a
// tie Shift-JIS, unless UTF-8 gives fewer characters, all kana and kanji (a UTF-8 kanji is
// three bytes, and its first two read as a second-level kanji in Shift-JIS: 茉莉 is "闌芽脂").
bool utf8IsLikelier(const QString &utf8, const QString &cp932) {
    const Likeness u = likeness(utf8, Reading::Utf8), s = likeness(cp932, Reading::ShiftJis);
    if (u.rareHalves != s.rareHalves) return u.rareHalves < s.rareHalves;
    return u.characters < s.characters && u.kanaAndKanjiOnly;
}

std::optional<QByteArray> encodeCp932(const QString &text, const TextEncoding::Substitute &substitute) {
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    const char16_t *p = reinterpret_cast<const char16_t *>(text.utf16());
    const char16_t *end = p + text.size();
    for (; p < end; ++p) {
        if (*p < 0x80) {  // ASCII is written as it is
            const char16_t *run = p;
            while (p < end && *p < 0x80) ++p;
            const qsizetype at = out.size();
            out.resize(at + (p - run));
            char *dst = out.data() + at;
            for (const char16_t *c = run; c < p; ++c) *dst++ = char(*c);
            if (p == end) break;
        }
        const char16_t c = *p;
        if (QChar::isSurrogate(c)) {
            const qsizetype n =
                QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1]) ? 2 : 1;
            const std::optional<QByteArray> piece =
                encodeCodePoints(QString::fromUtf16(p, n), kCp932, substitute);
            if (!piece) return std::nullopt;
            out += *piece;
            p += n - 1;
            continue;
        }
        const quint32 entry = cp932Entry(c);
        if (entry == 1) {
            if (!substitute) return std::nullopt;
            out += substitute(char32_t(c));
            continue;
        }
        for (quint32 i = 0; i < (entry >> 16); ++i) out.append(char((entry >> (8 * i)) & 0xFF));
    }
    return out;
}

// UTF-16 records are partly ASCII (separators, line ends, digits): at least one code unit in
// eight has a zero high byte. Shift-JIS and UTF-8 text has no zero byte at all.
bool looksLikeUtf16(const QByteArray &bytes) {
    if (bytes.size() % 2 != 0) return false;
    qsizetype little = 0, big = 0;
    for (qsizetype i = 0; i < bytes.size(); i += 2) {
        if (bytes[i] != '\0' && bytes[i + 1] == '\0') ++little;
        if (bytes[i] == '\0' && bytes[i + 1] != '\0') ++big;
    }
    const qsizetype ascii = std::max(little, big);
    return ascii > 0 && ascii * 8 >= bytes.size() / 2;
}

// Why bytes without a mark are no text: a file whose every line is Shift-JIS or UTF-8, but not
// all in the same one, was put together from files of both.
QString noEncoding(const QByteArray &bytes) {
    const QString none = QStringLiteral("neither Shift-JIS nor UTF-8 nor UTF-16 text");
    bool shiftJisOnly = false, utf8Only = false;
    for (const QByteArray &line : bytes.split('\n')) {
        const bool shiftJis = !line.contains('\0') && TextEncoding::fromCp932(line).has_value();
        const bool utf8 = !line.contains('\0') && TextEncoding::isValidUtf8(line);
        if (!shiftJis && !utf8) return none;
        shiftJisOnly = shiftJisOnly || !utf8;
        utf8Only = utf8Only || !shiftJis;
    }
    return shiftJisOnly && utf8Only ? QStringLiteral("Shift-JIS and UTF-8 lines mixed") : none;
}

}  // namespace

std::optional<QString> TextEncoding::fromImportedText(const QByteArray &bytes, QString *refusal) {
    QString why;
    std::optional<QString> text = [&]() -> std::optional<QString> {
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            if (isValidUtf8(bytes)) return fromUtf8(bytes);
            why = QStringLiteral("marked as UTF-8 but not UTF-8 text");
            return std::nullopt;
        }
        if (hasUtf16Bom(bytes)) {
            std::optional<QString> utf16 = fromUtf16(bytes);
            if (!utf16) why = QStringLiteral("marked as UTF-16 but not UTF-16 text");
            return utf16;
        }
        if (!bytes.contains('\0')) {
            std::optional<QString> cp932 = fromCp932(bytes);
            if (cp932 && cp932->isEmpty()) cp932.reset();
            if (isValidUtf8(bytes)) {
                std::optional<QString> utf8 = fromUtf8(bytes);
                if (!cp932 || utf8IsLikelier(*utf8, *cp932)) return utf8;
            }
            if (cp932) return cp932;
        }
        if (looksLikeUtf16(bytes)) {
            if (std::optional<QString> utf16 = fromUtf16(bytes)) return utf16;
        }
        why = noEncoding(bytes);
        return std::nullopt;
    }();
    // A NUL is no character of a patient's text: stored, it would cut short the name it is in.
    if (text && text->contains(QChar(u'\0'))) {
        text.reset();
        why = QStringLiteral("a NUL character in the text");
    }
    if (!text && refusal) *refusal = why;
    return text;
}

bool TextEncoding::appendCp932(QByteArray &out, QByteArrayView utf8, const Substitute &substitute) {
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    // Code page 932 is never longer than UTF-8; only a substitute may need more room.
    qsizetype at = out.size();
    out.resize(at + utf8.size());
    const auto put = [&](const char *bytes, qsizetype n) {
        if (at + n > out.size()) out.resize(at + n + (end - p));
        std::memcpy(out.data() + at, bytes, size_t(n));
        at += n;
    };
    bool encoded = true;
    while (p < end) {
        if (*p < 0x80) {
            // The room left in `out` is never less than the bytes left to convert.
            char *to = out.data() + at;
            p = copyAscii(p, end, to);
            at = to - out.data();
            continue;
        }
        // Two- and three-byte forms of the Basic Multilingual Plane, surrogates excepted; the
        // rest (four-byte forms, anything invalid) goes the way of a QString.
        char16_t c = 0;
        int length = 0;
        if (*p >= 0xC2 && *p <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            c = char16_t(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
            length = 2;
        } else if ((*p & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            c = char16_t(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            if (c >= 0x800 && !QChar::isSurrogate(c)) length = 3;
        }
        if (length == 0) {
            const std::optional<QByteArray> rest =
                encodeCp932(QString::fromUtf8(reinterpret_cast<const char *>(p), end - p), substitute);
            p = end;
            if (rest) put(rest->constData(), rest->size());
            encoded = rest.has_value();
            break;
        }
        p += length;
        const quint32 entry = cp932Entry(c);
        if (entry == 1) {
            if (!substitute) {
                encoded = false;
                break;
            }
            const QByteArray replacement = substitute(char32_t(c));
            put(replacement.constData(), replacement.size());
            continue;
        }
        // One or two bytes in place of two or three: the room is there.
        char *to = out.data() + at;
        to[0] = char(entry & 0xFF);
        if ((entry >> 16) == 2) to[1] = char((entry >> 8) & 0xFF);
        at += qsizetype(entry >> 16);
    }
    out.resize(at);
    return encoded;
}

std::optional<QByteArray> TextEncoding::encode(const QString &text, const QByteArray &iconvName,
                                               const Substitute &substitute) {
    if (iconvName == kCp932) return encodeCp932(text, substitute);
    return encodeCodePoints(text, iconvName.constData(), substitute);
}

std::optional<QString> TextEncoding::decode(const QByteArray &bytes, const QByteArray &iconvName,
                                            bool lossy) {
    return decodeToString(bytes, iconvName.constData(), lossy);
}

}  // namespace cvx
