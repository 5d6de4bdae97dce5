#include "platform/ImportedTextReading.h"

#include <QList>
#include <QStringView>
#include <QVarLengthArray>

#include <algorithm>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/TextEncoding.h"

namespace cvx {

namespace {

// The two readings of bytes that are both strict Shift-JIS and strict UTF-8.
enum class Reading { ShiftJis, Utf8 };

// Bytes below 0x40 (controls, space, digits, punctuation) are never part of a multi-byte
// character in either encoding, so both readings split into the same words at them.
bool isSeparator(char16_t c) {
    return c < 0x40;
}
bool isAsciiLetter(char32_t c) {
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}
// Where words end for telling whether they are plausible: at all but ASCII letters, and at the
// ideographic space.
bool endsWord(char16_t c) {
    return (c < 0x80 && !isAsciiLetter(c)) || c == 0x3000;
}

// The letters of the Latin alphabets names are written in: Latin-1, Latin Extended-A less the
// letters of Esperanto, Maltese, Welsh and Sami, the ij and l-dot ligatures and the capital Ų
// (Lithuanian writes ų in the endings of words, in no name; in capitals it is the half-width
// "ﾅｲ", "none", of notes), the Vietnamese horned o and u, the pinyin tone letters, the Romanian
// comma letters and Latin Extended Additional; and the accents that decomposed text writes
// after such a letter.
bool isNameLetter(char32_t c) {
    if (c >= 0xC0 && c <= 0xFF) return c != 0xD7 && c != 0xF7;
    if (c >= 0x100 && c <= 0x17F) {
        static constexpr char16_t rare[] = {
            0x108, 0x109, 0x10A, 0x10B, 0x114, 0x115, 0x11C, 0x11D, 0x120, 0x121, 0x124, 0x125, 0x126, 0x127,
            0x12C, 0x12D, 0x132, 0x133, 0x134, 0x135, 0x138, 0x13F, 0x140, 0x149, 0x14A, 0x14B, 0x14E, 0x14F,
            0x156, 0x157, 0x15C, 0x15D, 0x166, 0x167, 0x16C, 0x16D, 0x172, 0x174, 0x175, 0x176, 0x177, 0x17F};
        return std::find(std::begin(rare), std::end(rare), c) == std::end(rare);
    }
    return c == 0x1A0 || c == 0x1A1 || c == 0x1AF || c == 0x1B0 || (c >= 0x1CD && c <= 0x1DC) ||
           (c >= 0x218 && c <= 0x21B) || (c >= 0x1E00 && c <= 0x1EFF);
}
bool isNameAccent(char32_t c) {
    return (c >= 0x300 && c <= 0x30C) || c == 0x31B || c == 0x323 || (c >= 0x326 && c <= 0x328);
}
bool isLower(char32_t c) {
    return QChar::isLower(c) && c != 0xDF;  // ß has no upper case of its own: "STRAßE"
}

// Whether the letters of a word are in a name's case: no lower-case letter before an
// upper-case one but after a leading capital (McDonald, where `innerCapitals` allows it and
// both are ASCII), and no two capitals before a lower-case letter. Accents are stepped over.
template <typename Char>
bool inNameCase(const Char *word, qsizetype size, bool innerCapitals) {
    bool leadingCapital = false;
    char32_t previous = 0, beforePrevious = 0;
    for (const Char *p = word; p < word + size; ++p) {
        if (*p >= 0x300 && QChar::isMark(char32_t(*p))) continue;
        const bool lower = isLower(*p), upper = QChar::isUpper(char32_t(*p));
        if (previous == 0) leadingCapital = upper;
        if (upper && previous && isLower(previous) &&
            (!innerCapitals || !leadingCapital || previous >= 0x80 || *p >= 0x80))
            return false;
        if (lower && QChar::isUpper(previous) && QChar::isUpper(beforePrevious)) return false;
        beforePrevious = previous;
        previous = *p;
    }
    return true;
}

// A letter or sign whose two bytes in UTF-8 are two half-width kana in Shift-JIS (C2..DF before
// A1..BF): ò is "ﾃｲ", ŵ "ﾅｵ", α "ﾎｱ".
bool isKanaPair(char32_t c) {
    return c >= 0x80 && c < 0x800 && (c & 0x3F) >= 0x21;
}
// A capital that is two half-width kana in Shift-JIS: Ž, Ų, Ÿ (C4, C5 or C6 before A1..BF in
// UTF-8).
bool isKanaPairCapital(char32_t c) {
    return c >= 0x100 && c < 0x1C0 && isKanaPair(c) && QChar::isUpper(c);
}

// Whether a letter is a vowel, accented or not, of the Latin (Ư and Ų are U's, Ø an O), Greek
// or Cyrillic alphabets.
bool isVowel(char32_t c) {
    static constexpr std::u16string_view vowels =
        u"AEIOUYaeiouyÆæØøıΑΕΗΙΟΥΩαεηιουωАЕИОУЫЭЮЯІЄӘӨҮҰаеиоуыэюяієәөүұ";
    for (QString decomposed; c >= 0x80 && !(decomposed = QChar::decomposition(c)).isEmpty();)
        c = decomposed.front().unicode();
    return c < 0x10000 && vowels.find(char16_t(c)) != std::u16string_view::npos;
}

// Whether two letters are one of the initial consonants of Vietnamese written with two.
bool isVietnameseInitial(char32_t first, char32_t second) {
    static constexpr std::string_view initials[] = {"ch", "gh", "kh", "ng", "nh", "ph", "th", "tr"};
    const char pair[2] = {char(first | 0x20), char(second | 0x20)};
    return std::find(std::begin(initials), std::end(initials), std::string_view(pair, 2)) !=
           std::end(initials);
}

// Whether a word reads as a Latin name: ASCII letters and name letters, at least one of them
// ASCII, an accent only after a letter, and its letters in a name's case; a word of capitals
// alone with a capital that is two half-width kana in Shift-JIS has a vowel or four ASCII
// letters: a half-width pair glued to an abbreviation is no syllable ("ﾅｽCT" is "ŽCT").
// Shift-JIS half-width kana read as UTF-8 give letters standing alone ("ﾃｲ" is "ò"), beside
// letters of other alphabets, or glued out of case to the abbreviations of notes ("TELﾅｼ" is
// "TELż", "OKﾃｲ" is "OKò").
bool isLatinName(const char16_t *word, qsizetype size) {
    int ascii = 0;
    bool lower = false, kanaCapital = false;
    char16_t previous = 0;
    for (const char16_t *p = word; p < word + size; ++p) {
        if (isNameAccent(*p)) {
            if (previous == 0) return false;
            continue;
        }
        if (isAsciiLetter(*p))
            ++ascii;
        else if (!isNameLetter(*p))
            return false;
        lower = lower || isLower(*p);
        kanaCapital = kanaCapital || isKanaPairCapital(*p);
        previous = *p;
    }
    if (ascii == 0 || !inNameCase(word, size, true)) return false;
    if (lower || !kanaCapital || ascii >= 4) return true;
    return std::any_of(word, word + size, [](char16_t c) { return isVowel(c); });
}

bool isKanaOrKanji(char16_t c) {
    return (c >= 0x3041 && c <= 0x30FF) || c == 0x3005 || (c >= 0x3400 && c <= 0x9FFF) ||
           (c >= 0xF900 && c <= 0xFAFF) || QChar::isSurrogate(c);
}
// Kana, kanji (those beyond the Basic Multilingual Plane by their high surrogate), the
// full-width forms and signs: where a word of another alphabet glued to Japanese ends.
bool isJapanese(char16_t c) {
    return (c >= 0x3000 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF01 && c <= 0xFF60) || (c >= 0xD840 && c <= 0xD8BF);
}
bool isHalfWidth(char16_t c) {
    return c >= 0xFF61 && c <= 0xFF9F;
}
// A digit or hyphen, which runs a word on: "3F", "P-CR", "β-blocker".
bool isJoiner(char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u'-';
}

// What a character is to a word: the writing system it belongs to. Kanji, kana, the
// full-width forms and the full-width signs of code page 932 are one, Japanese; half-width
// katakana another. Signs (Latin-1's, private use) belong to none and go with any.
enum class Kind : quint8 {
    Sign,
    Ascii,
    Latin,
    Japanese,
    HalfWidth,
    Greek,
    Cyrillic,
    Hangul,
    Other,
    Mark,
    Bad
};

Kind kindOf(char32_t c) {
    if (c < 0x80) return isAsciiLetter(c) ? Kind::Ascii : Kind::Sign;
    if (c == 0xB5) return Kind::Sign;  // the micro sign of units, a letter to Unicode
    // The Latin letters and accents of names, without asking the tables.
    if ((c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || (c >= 0x1E00 && c <= 0x1EFF))
        return Kind::Latin;
    if (c >= 0x300 && c <= 0x36F) return Kind::Mark;
    // The spacing accents and phonetic modifiers but the apostrophes ʻ and ʼ: what half-width
    // ﾊ and ﾋ before another half-width kana read as in UTF-8.
    if (c >= 0x2B0 && c <= 0x2FF) return c == 0x2BB || c == 0x2BC ? Kind::Sign : Kind::Bad;
    if (c >= 0xFF61 && c <= 0xFF9F) return Kind::HalfWidth;
    if ((c >= 0x3001 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) || (c >= 0x3400 && c <= 0x4DBF) ||
        (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFF01 && c <= 0xFF60) ||
        (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFF))
        return Kind::Japanese;
    if (c >= 0xAC00 && c <= 0xD7A3) return Kind::Hangul;
    switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Surrogate:
        case QChar::Other_NotAssigned:
            return Kind::Bad;
        case QChar::Other_PrivateUse:
        case QChar::Other_Format:
            return Kind::Sign;
        default:
            break;
    }
    if (c >= 0xFFFE && (c & 0xFFFE) == 0xFFFE) return Kind::Bad;
    if (c == 0xFFFD) return Kind::Bad;
    if (QChar::isMark(c)) return Kind::Mark;
    const QChar::Script script = QChar::script(c);
    // Signs shared by all scripts; the digits and signs of one script count as its letters.
    if (!QChar::isLetter(c) && (script == QChar::Script_Common || script == QChar::Script_Inherited)) {
        if (c >= 0x2000 && c < 0x10000 && TextEncoding::cp932Code(char16_t(c)) > 0xFF) return Kind::Japanese;
        return Kind::Sign;
    }
    switch (script) {
        case QChar::Script_Latin:
            return Kind::Latin;
        case QChar::Script_Greek:
            return Kind::Greek;
        case QChar::Script_Cyrillic:
            return Kind::Cyrillic;
        case QChar::Script_Hangul:
            return Kind::Hangul;
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
            return Kind::Japanese;
        default:
            return Kind::Other;
    }
}

// The letters that Greek and Cyrillic names are written in: the modern alphabets with their
// accents and the letters of the other languages written in Cyrillic, but not the archaic
// letters, the Coptic ones or the signs among them.
bool isModernLetter(char32_t c, Kind kind) {
    if (kind == Kind::Greek) return (c >= 0x386 && c <= 0x3CE) || (c >= 0x1F00 && c <= 0x1FFF);
    return (c >= 0x400 && c <= 0x45F) || (c >= 0x48A && c <= 0x4FF);
}

// The letters of the Russian, Ukrainian, Belarusian and modern Greek alphabets.
bool isCommonLetter(char32_t c, Kind kind) {
    if (kind == Kind::Greek)
        return (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x3AC && c <= 0x3CE) || c == 0x386 ||
               (c >= 0x388 && c <= 0x38F);
    return kind == Kind::Cyrillic && ((c >= 0x401 && c <= 0x45F) || c == 0x490 || c == 0x491);
}

// Whether a half-width kana may stand after `before`, the character before it in its word (0
// at its start), and `base`, the one before that. A small kana follows only a kana that makes
// a syllable with it (ﾃｨ, ｼｪ, ｷｬ; ｯ any kana), a sound mark only a kana that takes it, where
// UTF-8 read as Shift-JIS puts them anywhere: Ũ is "ﾅｨ", Ū "ﾅｪ".
bool followsInKana(char16_t c, char16_t before, char16_t base) {
    const auto isKana = [](char16_t k) { return k >= 0xFF66 && k <= 0xFF9F; };
    if (c == 0xFF6F) return isKana(before);  // ｯ
    if (c == 0xFF9E)                         // ﾞ
        return before == 0xFF73 || (before >= 0xFF76 && before <= 0xFF84) ||
               (before >= 0xFF8A && before <= 0xFF8E);
    if (c == 0xFF9F) return before >= 0xFF8A && before <= 0xFF8E;  // ﾟ
    if (c < 0xFF67 || c > 0xFF6E) return true;
    static constexpr std::u16string_view takes[] = {u"ﾌｳﾂｸ", u"ﾌｳﾃﾂｸｽ",  u"ﾄｸﾌ",        u"ﾌｳｼﾁﾂｸｲｷﾆﾋﾐﾘ",
                                                    u"ﾌｳﾂｸ", u"ｷｼﾁﾆﾋﾐﾘ", u"ｷｼﾁﾆﾋﾐﾘﾃﾌｳ", u"ｷｼﾁﾆﾋﾐﾘ"};
    const char16_t kana = before == 0xFF9E || before == 0xFF9F ? base : before;
    return kana != 0 && takes[c - 0xFF67].find(kana) != std::u16string_view::npos;
}

// How plausible a word is in the script of its letters. A word of one letter in lower case
// (in Greek and Cyrillic, of two) is so only in the company of a longer word of its script
// in its field ("ő" in "ő is allergiás"), or, read as UTF-8, a Greek letter as a sign: before
// a hyphen and a word, before a digit or glued to Japanese ("β-blocker", "β2", "β遮断薬");
// alone it is what a half-width kana pair read as UTF-8 gives ("ﾃｲ" is "ò").
enum class Plausibility { Plausible, Lonely, Implausible };

struct WordVerdict {
    Plausibility plausibility = Plausibility::Plausible;
    Kind script = Kind::Sign;  // the kind of its letters outside ASCII; Sign for none
    QChar::Script otherScript = QChar::Script_Unknown;
    bool company = false;  // a plausible word of two letters or more, one outside ASCII
    bool lone = false;     // a word of one letter
    bool unit = false;     // µ, μ or ° before the letters of a unit: "µg", "°C"
};

// µ, μ or ° before the letters of a unit: "µg", "μmol", "°C".
bool isUnit(const char16_t *word, qsizetype size) {
    if (size < 2) return false;
    if (word[0] == 0xB0) return size == 2 && (word[1] == u'C' || word[1] == u'F');
    return (word[0] == 0xB5 || word[0] == 0x3BC) && size <= 4 &&
           std::all_of(word + 1, word + size, [](char16_t c) { return isAsciiLetter(c); });
}

// The signs that code page 932 writes as the second byte of a kanji, and that no text glues to
// the end of a Korean word: UTF-8 bytes of hangul are what a kanji of the NEC rows before
// another kanji reads as ("﨑本" is "핖{").
bool isTrailSign(char16_t c) {
    return c == u'@' || c == u'[' || c == u'\\' || c == u'_' || c == u'`' || c == u'{' || c == u'|';
}

// The signs of Romance writing whose two bytes in UTF-8 are "ﾂ" and a half-width kana in
// Shift-JIS: ¡ ª « ° · º » ¿.
bool isRomanceSign(char16_t c) {
    return c == 0xA1 || c == 0xAA || c == 0xAB || c == 0xB0 || c == 0xB7 || c == 0xBA || c == 0xBB ||
           c == 0xBF;
}

// Where in a line read as UTF-8 those signs stand as writers put them: an ordinal after a
// number that stands beside a word in lower case ("1ª visita", "dente 2°"), in "nº 36" and in
// "Mª José"; ¿ and ¡ opening what their field closes with ? and !; « and » around words; · in
// "l·l" and between words, one in lower case. There each is what its half-width pair is in
// Shift-JIS, and tells neither reading; elsewhere it is the pair a note glues to its
// abbreviations and digits ("CTﾂｷ", "2ﾂｺ", "No.3ﾂｪ"). Linear in the line.
class RomanceSigns {
public:
    RomanceSigns(const char16_t *begin, const char16_t *end) : begin_(begin), size_(end - begin) {
        if (std::none_of(begin, end, isRomanceSign)) return;
        natural_.assign(size_, false);
        // Whether the field holds a ? or ! after each sign that opens, a « before each ».
        bool question = false, exclamation = false, closingQuote = false;
        for (qsizetype i = size_ - 1; i >= 0; --i) {
            const char16_t c = begin[i];
            if (c == u',' || c == u'\t') question = exclamation = closingQuote = false;
            question = question || c == u'?';
            exclamation = exclamation || c == u'!';
            closingQuote = closingQuote || c == 0xBB;
            if ((c == 0xBF && question) || (c == 0xA1 && exclamation) || (c == 0xAB && closingQuote))
                natural_[i] = opens(i);
        }
        bool openingQuote = false;
        for (qsizetype i = 0; i < size_; ++i) {
            const char16_t c = begin[i];
            if (c == u',' || c == u'\t') openingQuote = false;
            openingQuote = openingQuote || c == 0xAB;
            // French sets its quotes apart with a space: "« provisoire »".
            if (c == 0xBB && openingQuote) {
                const qsizetype last = at(i - 1) == u' ' ? i - 2 : i - 1;
                natural_[i] = (letterAt(last) || at(last) == u'.' || at(last) == u'!' || at(last) == u'?') &&
                              !letterAt(i + 1);
            }
            if (c == 0xB7) natural_[i] = separates(i);
            if (c == 0xAA || c == 0xBA || c == 0xB0) natural_[i] = isOrdinal(i);
        }
    }

