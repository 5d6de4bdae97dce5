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
#include <vector>

#include "platform/ImportedTextReading.h"

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

// Code page 932 read through a table made once from the converter: the import reads each
// line of a file in both of its encodings, and the converter is slow per call.
class Cp932Reader {
public:
    static const Cp932Reader &instance() {
        static const Cp932Reader reader;
        return reader;
    }

    // Appends the characters of `bytes` to `out` (when given); false at the first byte that
    // starts no character of code page 932.
    bool read(QByteArrayView bytes, QString *out) const {
        const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
        const auto *end = p + bytes.size();
        qsizetype at = 0;
        char16_t *to = nullptr;
        if (out) {
            at = out->size();
            out->resize(at + bytes.size());  // never more characters than bytes
            to = reinterpret_cast<char16_t *>(out->data()) + at;
        }
        char16_t *const first = to;
        while (p < end) {
            if (*p < 0x80 && asciiSame_) {
                // Most runs in names and notes are a separator or two.
                const unsigned char *run = p + 1 < end && p[1] >= 0x80 ? p + 1 : pastAscii(p, end);
                if (to) {
                    for (; p < run; ++p) *to++ = *p;
                }
                p = run;
                continue;
            }
            char16_t c = single_[*p];
            if (c == kLead) {
                if (end - p < 2) break;
                c = pairs_[(p[0] - 0x80) * 256 + p[1]];
                if (c == kNone) break;
                p += 2;
            } else if (c == kNone) {
                break;
            } else {
                ++p;
            }
            if (to) *to++ = c;
        }
        if (out) out->resize(at + (to - first));
        return p == end;
    }

private:
    static constexpr char16_t kNone = 0xFFFF, kLead = 0xFFFE;

    Cp932Reader() : pairs_(0x80 * 256, kNone) {
        IconvHandle cd(kHostUtf32, kCp932);
        // One byte or two, read alone: the character, kLead for a byte that begins a pair,
        // kNone for none.
        const auto readOne = [&](const unsigned char *bytes, size_t size) -> char16_t {
            char *in = reinterpret_cast<char *>(const_cast<unsigned char *>(bytes));
            char32_t code[2] = {};
            char *to = reinterpret_cast<char *>(code);
            size_t inLeft = size, outLeft = sizeof code;
            const size_t r = iconv(cd.get(), &in, &inLeft, &to, &outLeft);
            const int error = errno;
            iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
            if (r == size_t(-1)) return size == 1 && error == EINVAL ? kLead : kNone;
            return outLeft == sizeof code - 4 && code[0] < 0xFFFE ? char16_t(code[0]) : kNone;
        };
        asciiSame_ = cd.isOpen();
        for (int b = 0; b < 256; ++b) {
            const unsigned char byte = static_cast<unsigned char>(b);
            single_[b] = cd.isOpen() ? readOne(&byte, 1) : kNone;
            if (b < 0x80 && single_[b] != b) asciiSame_ = false;
            if (single_[b] == kLead && b < 0x80) single_[b] = kNone;
            if (single_[b] != kLead) continue;
            for (int trail = 0; trail < 256; ++trail) {
                const unsigned char pair[2] = {byte, static_cast<unsigned char>(trail)};
                pairs_[size_t((b - 0x80) * 256 + trail)] = readOne(pair, 2);
            }
        }
    }

    char16_t single_[256];
    std::vector<char16_t> pairs_;  // by (lead - 0x80) * 256 + trail
    bool asciiSame_ = false;       // ASCII bytes read as themselves
};

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
    QString text;
    if (!Cp932Reader::instance().read(bytes, &text)) return std::nullopt;
    return text;
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

}  // namespace

std::optional<QString> TextEncoding::fromImportedText(const QByteArray &bytes, QString *refusal) {
    return readImportedText(bytes, refusal);
}

bool TextEncoding::isCp932(QByteArrayView bytes) {
    return Cp932Reader::instance().read(bytes, nullptr);
}

int TextEncoding::cp932Code(char16_t c) {
    const quint32 entry = cp932Entry(c);
    if (entry == 1) return -1;
    const int lead = int(entry & 0xFF);
    return (entry >> 16) == 1 ? lead : lead << 8 | int(entry >> 8 & 0xFF);
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