    bool natural(const char16_t *p) const { return !natural_.empty() && natural_[p - begin_]; }

private:
    char16_t at(qsizetype i) const { return i >= 0 && i < size_ ? begin_[i] : 0; }
    bool letterAt(qsizetype i) const {
        const char16_t c = at(i);
        return isAsciiLetter(c) || (kindOf(c) == Kind::Latin && !isRomanceSign(c));
    }
    bool lowerAt(qsizetype i) const { return letterAt(i) && isLower(at(i)); }
    bool digitAt(qsizetype i) const { return at(i) >= u'0' && at(i) <= u'9'; }
    qsizetype pastSpaces(qsizetype i) const {
        while (at(i) == u' ') ++i;
        return i;
    }

    // ¿, ¡ or « at the start of a word: "¿Alergia?", "(¡ojo!)", "« provisoire »".
    bool opens(qsizetype i) const {
        return (i == 0 || std::u16string_view(u" ,\t(\"«").find(at(i - 1)) != std::u16string_view::npos) &&
               (letterAt(i + 1) || (at(i) == 0xAB && at(i + 1) == u' ' && letterAt(i + 2)));
    }
    // "l·l", or "igiene · controllo".
    bool separates(qsizetype i) const {
        if ((at(i - 1) | 0x20) == u'l' && (at(i + 1) | 0x20) == u'l') return true;
        return at(i - 1) == u' ' && at(i + 1) == u' ' && letterAt(i - 2) && letterAt(i + 2) &&
               (lowerAt(i - 2) || lowerAt(i + 2));
    }
    // The Portuguese titles written with a raised letter, ending at `end`: "Exmª Srª", "Sr.ª",
    // "Ilmº" (not "Dr", which notes write as it stands).
    bool isTitle(qsizetype end) const {
        for (const std::u16string_view title : {u"Exm", u"Ilm", u"Sr", u"Prof"}) {
            const qsizetype start = end - qsizetype(title.size()) + 1;
            if (start >= 0 && end < size_ && !letterAt(start - 1) &&
                std::u16string_view(begin_ + start, title.size()) == title)
                return true;
        }
        return false;
    }
    // A word of four letters or more, two of them vowels, from `start` on or ending at `end`: a
    // word such as "CONSULTA" or "MOLAR", where notes write abbreviations ("TEL", "CT", "OK").
    bool wordOfSyllables(qsizetype start, qsizetype step) const {
        qsizetype letters = 0, vowels = 0;
        for (qsizetype k = start; letterAt(k); k += step, ++letters) vowels += isVowel(at(k)) ? 1 : 0;
        return letters >= 4 && vowels >= 2;
    }
    // A word that a number with an ordinal stands beside: one in lower case, or one of syllables.
    bool wordFrom(qsizetype start) const { return lowerAt(start) || wordOfSyllables(start, 1); }
    bool wordEndingAt(qsizetype end) const { return lowerAt(end) || wordOfSyllables(end, -1); }

    // "3ª semana", "na 3ª", "2.º premolar", "CONSULTA 1ª VEZ", "nº 36", "n° 36", "N.º 11",
    // "nº historia", "Mª José", and degrees: "38ºC".
    bool isOrdinal(qsizetype i) const {
        if (letterAt(i + 1))
            return at(i) != 0xAA && at(i + 1) == u'C' && !letterAt(i + 2) &&
                   (digitAt(i - 1) || (at(i - 1) == u' ' && digitAt(i - 2)));
        const qsizetype before = at(i - 1) == u'.' ? i - 2 : i - 1;
        if (digitAt(before)) {
            qsizetype number = before;
            while (digitAt(number - 1)) --number;
            if (letterAt(number - 1) || at(number - 1) == u'.') return false;
            qsizetype previous = number;
            while (at(previous - 1) == u' ') --previous;
            const qsizetype next = pastSpaces(i + 1);
            return (next > i + 1 && wordFrom(next)) || (previous < number && wordEndingAt(previous - 1));
        }
        if (isTitle(before) && !letterAt(i + 1)) return true;
        if (letterAt(before - 1) || digitAt(before - 1)) return false;
        if ((at(before) | 0x20) == u'n') {
            const qsizetype next = pastSpaces(i + 1);
            return digitAt(next) || (next > i + 1 && letterAt(next));
        }
        return at(i) == 0xAA && (at(before) == u'M' || at(before) == u'D') && at(i + 1) == u' ' &&
               letterAt(i + 2) && !isLower(at(i + 2));
    }

    const char16_t *begin_;
    qsizetype size_;
    std::vector<bool> natural_;
};

// Judges a word in a reading: `word` ends at a character that ends words; read as UTF-8, also
// where Japanese meets the letters of another alphabet. `joinedBefore` says that a digit or
// hyphen stands right before it ("3F", "P-CR"); `after` is the character right after it, 0 at
// the end of the line; `signs`, read as UTF-8, where its Romance signs stand as writers put them.
WordVerdict judgeWord(const char16_t *word, qsizetype size, Reading reading, bool joinedBefore,
                      char16_t after, const RomanceSigns *signs) {
    const bool joinedAfter = isJoiner(after);
    WordVerdict verdict;
    if (reading == Reading::Utf8 && isUnit(word, size)) {
        verdict.unit = true;
        return verdict;
    }
    const auto implausible = [&verdict] {
        verdict.plausibility = Plausibility::Implausible;
        return verdict;
    };
    QVarLengthArray<char32_t, 32> letters;
    int ascii = 0, nonAscii = 0, scriptLetters = 0;
    bool letterBefore = false;
    // The ASCII letters in a row before this character, those before the half-width kana
    // after them, and whether a digit or hyphen stands before those.
    qsizetype asciiRun = 0, asciiBeforeHalfWidth = 0;
    bool joinedAsciiBeforeHalfWidth = false;
    char32_t mark = 0, before = 0, beforeThat = 0;
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = word[i];
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(word[i + 1])) {
            c = QChar::surrogateToUcs4(word[i], word[i + 1]);
            ++i;
        }
        // A user-defined character of code page 932 is what the lead byte of a four-byte UTF-8
        // character (an emoji) reads as.
        if (reading == Reading::ShiftJis && c >= 0xE000 && c <= 0xF8FF) return implausible();
        const Kind kind = signs && signs->natural(word + i) ? Kind::Sign : kindOf(c);
        switch (kind) {
            case Kind::Bad:
                return implausible();
            case Kind::Sign:
                letterBefore = false;
                beforeThat = before, before = c;
                asciiRun = 0;
                continue;
            case Kind::Mark: {
                // An accent on nothing, the same accent twice, or one that the letter before
                // does not take: a Latin letter takes the accents of names, a letter of another
                // alphabet the common ones or those of its own script. Half-width kana read as
                // UTF-8 put Hebrew points and overlays on the letters of abbreviations ("ECGﾖｳ"
                // is "ECGֳ", "TBIﾌｶ" is "TBI̶").
                if (!letterBefore || c == mark) return implausible();
                const Kind base = kindOf(before);
                const QChar::Script script = QChar::script(c);
                if ((base == Kind::Ascii || base == Kind::Latin)
                        ? !isNameAccent(c)
                        : script != QChar::Script_Inherited && script != QChar::Script_Common &&
                              script != QChar::script(before))
                    return implausible();
                mark = c;
                continue;
            }
            case Kind::HalfWidth:
                // Half-width signs stand at the edges of a word: ｢ before it, ｡ ､ ｣ after it.
                if ((c >= 0xFF61 && c <= 0xFF64 && c != 0xFF62 && i + 1 < size) || (c == 0xFF62 && i > 0))
                    return implausible();
                if (!followsInKana(char16_t(c), char16_t(before), char16_t(beforeThat))) return implausible();
                if (asciiRun > 0) {
                    asciiBeforeHalfWidth = asciiRun;
                    joinedAsciiBeforeHalfWidth = joinedBefore && asciiRun == i;
                }
                break;
            case Kind::Ascii:
                // Half-width kana inside a word of ASCII letters: "LﾆｯU" is "LƯU" read as
                // Shift-JIS. Notes glue kana between abbreviations of two letters or more
                // ("CTﾅｼFAX") or to those that run on with digits ("3FﾕｲTEL", "TELﾅｼP-CR").
                if (asciiBeforeHalfWidth > 0 && kindOf(before) == Kind::HalfWidth) {
                    qsizetype after = i;
                    while (after < size && isAsciiLetter(word[after])) ++after;
                    const bool abbreviations = (asciiBeforeHalfWidth >= 2 && after - i >= 2) ||
                                               joinedAsciiBeforeHalfWidth || (after == size && joinedAfter);
                    if (!abbreviations) return implausible();
                    asciiBeforeHalfWidth = 0;
                }
                break;
            default:
                break;
        }
        letterBefore = true;
        mark = 0;
        beforeThat = before, before = c;
        asciiRun = kind == Kind::Ascii ? asciiRun + 1 : 0;
        if (kind == Kind::Other && QChar::isLetter(c)) ++scriptLetters;
        if (kind == Kind::Ascii) {
            ++ascii;
        } else {
            ++nonAscii;
            const QChar::Script script = kind == Kind::Other ? QChar::script(c) : QChar::Script_Unknown;
            if (verdict.script != Kind::Sign && (verdict.script != kind || verdict.otherScript != script)) {
                // Letters of two writing systems, such as half-width kana glued to kanji or
                // full-width kana: the mixture of UTF-8 read as Shift-JIS ("邨占｡｣", "ﾐ嶢ｵ").
                return implausible();
            }
            verdict.script = kind;
            verdict.otherScript = script;
        }
        letters.append(c);
    }
    const int count = ascii + nonAscii;
    // An apostrophe stands in a word: "Марʼяна".
    if (count == 0 && std::any_of(word, word + size, [](char16_t c) { return c == 0x2BB || c == 0x2BC; }))
        return implausible();
    // A letter standing alone is one that names are written with.
    const bool alone = count == 1;
    verdict.lone = alone;
    switch (verdict.script) {
        case Kind::Sign:  // ASCII letters and signs
        case Kind::Japanese:
        case Kind::HalfWidth:
            return verdict;
        case Kind::Latin:
            // A title or abbreviation and one letter: notes glue kana to them ("Mrﾃｲ" is "Mrò").
            if (size == 3 || size == 4) {
                static constexpr std::u16string_view titles[] = {u"Mrs", u"Mr", u"Ms", u"Dr", u"Tel", u"Fax"};
                const std::u16string_view title(word, size - 1);
                if (std::find(std::begin(titles), std::end(titles), title) != std::end(titles))
                    return implausible();
            }
            // A letter that names are not written with stands only among letters of its language
            // ("ĉiu"); alone, outside Latin Extended-A, or as the half-width pair of a note glued
            // to an abbreviation ("Noﾅｵ" is "Noŵ", "CTﾅｲ" is "CTŲ", "ﾅｲCT" "ŲCT") it is garble.
            for (qsizetype i = 0; i < letters.size(); ++i) {
                const char32_t c = letters[i];
                if (c < 0x80 || isNameLetter(c)) continue;
                const bool besideAscii = (i > 0 && isAsciiLetter(letters[i - 1])) ||
                                         (i + 1 < letters.size() && isAsciiLetter(letters[i + 1]));
                if (alone || c < 0x100 || c > 0x17F || (isKanaPair(c) && besideAscii)) return implausible();
            }
            // A word is spoken: two or three letters without a vowel, a half-width pair among
            // them, are the pair glued to an abbreviation ("Nsﾅｼ" is "Nsż", "CTﾅｽ" "CTŽ"); the
            // names without a vowel are longer ("Smrž"). Nor do two consonants begin a name of
            // three letters but as a Vietnamese initial ("Ngô", "Thư"; "Rxﾃｲ" is "Rxò") or a
            // prefix in lower case ("pré-molar", "pró-ativo").
            if (!alone && letters.size() <= 3 && std::any_of(letters.cbegin(), letters.cend(), isKanaPair)) {
                if (std::none_of(letters.cbegin(), letters.cend(), isVowel)) return implausible();
                if (letters.size() == 3 && isAsciiLetter(letters[0]) && isAsciiLetter(letters[1]) &&
                    !isVowel(letters[0]) && !isVowel(letters[1]) && isKanaPair(letters[2]) &&
                    !isVietnameseInitial(letters[0], letters[1]) && (after != u'-' || !isLower(letters[0])))
                    return implausible();
            }
            // A capital that is two half-width kana is no word of its own: "ﾅｽ" (a name) and
            // "ﾅｲ" (a note) read as Ž and Ų.
            if (alone && isKanaPairCapital(letters[0])) return implausible();
            if (!inNameCase(letters.constData(), letters.size(), true)) return implausible();
            // Vietnamese writes words of accented letters alone: "Đỗ", "Ở".
            if (ascii == 0 && !alone && !std::any_of(letters.cbegin(), letters.cend(), [](char32_t c) {
                    return c == 0x110 || c == 0x111 || (c >= 0x1E00 && c <= 0x1EFF);
                }))
                return implausible();
            break;
        case Kind::Greek:
        case Kind::Cyrillic:
            if (ascii > 0) return implausible();
            for (const char32_t c : letters)
                if (!isModernLetter(c, verdict.script) || (alone && !isCommonLetter(c, verdict.script)))
                    return implausible();
            if (!inNameCase(letters.constData(), letters.size(), false)) return implausible();
            // A word is spoken: "зж" is the half-width "ﾐｷﾐｶ" read as UTF-8.
            if (!alone &&
                !std::any_of(letters.cbegin(), letters.cend(), [](char32_t c) { return isVowel(c); }))
                return implausible();
            break;
        case Kind::Hangul:
            if (ascii > 0 || isTrailSign(after)) return implausible();
            return verdict;
        default:  // another script: two letters at least, not its digits alone
            if (ascii > 0 || scriptLetters < 2) return implausible();
            return verdict;
    }
    // Of the lower-case letters that are words, only those of Vietnamese and à, è and é can
    // stand alone ("è diabetico"); the others are what half-width kana pairs read as in UTF-8.
    if (count == 1 && isLower(letters[0]) && letters[0] < 0x1E00 && letters[0] != 0xE0 &&
        letters[0] != 0xE8 && letters[0] != 0xE9)
        verdict.plausibility = Plausibility::Lonely;
    // Nor does a Greek or Cyrillic word of two small letters stand alone: "еж" is "ﾐｵﾐｶ".
    if (count == 2 && (verdict.script == Kind::Greek || verdict.script == Kind::Cyrillic) &&
        isLower(letters[0]) && isLower(letters[1]))
        verdict.plausibility = Plausibility::Lonely;
    verdict.company = count > 1 && nonAscii > 0 && verdict.plausibility == Plausibility::Plausible;
    return verdict;
}

// How unlike a patient's text a character outside ASCII is, in halves of a rare one. Free: of
// code page 932, the symbol rows (lead bytes 0x81 and 0x82: punctuation, full-width
// letters and digits, hiragana), the katakana (0x8340..0x8396) and the first-level kanji
// (0x889F..0x9872). Half: a half-width katakana. Read as Shift-JIS, everything else is whole:
// second-level and extension kanji, Greek, Cyrillic, box drawing, the NEC specials, which is
// what UTF-8 bytes read as Shift-JIS turn into. Read as UTF-8, kanji outside the first level
// (names use many, Chinese names those code page 932 lacks too) and those beyond the Basic
// Multilingual Plane (𠮷), and in a plausible word a hangul syllable or, in a word of two
// letters or more, a letter of the Greek or Cyrillic alphabets of today, are half; a sign or
// letter of the Latin, Greek and other alphabets outside a Latin name, and the rest of what
// code page 932 lacks, count double: Shift-JIS bytes read as UTF-8 mostly turn into those.
int rareHalves(const char16_t *p, const char16_t *end, Reading reading, const WordVerdict &word) {
    const char16_t c = *p;
    if (reading == Reading::Utf8) {
        if (word.plausibility != Plausibility::Implausible &&
            ((c >= 0xAC00 && c <= 0xD7A3) || (word.company && isCommonLetter(c, word.script))))
            return 1;
        if (c < 0x370 || (c >= 0x1E00 && c <= 0x1EFF)) return 4;
        if (QChar::isLowSurrogate(c)) return 0;  // its high surrogate counts for the pair
        if (QChar::isHighSurrogate(c)) {
            const char32_t code = p + 1 < end ? QChar::surrogateToUcs4(c, p[1]) : 0;
            return code >= 0x20000 && code <= 0x3FFFF ? 1 : 4;
        }
    }
    if (QChar::isSurrogate(c)) return 2;
    const int code = TextEncoding::cp932Code(c), lead = code >> 8;
    if (code >= 0 && code < 0x100) return code < 0x80 ? 0 : 1;
    if (lead == 0x81 || lead == 0x82 || (code >= 0x8340 && code <= 0x8396) ||
        (code >= 0x889F && code <= 0x9872))
        return 0;
    if (reading == Reading::ShiftJis) return 2;
    const bool kanji = (code >= 0x989F && code <= 0xEAA4) || (code >= 0xED40 && code <= 0xEEFC) ||
                       (code >= 0xFA40 && code <= 0xFC4B);
    if (kanji) return 1;
    return c >= 0x4E00 && c <= 0x9FFF && word.plausibility != Plausibility::Implausible ? 1 : 4;
}

// How a reading of a text weighs: its words that no writer would write, then its rare
// characters.
struct Weight {
    qsizetype implausible = 0;
    qsizetype rareHalves = 0;
    qsizetype characters = 0;
    // Read as UTF-8, what the accented letters at the edge of otherwise ASCII names would weigh
    // where they made no name: each is a half-width pair glued to letters in Shift-JIS
    // ("Niccolò" is "Niccolﾃｲ", "Noż" "Noﾅｼ"), and such a name tells neither reading.
    qsizetype edgePairHalves = 0;
    bool kanaAndKanjiOnly = true;  // outside ASCII

    void add(const Weight &other) {
        implausible += other.implausible;
        rareHalves += other.rareHalves;
        characters += other.characters;
        edgePairHalves += other.edgePairHalves;
        kanaAndKanjiOnly = kanaAndKanjiOnly && other.kanaAndKanjiOnly;
    }
};

// Weighs one line of a reading, word by word, in one pass. A letter or sign (0x40..0x7E) glued
// to a character outside ASCII adds a whole rare one on either side, one and a half right behind
// a character read as UTF-8: Shift-JIS read as UTF-8 ends its characters on lead bytes and
// leaves their trail bytes standing right behind them, and UTF-8 read as Shift-JIS glues
// half-width kana and kanji to the ASCII letters of a Latin name ("José" is "Josﾃｩ");
// Japanese text seldom glues a letter to a kanji. The letters of a word that reads as a
// Latin name weigh nothing, nor the sign of a unit; a Greek letter as a sign weighs half, and one
// standing as a word of a note ("TNF α") what its half-width pair would ("ﾎｱ"): it tells neither.
Weight weighLine(QStringView line, Reading reading) {
    Weight w;
    const char16_t *begin = reinterpret_cast<const char16_t *>(line.utf16());
    const char16_t *end = begin + line.size();
    const RomanceSigns signs = reading == Reading::Utf8 ? RomanceSigns(begin, end) : RomanceSigns(end, end);
    // The lone lower-case letters of a field wait for its end for a word of their script. A Greek
    // one stands as a word of a note among words of ASCII, Greek or Japanese, but not beside a
    // word of another alphabet ("μ з" is the half-width name "ﾎｼ ﾐｷ").
    constexpr int kKinds = int(Kind::Bad) + 1;
    quint32 company = 0;
    qsizetype lonely[kKinds] = {}, greekWords = 0;
    bool otherAlphabet = false;
    const auto endField = [&] {
        for (int kind = 0; kind < kKinds; ++kind)
            if (!(company >> kind & 1)) w.implausible += lonely[kind];
        if (otherAlphabet && !(company >> int(Kind::Greek) & 1)) w.implausible += greekWords;
        company = 0;
        std::fill(std::begin(lonely), std::end(lonely), 0);
        greekWords = 0;
        otherAlphabet = false;
    };
    const char16_t *latinEnd = begin;
    bool latinName = false, edgePair = false;
    // What a letter or sign (0x40..0x7E) glued to the character at `p` adds, `afterHalves` for one
    // right behind it.
    const auto glueHalves = [begin, end](const char16_t *p, int afterHalves) {
        return (p > begin && p[-1] >= 0x40 && p[-1] <= 0x7E ? 2 : 0) +
               (p + 1 < end && p[1] >= 0x40 && p[1] <= 0x7E ? afterHalves : 0);
    };
    // `fixedHalves`, where not 0, is what each character outside ASCII weighs.
    const auto weighCharacters = [&](const char16_t *from, const char16_t *to, const WordVerdict &verdict,
                                     int fixedHalves) {
        for (const char16_t *p = from; p < to; ++p) {
            if (!QChar::isLowSurrogate(*p)) ++w.characters;
            if (*p < 0x80) continue;
            if (!isKanaOrKanji(*p)) w.kanaAndKanjiOnly = false;
            if (verdict.unit) continue;
            if (fixedHalves > 0) {
                w.rareHalves += fixedHalves;
                continue;
            }
            if (reading == Reading::Utf8 && p >= latinEnd) {
                // A Latin name runs between the separators that both readings share, or Japanese,
                // but none is glued to a digit ("HbA1cﾃｲ" is "HbA1cò").
                const auto endsName = [](char16_t c) { return isSeparator(c) || isJapanese(c); };
                const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
                bool ascii = false;  // a Latin name has an ASCII letter
                const char16_t *nameBegin = p;
                for (; nameBegin > begin && !endsName(nameBegin[-1]); --nameBegin)
                    ascii = ascii || nameBegin[-1] < 0x80;
                for (latinEnd = p; latinEnd < end && !endsName(*latinEnd); ++latinEnd)
                    ascii = ascii || *latinEnd < 0x80;
                latinName = ascii && !(nameBegin > begin && isDigit(nameBegin[-1])) &&
                            !(latinEnd < end && isDigit(*latinEnd)) &&
                            isLatinName(nameBegin, latinEnd - nameBegin);
                edgePair = latinName && (p == nameBegin || p + 1 == latinEnd) && isKanaPair(*p) &&
                           isLower(*p) &&
                           std::count_if(nameBegin, latinEnd, [](char16_t c) { return c >= 0x80; }) == 1;
                latinEnd = std::max(latinEnd, p + 1);
            }
            if (latinName && (*p < 0x370 || (*p >= 0x1E00 && *p <= 0x1EFF))) {
                if (edgePair) w.edgePairHalves += 2 + glueHalves(p, 2);
                continue;
            }
            // Read as UTF-8, a letter of a plausible word that is a half-width pair in Shift-JIS
            // weighs no more than the pair: where it makes no name, it tells neither; so does a
            // Romance sign where writers put it. Other signs standing for names ("¶" is "ﾂｶ") weigh
            // whole.
            const bool pair = reading == Reading::Utf8 &&
                              ((isKanaPair(*p) && verdict.plausibility != Plausibility::Implausible &&
                                kindOf(*p) != Kind::Sign) ||
                               signs.natural(p));
            const int halves = rareHalves(p, end, reading, verdict);
            w.rareHalves += (pair ? std::min(halves, 2) : halves) +
                            glueHalves(p, reading == Reading::Utf8 && !pair ? 3 : 2);
        }
    };
    const auto japaneseAt = [begin](const char16_t *q) {
        return isJapanese(QChar::isLowSurrogate(*q) && q > begin ? q[-1] : *q);
    };
    // A letter standing alone as what writers use it for: a Greek one as a sign, before a
    // hyphen and a word or before a digit, or glued to Japanese; a Latin one as a word of a
    // sentence ("è diabetico").
    const auto standsAlone = [begin, end](const char16_t *from, const char16_t *to,
                                          const WordVerdict &verdict, bool besideJapanese) {
        if (!verdict.lone || verdict.plausibility == Plausibility::Implausible) return false;
        if (verdict.script == Kind::Latin)
            return (from == begin || isSeparator(from[-1])) && to + 1 < end && *to == u' ' &&
                   isLower(to[1]) && to[1] < 0x80;
        return verdict.script == Kind::Greek &&
               (besideJapanese ||
                (to < end && isJoiner(*to) &&
                 (*to != u'-' || (to + 1 < end && (isJoiner(to[1]) || isAsciiLetter(to[1]))))));
    };
    static const WordVerdict kNoWord;
    for (const char16_t *p = begin; p < end;) {
        if (endsWord(*p)) {
            if (*p == u',' || *p == u'\t') endField();
            weighCharacters(p, p + 1, kNoWord, 0);
            ++p;
            continue;
        }
        const char16_t *wordEnd = p;
        bool outsideAscii = false, japanese = false;
        for (; wordEnd < end && !endsWord(*wordEnd); ++wordEnd) {
            outsideAscii = outsideAscii || *wordEnd >= 0x80;
            japanese = japanese || (reading == Reading::Utf8 && isJapanese(*wordEnd));
        }
        // A word of ASCII letters alone reads the same either way. Read as UTF-8, a name of
        // another alphabet glued to Japanese is a word of its own: "Líviaさん", "José・Ana".
        const char16_t *from = p;
        for (const char16_t *q = p + 1; q <= wordEnd; ++q) {
            if (q < wordEnd && (reading != Reading::Utf8 || !japanese || japaneseAt(q) == japaneseAt(q - 1) ||
                                isHalfWidth(*q) || isHalfWidth(q[-1]) || QChar::isLowSurrogate(*q)))
                continue;
            if (!outsideAscii || std::none_of(from, q, [](char16_t c) { return c >= 0x80; })) {
                w.characters += q - from;
                from = q;
                continue;
            }
            const WordVerdict verdict =
                judgeWord(from, q - from, reading, from > begin && isJoiner(from[-1]), q < end ? *q : 0,
                          reading == Reading::Utf8 ? &signs : nullptr);
            const bool alone =
                reading == Reading::Utf8 && standsAlone(from, q, verdict, q - from < wordEnd - p);
            const bool greekWord = !alone && verdict.lone && verdict.script == Kind::Greek &&
                                   verdict.plausibility == Plausibility::Lonely &&
                                   !(from > begin && from[-1] >= u'0' && from[-1] <= u'9');
            if (verdict.company) company |= 1u << int(verdict.script);
            if (verdict.script == Kind::Latin || verdict.script == Kind::Cyrillic ||
                verdict.script == Kind::Hangul || verdict.script == Kind::Other)
                otherAlphabet = true;
            if (greekWord)
                ++greekWords;
            else if (verdict.plausibility == Plausibility::Lonely &&
                     !(alone && verdict.script == Kind::Greek))
                ++lonely[int(verdict.script)];
            else if (verdict.plausibility == Plausibility::Implausible)
                ++w.implausible;
            weighCharacters(from, q, verdict, alone ? 1 : greekWord ? 2 : 0);
            from = q;
        }
        p = wordEnd;
    }
    endField();
    return w;
}

// The line of `text` (QStringView or QByteArrayView) from `at`, and `at` moved past its line
// end: lines end at CR LF, CR or LF, which both readings share. After the last line `at` is
// past the end of the text.
template <typename View>
View nextLine(View text, qsizetype &at) {
    const qsizetype start = at;
    qsizetype end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    at = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
    return text.sliced(start, end - start);
}

// Calls `f` with each line of `text`.
template <typename View, typename F>
void forEachLine(View text, F f) {
    for (qsizetype at = 0; at <= text.size();) f(nextLine(text, at));
}

Weight weigh(QStringView text, Reading reading) {
    Weight w;
    forEachLine(text, [&](QStringView line) { w.add(weighLine(line, reading)); });
    return w;
}

// The likelier of two readings, by their weights: the one with fewer words that no writer
// writes, then the one with fewer rare halves; on a tie Shift-JIS, unless UTF-8 gives fewer
// characters, all kana and kanji (a UTF-8 kanji is three bytes, and its first two read as a
// second-level kanji in Shift-JIS: 茉莉 is "闌芽脂").
Reading likelier(const Weight &utf8, const Weight &cp932) {
    if (utf8.implausible != cp932.implausible)
        return utf8.implausible < cp932.implausible ? Reading::Utf8 : Reading::ShiftJis;
    if (utf8.rareHalves != cp932.rareHalves)
        return utf8.rareHalves < cp932.rareHalves ? Reading::Utf8 : Reading::ShiftJis;
    return utf8.characters < cp932.characters && utf8.kanaAndKanjiOnly ? Reading::Utf8 : Reading::ShiftJis;
}

// Whether a reading of the bytes of a file reads it. Strict: no character cut short.
std::optional<QString> readAs(QByteArrayView bytes, Reading reading) {
    if (reading == Reading::Utf8) {
        if (!TextEncoding::isValidUtf8(bytes)) return std::nullopt;
        return QString::fromUtf8(bytes);
    }
    return TextEncoding::fromCp932(QByteArray::fromRawData(bytes.data(), bytes.size()));
}

bool hasByteOutsideAscii(QByteArrayView bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

const QString kMixed = QStringLiteral("Shift-JIS and UTF-8 lines mixed");

// Of two plausible readings of a line in kana and kanji alone, the one that spares a whole rare
// character is far likelier: UTF-8's 伊藤 against Shift-JIS's "莨願陸". Within one writing
// system, rarity is what tells a reading from a misreading.
bool farLikelier(const Weight &reading, const Weight &other) {
    return reading.implausible == 0 && other.implausible == 0 && reading.kanaAndKanjiOnly &&
           other.kanaAndKanjiOnly && reading.rareHalves + 2 <= other.rareHalves;
}

// What the lines of a file without a mark tell of its encoding, each line outside ASCII weighed
// once in each reading that reads it. A line that only one reading makes plausible, or makes
// far likelier, speaks for the whole file; a line plausible in both is taken in either. A line
// is refused only where the file's reading makes it implausible (mixed where the other reading
// fits it) or where the other reading is far likelier.
class Evidence {
public:
    // `texts` are the file's readings in Shift-JIS and in UTF-8, where they read it whole.
    Evidence(QByteArrayView bytes, const std::optional<QString> (&texts)[2]) {
        qsizetype at = 0, atText[2] = {};
        QString lineRead[2];
        for (qsizetype number = 1; at <= bytes.size(); ++number) {
            const QByteArrayView line = nextLine(bytes, at);
            QStringView read[2];
            for (int r = 0; r < 2; ++r)
                if (texts[r]) read[r] = nextLine(QStringView(*texts[r]), atText[r]);
            if (!hasByteOutsideAscii(line)) continue;
            // A line that one reading alone reads is what that reading makes of it.
            const auto readsLine = [&](int r) {
                if (texts[r]) return true;
                std::optional<QString> alone = readAs(line, readingAt(r));
                if (alone) lineRead[r] = std::move(*alone), read[r] = lineRead[r];
                return alone.has_value();
            };
            if (!readsLine(0) || !readsLine(1)) continue;
            const Weight weight[2] = {weighLine(read[0], readingAt(0)), weighLine(read[1], readingAt(1))};
            weighed_ = true;
            for (int r = 0; r < 2; ++r) {
                total_[r].add(weight[r]);
                const Weight &own = weight[r], &other = weight[1 - r];
                if (own.implausible == 0 && other.implausible > 0) ++plausibleOnly_[r];
                if (farLikelier(own, other)) ++farLikelier_[r];
                if (!refusal_[r].isNull()) continue;
                if (own.implausible > 0)
                    refusal_[r] =
                        other.implausible == 0
                            ? kMixed
                            : QStringLiteral("line %1 fits neither Shift-JIS nor UTF-8").arg(number);
                else if (farLikelier(other, own))
                    refusal_[r] = kMixed;
            }
        }
    }

    // The reading of a file that both encodings read: the one its lines speak for, else the
    // likelier for the whole text. None where no line speaks and Shift-JIS wins a tie or by a
    // rare character at most: a UTF-8 reading wins by what its words show (a unit, a Greek
    // prefix), a Shift-JIS one so narrowly by the bare count of half-width kana, and a guess
    // would store "ﾂｵ" for µ, "SMRﾅｽ" for SMRŽ or "TNF ﾎｱ" for TNF α, however many of them.
    std::optional<Reading> reading() const {
        const Weight &utf8 = total_[kUtf8Index], &cp932 = total_[kCp932Index];
        if (const std::optional<Reading> lines = toldByLines()) return lines;
        // Lines of both: mixed either way.
        if (plausibleOnly_[0] + plausibleOnly_[1] + farLikelier_[0] + farLikelier_[1] > 0)
            return likelier(utf8, cp932);
        const Reading reading = likelier(utf8, cp932);
        if (weighed_ && reading == Reading::ShiftJis && utf8.implausible == cp932.implausible &&
            utf8.rareHalves <= cp932.rareHalves + 2)
            return std::nullopt;
        // UTF-8 wins only by names whose one accented letter at their edge is a half-width pair
        // in Shift-JIS: "Inlayò" and "Niccolò" are the same bytes as "Inlayﾃｲ" and "Niccolﾃｲ".
        if (reading == Reading::Utf8 && utf8.edgePairHalves > 0) {
            Weight unnamed = utf8;
            unnamed.rareHalves += utf8.edgePairHalves;
            if (likelier(unnamed, cp932) != Reading::Utf8) return std::nullopt;
        }
        return reading;
    }

    // The likelier reading for the whole text, however narrowly.
    Reading leaning() const { return likelier(total_[kUtf8Index], total_[kCp932Index]); }

    // The reading that lines of the file speak for, and none of the other: none where none do.
    std::optional<Reading> toldByLines() const {
        for (const qsizetype *lines : {plausibleOnly_, farLikelier_}) {
            if ((lines[0] > 0) != (lines[1] > 0))
                return lines[kUtf8Index] > 0 ? Reading::Utf8 : Reading::ShiftJis;
            if (lines[0] > 0) return std::nullopt;
        }
        return std::nullopt;
    }

    // Why the file is not taken in `reading`; null when it is.
    QString refusal(Reading reading) const { return refusal_[index(reading)]; }

    static constexpr int kCp932Index = 0, kUtf8Index = 1;
    static int index(Reading reading) { return reading == Reading::Utf8 ? kUtf8Index : kCp932Index; }
    static Reading readingAt(int index) { return index == kUtf8Index ? Reading::Utf8 : Reading::ShiftJis; }

private:
    qsizetype plausibleOnly_[2] = {}, farLikelier_[2] = {};
    bool weighed_ = false;  // a line outside ASCII, which the readings read apart
    Weight total_[2];
    QString refusal_[2];
};

// The reading of bytes that one encoding or both read, or none, and why the file is refused in
// it (null where it is taken); `leaning`, the reading its weights favour, even where too
// narrowly to decide.
struct Decision {
    std::optional<Reading> reading;
    QString refusal;
    Reading leaning = Reading::ShiftJis;
};

Decision decide(QByteArrayView bytes, const std::optional<QString> (&texts)[2]) {
    const Evidence evidence(bytes, texts);
    if (!texts[Evidence::kCp932Index] || !texts[Evidence::kUtf8Index]) {
        const Reading only = texts[Evidence::kCp932Index] ? Reading::ShiftJis : Reading::Utf8;
        return {only, evidence.refusal(only), only};
    }
    const std::optional<Reading> reading = evidence.reading();
    if (!reading) return {std::nullopt, TextEncoding::kCannotTell, evidence.leaning()};
    return {reading, evidence.refusal(*reading), *reading};
}

// The signs of Latin-1 whose two bytes in UTF-8 are "ﾂ" and a half-width kana in Shift-JIS
// (C2 A1..BF): ¡ ª « ° · º » ¿, ½ ¼ ² ³ § ± ® ´ µ and the others.
bool isSignPair(unsigned char second) {
    return second >= 0xA1 && second <= 0xBF;
}

// The bytes with each sign pair that `which` picks made two spaces; null where there is none.
// Where `shiftJisToo`, only those that begin a character in Shift-JIS too, so that both readings
// still read the bytes. Unless `beforeMarks`, a sign before a half-width sound mark stays, and
// *kept says whether one did.
QByteArray withoutSigns(QByteArrayView bytes, bool shiftJisToo, bool (*which)(unsigned char second),
                        bool beforeMarks, bool *kept) {
    const auto at = [bytes](qsizetype i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    QByteArray without;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto byte = at(i);
        if (byte == 0xC2 && which(at(i + 1))) {
            if (beforeMarks || (at(i + 2) != 0xDE && at(i + 2) != 0xDF)) {
                if (without.isNull()) without = bytes.toByteArray();
                without[i] = without[i + 1] = ' ';
            } else {
                *kept = true;
            }
            i += 2;
            continue;
        }
        i += shiftJisToo && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) ? 2 : 1;
    }
    return without;
}

// The decision for bytes without some of their signs, and whether it is Shift-JIS for what the
// rest shows: text outside ASCII that both readings read is weighed, and Shift-JIS is decided for
// it only by what it shows, never as ASCII alone or too narrowly to decide.
struct Rest {
    bool signs = false;  // whether the bytes hold any of them
    Decision decision;
    bool toldShiftJis = false;
};
Rest decideOn(const QByteArray &neutral, bool both) {
    std::optional<QString> texts[2];
    for (int r = 0; r < 2; ++r)
        if (both || r == Evidence::kUtf8Index) texts[r] = readAs(neutral, Evidence::readingAt(r));
    Rest rest{true, decide(neutral, texts)};
    rest.toldShiftJis = rest.decision.reading == Reading::ShiftJis && hasByteOutsideAscii(neutral);
    return rest;
}

// A sign before a half-width sound mark is in Shift-JIS the kana of a word ("ﾂｺﾞｳ 7/5"), whose
// mark would be left on nothing; it stays, unless the text without it leans to UTF-8: there the
// mark is a byte of damage after a sign ("Concepció" beside "·" and junk), which would read as
// Shift-JIS whatever the names show.
Rest decideWithout(QByteArrayView bytes, bool both, bool (*which)(unsigned char second)) {
    bool kept = false;
    const QByteArray all = withoutSigns(bytes, both, which, true, &kept);
    if (all.isNull()) return {};
    Rest rest = decideOn(all, both);
    if (rest.decision.leaning == Reading::Utf8) return rest;
    const QByteArray beside = withoutSigns(bytes, both, which, false, &kept);
    if (!kept) return rest;
    return decideOn(beside.isNull() ? bytes.toByteArray() : beside, both);
}

// The reading of bytes where the signs of Latin-1 never decide Shift-JIS by themselves, nor the
// Romance ones either reading: each is what its half-width pair is in Shift-JIS, which notes glue
// to their abbreviations and digits ("CTﾂｷ", "2ﾂｺ"), and where one stands tells too little. The
// rest of the text, the Romance signs made spaces, decides first: UTF-8 there is UTF-8 wherever
// the signs stand ("Rodríguez" beside "RX 2º"), refused only for what the rest holds, as is a text
// that UTF-8 alone reads. Shift-JIS is kept only where the signs make it Shift-JIS too and the
// rest tells Shift-JIS by text of its own, without any sign of Latin-1: "Mª" beside names in ASCII
// is "Mﾂｪ" in Shift-JIS, "½ + ¼" is "ﾂｽ + ﾂｼ", and a name stored so is worse than a file kept.
// Otherwise the text cannot be told, whatever line the signs make implausible.
Decision decideWithSigns(QByteArrayView bytes, const std::optional<QString> (&texts)[2]) {
    Decision full = decide(bytes, texts);
    if (!texts[Evidence::kUtf8Index]) return full;
    const bool both = texts[Evidence::kCp932Index].has_value();
    const auto cannotTell = [](const Rest &rest) {
        return Decision{std::nullopt, TextEncoding::kCannotTell, rest.decision.leaning};
    };
    const Rest romance =
        decideWithout(bytes, both, [](unsigned char second) { return isRomanceSign(second); });
    if (romance.decision.reading == Reading::Utf8) return romance.decision;
    if (romance.signs && !(full.reading == Reading::ShiftJis && romance.toldShiftJis &&
                           (full.refusal.isNull() || full.refusal == romance.decision.refusal)))
        return cannotTell(romance);
    if (full.reading != Reading::ShiftJis || !full.refusal.isNull()) return full;
    const Rest bare = decideWithout(bytes, both, isSignPair);
    return bare.signs && !bare.toldShiftJis ? cannotTell(bare) : full;
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

// UTF-16 without a mark, in the byte order whose reading is plausible. Where both are, the
// order that gives the text of records (commas, tabs, line ends) where the other does not
// decides; failing that, `why` says that the byte order cannot be told. Where neither is, the
// text is read in the order its zero bytes show, as long as it is partly ASCII.
std::optional<QString> utf16WithoutMark(const QByteArray &bytes, QString &why) {
    using Order = TextEncoding::ByteOrder;
    if (bytes.size() % 2 != 0 || !bytes.contains('\0')) return std::nullopt;
    const std::optional<QString> little = TextEncoding::fromUtf16(bytes, Order::LittleEndian);
    const std::optional<QString> big = TextEncoding::fromUtf16(bytes, Order::BigEndian);
    const auto plausible = [](const std::optional<QString> &text) {
        return text && weigh(*text, Reading::Utf8).implausible == 0;
    };
    const auto records = [](const QString &text) {
        return std::any_of(text.cbegin(), text.cend(),
                           [](QChar c) { return c == u',' || c == u'\t' || c == u'\n' || c == u'\r'; });
    };
    const bool littlePlausible = plausible(little), bigPlausible = plausible(big);
    if (littlePlausible && bigPlausible && *little != *big) {
        const bool littleRecords = records(*little), bigRecords = records(*big);
        if (littleRecords != bigRecords) return littleRecords ? little : big;
        why = QStringLiteral("UTF-16 without a byte-order mark whose byte order cannot be told");
        return std::nullopt;
    }
    if (littlePlausible) return little;
    if (bigPlausible) return big;
    if (looksLikeUtf16(bytes)) return TextEncoding::fromUtf16(bytes);
    return std::nullopt;
}

// Why bytes without a mark are no text: a file whose every line is Shift-JIS or UTF-8, but not
// all in the same one, was put together from files of both.
QString noEncoding(const QByteArray &bytes) {
    const QString none = QStringLiteral("neither Shift-JIS nor UTF-8 nor UTF-16 text");
    bool shiftJisOnly = false, utf8Only = false;
    for (const QByteArray &line : bytes.split('\n')) {
        const bool shiftJis = !line.contains('\0') && TextEncoding::isCp932(line);
        const bool utf8 = !line.contains('\0') && TextEncoding::isValidUtf8(line);
        if (!shiftJis && !utf8) return none;
        shiftJisOnly = shiftJisOnly || !utf8;
        utf8Only = utf8Only || !shiftJis;
    }
    return shiftJisOnly && utf8Only ? kMixed : none;
}

}  // namespace

const QString TextEncoding::kCannotTell = QStringLiteral("Shift-JIS or UTF-8, which the text cannot tell");

std::optional<QString> readImportedText(const QByteArray &bytes, QString *refusal) {
    QString why;
    std::optional<QString> text = [&]() -> std::optional<QString> {
        if (bytes.startsWith("\xEF\xBB\xBF")) {
            if (TextEncoding::isValidUtf8(bytes)) return TextEncoding::fromUtf8(bytes);
            why = QStringLiteral("marked as UTF-8 but not UTF-8 text");
            return std::nullopt;
        }
        if (TextEncoding::hasUtf16Bom(bytes)) {
            std::optional<QString> utf16 = TextEncoding::fromUtf16(bytes);
            if (!utf16) why = QStringLiteral("marked as UTF-16 but not UTF-16 text");
            return utf16;
        }
        if (!bytes.contains('\0')) {
            std::optional<QString> texts[2];
            texts[Evidence::kUtf8Index] = readAs(bytes, Reading::Utf8);
            if (!bytes.isEmpty()) texts[Evidence::kCp932Index] = readAs(bytes, Reading::ShiftJis);
            const bool utf8 = texts[Evidence::kUtf8Index].has_value(),
                       cp932 = texts[Evidence::kCp932Index].has_value();
            if (utf8 || cp932) {
                Decision decision = decideWithSigns(bytes, texts);
                why = std::move(decision.refusal);
                if (!decision.reading || !why.isNull()) return std::nullopt;
                return std::move(texts[Evidence::index(*decision.reading)]);
            }
        }
        if (std::optional<QString> utf16 = utf16WithoutMark(bytes, why)) return utf16;
        if (why.isNull()) why = noEncoding(bytes);
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

}  // namespace cvx
