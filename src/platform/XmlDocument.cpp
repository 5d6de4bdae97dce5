#include "platform/XmlDocument.h"

#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileIo.h"
#include "platform/TextEncoding.h"
#include "platform/XmlRecovery.h"

namespace cvx {

namespace {

constexpr const char *kIndent = "    ";
constexpr unsigned kFormat =
    pugi::format_indent | pugi::format_no_declaration | pugi::format_no_empty_element_tags;
// Comments, processing instructions and a DOCTYPE survive a rewrite; CR LF becomes LF as XML requires.
constexpr unsigned kParseTidy = pugi::parse_full;
constexpr unsigned kParseNone = pugi::parse_full | pugi::parse_ws_pcdata;
// The declaration every stored file starts with.
constexpr const char *kStoredDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>";

QString fromPugi(const char *text) {
    // pugixml gives "" for a missing value; callers tell "empty" from "absent" by other means.
    return text && *text ? QString::fromUtf8(text) : QStringLiteral("");
}

class ByteWriter : public pugi::xml_writer {
public:
    void write(const void *data, size_t size) override {
        bytes.append(static_cast<const char *>(data), qsizetype(size));
    }
    QByteArray bytes;
};

class TextCollector : public pugi::xml_tree_walker {
public:
    bool for_each(pugi::xml_node &node) override {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) text.append(node.value());
        return true;
    }
    QByteArray text;
};

// The deepest level of elements below `node`, which is at `depth`; stops counting once past
// the limit, so that it never recurses deeper than that.
int deepestBelow(pugi::xml_node node, int depth) {
    int deepest = depth;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) continue;
        if (depth + 1 > XmlDocument::kMaxDepth) return depth + 1;
        deepest = std::max(deepest, deepestBelow(child, depth + 1));
        if (deepest > XmlDocument::kMaxDepth) return deepest;
    }
    return deepest;
}

// Levels of elements below `node`, counting `node` itself when it is an element; stops
// counting once past the limit.
int elementDepth(pugi::xml_node node) {
    return deepestBelow(node, node.type() == pugi::node_element ? 1 : 0);
}

QByteArray serialize(pugi::xml_node node) {
    ByteWriter writer;
    // Indentation grows with the depth, so a tree deeper than any file may be is written
    // without it: the output stays in proportion to the tree.
    const unsigned format =
        elementDepth(node) > XmlDocument::kMaxDepth ? kFormat | pugi::format_raw : kFormat;
    if (node.type() == pugi::node_document)
        node.print(writer, kIndent, format, pugi::encoding_utf8);
    else
        node.print(writer, kIndent, format, pugi::encoding_utf8, 0);
    return writer.bytes;
}

QString describePosition(const QByteArray &buffer, ptrdiff_t offset) {
    offset = std::clamp<ptrdiff_t>(offset, 0, buffer.size());
    const QByteArray before = buffer.left(offset);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    const qsizetype line = before.count('\n') + 1;
    const qsizetype column = QString::fromUtf8(before.mid(lineStart)).size() + 1;
    return QStringLiteral("line %1, column %2").arg(line).arg(column);
}

void setError(QString *error, const QString &message) {
    if (error) *error = message;
}

// The encoding named by an ASCII-compatible XML declaration at the start of the bytes, or "".
QString declaredEncoding(const QByteArray &bytes) {
    static const QRegularExpression declaration(
        QStringLiteral("^\\s*<\\?xml\\s[^>]*?encoding\\s*=\\s*[\"']([^\"']*)[\"']"));
    const QString head = QString::fromLatin1(bytes.left(512));
    const QRegularExpressionMatch match = declaration.match(head);
    return match.hasMatch() ? match.captured(1) : QString();
}

// The bytes without the half character that a cut left at their end, before what a crash or an
// old editor left there; std::nullopt where they do not end so. Code page 932 ends with a lead
// byte, UTF-8 with a lead byte and fewer continuation bytes than it announces.
std::optional<QByteArray> withoutCutCharacter(QByteArray body, const QByteArray &encoding) {
    while (!body.isEmpty() && (body.back() == '\0' || body.back() == '\x1A')) body.chop(1);
    const auto byte = [&](qsizetype fromEnd) { return uchar(body[body.size() - fromEnd]); };
    if (encoding == "CP932") {
        if (body.isEmpty() || !((byte(1) >= 0x81 && byte(1) <= 0x9F) || (byte(1) >= 0xE0 && byte(1) <= 0xFC)))
            return std::nullopt;
        body.chop(1);
        return body;
    }
    if (encoding != "UTF-8") return std::nullopt;
    for (qsizetype fromEnd = 1; fromEnd <= std::min<qsizetype>(3, body.size()); ++fromEnd) {
        const uchar c = byte(fromEnd);
        if (c >= 0x80 && c <= 0xBF) continue;  // a continuation byte
        // 0xC0, 0xC1 and 0xF5 to 0xFF start no character: bytes that are no text, not half of one.
        const qsizetype announced = c >= 0xF5 ? 0 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (announced <= fromEnd) return std::nullopt;
        body.chop(fromEnd);
        return body;
    }
    return std::nullopt;
}

// UTF-16 without the half character that a cut left at its end: an odd byte, then a lone first
// half of a surrogate pair, before the zero units of a crash tail, if any.
std::optional<QString> fromCutUtf16(QByteArray bytes, TextEncoding::ByteOrder order) {
    if (bytes.size() % 2) bytes.chop(1);
    const auto unitAt = [&](qsizetype at) {
        const char *p = bytes.constData() + at;
        return order == TextEncoding::ByteOrder::LittleEndian ? qFromLittleEndian<char16_t>(p)
                                                              : qFromBigEndian<char16_t>(p);
    };
    qsizetype last = bytes.size() - 2;
    while (last >= 0 && unitAt(last) == 0) last -= 2;
    if (last < 0) return std::nullopt;
    if (QChar::isHighSurrogate(unitAt(last))) bytes.remove(last, 2);
    return TextEncoding::fromUtf16(bytes, order);
}

// The document's bytes as UTF-8 text for the parser.
std::optional<QByteArray> decodeForParsing(const QByteArray &bytes, XmlDocument::Option option,
                                           QString *error, bool *substituted = nullptr) {
    const bool lossy = option == XmlDocument::Option::Tidy;
    // Strict first: only a text that needs them gets replacement characters, and says so.
    // A cut file may end with half a character: the cut lost it, and it is no text to keep.
    const auto decode = [&](const QByteArray &body, const QByteArray &name) {
        std::optional<QString> text = TextEncoding::decode(body, name, false);
        if (!text && lossy) {
            if (const std::optional<QByteArray> whole = withoutCutCharacter(body, name))
                text = TextEncoding::decode(*whole, name, false);
        }
        if (!text && lossy) {
            text = TextEncoding::decode(body, name, true);
            if (text && substituted) *substituted = true;
        }
        return text;
    };
    // A crash zeroes from a sector boundary, an even offset: zeros that begin at an odd one are
    // the second byte of the last character ("<" is 3C 00 in little-endian order), which stays.
    // Only an odd last byte and a lone first half of a surrogate pair are half a character.
    const auto utf16 = [&](const QByteArray &body, TextEncoding::ByteOrder order) {
        std::optional<QString> text = TextEncoding::fromUtf16(body, order);
        return text || !lossy ? text : fromCutUtf16(body, order);
    };
    auto viaText = [&](const std::optional<QString> &text, const QString &what) -> std::optional<QByteArray> {
        if (!text) {
            setError(error, QStringLiteral("the text cannot be decoded as %1").arg(what));
            return std::nullopt;
        }
        return text->toUtf8();
    };

    if (bytes.startsWith(QByteArrayLiteral("\xFF\xFE\x00\x00")) ||
        bytes.startsWith(QByteArrayLiteral("\x00\x00\xFE\xFF")))
        return viaText(decode(bytes, "UTF-32"), QStringLiteral("UTF-32"));
    if (TextEncoding::hasUtf16Bom(bytes))
        return viaText(utf16(bytes, bytes.startsWith("\xFF\xFE") ? TextEncoding::ByteOrder::LittleEndian
                                                                 : TextEncoding::ByteOrder::BigEndian),
                       QStringLiteral("UTF-16"));
    if (bytes.size() >= 2 && bytes[0] == '<' && bytes[1] == '\0')
        return viaText(utf16(bytes, TextEncoding::ByteOrder::LittleEndian), QStringLiteral("UTF-16"));
    if (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] == '<')
        return viaText(utf16(bytes, TextEncoding::ByteOrder::BigEndian), QStringLiteral("UTF-16"));

    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    } else {
        // The declaration every stored file starts with is known without a look at the text.
        const bool plain = body.startsWith(kStoredDeclaration);
        const QString label = plain ? QStringLiteral("UTF-8") : declaredEncoding(body);
        const QByteArray name = TextEncoding::iconvName(label);
        // A declaration readable as ASCII rules out a 16- or 32-bit encoding, whatever it claims.
        const bool wide = name.startsWith("UTF-16") || name.startsWith("UTF-32") || name.startsWith("UCS");
        if (name != "UTF-8" && !wide) return viaText(decode(body, name), label);
    }
    if (TextEncoding::isValidUtf8(body)) return body;
    if (lossy) {
        const std::optional<QByteArray> whole = withoutCutCharacter(body, "UTF-8");
        if (whole && TextEncoding::isValidUtf8(*whole)) return *whole;
        if (substituted) *substituted = true;
        return TextEncoding::fromUtf8Lossy(body).toUtf8();
    }
    setError(error, QStringLiteral("the text is not valid UTF-8"));
    return std::nullopt;
}

// Where text stands before the first element, which pugixml drops unseen; -1 when nowhere. `end`
// is the end of the text without trailing white space.
qsizetype textBeforeTheTree(const QByteArray &utf8, const char *end) {
    const char *begin = utf8.constData(), *p = begin;
    // The declaration, processing instructions, comments and a DOCTYPE before the root.
    for (;;) {
        // White space, and byte-order marks beyond the first (which decoding took).
        for (; p < end && (isXmlSpace(*p) || QByteArrayView(p, end - p).startsWith("\xEF\xBB\xBF"));)
            p += isXmlSpace(*p) ? 1 : 3;
        const QByteArrayView rest(p, end - p);
        const char *close = rest.startsWith("<?")       ? "?>"
                            : rest.startsWith("<!--")   ? "-->"
                            : rest.startsWith("<!DOCT") ? ">"
                                                        : nullptr;
        if (!close) break;
        // A DOCTYPE with an internal subset ends at "]" and ">".
        if (*close == '>' && rest.indexOf('[') >= 0 && rest.indexOf('[') < rest.indexOf('>')) close = "]>";
        const qsizetype at = utf8.indexOf(close, p - begin);
        if (at < 0) return -1;  // pugixml has read it; leave it to its reading
        p = begin + at + qsizetype(std::strlen(close));
    }
    return p < end && *p != '<' ? p - begin : -1;
}

// Whether the text ends with the end tag of the root, or with "/>" when the root holds nothing.
bool endsWithTheRoot(QByteArrayView text, const pugi::xml_node &root) {
    while (!text.isEmpty() && isXmlSpace(text.back())) text.chop(1);
    if (!text.endsWith('>')) return false;
    text.chop(1);
    while (!text.isEmpty() && isXmlSpace(text.back())) text.chop(1);
    return text.endsWith(QByteArray("</") + root.name()) || (!root.first_child() && text.endsWith('/'));
}

// Whether the text shows the end of its one root, followed by nothing but comments and processing
// instructions: pugixml drops text after the root unseen, and the text before a second root. Where
// those that follow the root stand is taken from the tree (a processing instruction may hold
// "<?", a comment "<!--"), which was parsed from a copy of `utf8`.
bool closesTheTree(const QByteArray &utf8, const pugi::xml_document &document) {
    pugi::xml_node root;
    for (const pugi::xml_node &node : document.children()) {
        if (node.type() != pugi::node_element) continue;
        if (root) return false;
        root = node;
    }
    if (!root) return true;  // no root is a fault of its own
    const auto blank = [&](qsizetype from, qsizetype to) {
        return std::all_of(utf8.cbegin() + from, utf8.cbegin() + to, isXmlSpace);
    };
    const qsizetype content = endOfContent(utf8.cbegin(), utf8.cend()) - utf8.cbegin();
    qsizetype treeEnd = content, cursor = -1;
    for (pugi::xml_node node = root.next_sibling(); node; node = node.next_sibling()) {
        const bool comment = node.type() == pugi::node_comment;
        const QByteArrayView open = comment ? "<!--" : "<?", close = comment ? "-->" : "?>";
        // A comment is placed by its text, an instruction by its target.
        const qsizetype start = qsizetype(node.offset_debug()) - open.size();
        if ((!comment && node.type() != pugi::node_pi) || start < 0 || start > content ||
            !QByteArrayView(utf8).sliced(start).startsWith(open) || (cursor >= 0 && !blank(cursor, start)))
            return false;
        if (cursor < 0) treeEnd = start;
        const qsizetype end = utf8.indexOf(close, start + open.size());
        if (end < 0) return false;
        cursor = end + close.size();
    }
    if (cursor >= 0 && (cursor > content || !blank(cursor, content))) return false;
    return endsWithTheRoot(QByteArrayView(utf8.constData(), treeEnd), root);
}

// Where pugixml would read the text without a fault yet lose part of it, before it is parsed; -1
// when nowhere: a NUL byte ends its reading, it writes a character reference to no character (NUL,
// a surrogate, past U+10FFFF) as a NUL that cuts the text or as bytes that are not UTF-8, and it
// drops text before the elements. Text after them is for closesTheTree.
qsizetype lostToParsing(const QByteArray &utf8) {
    const char *begin = utf8.constData(), *end = begin + utf8.size();
    end = endOfContent(begin, end);
    if (std::memchr(begin, 0, size_t(end - begin))) return qsizetype(utf8.indexOf('\0'));
    if (const qsizetype at = textBeforeTheTree(utf8, end); at >= 0) return at;
    // A reference that names no character; most texts have none, and only they are read again.
    auto noCharacter = [&](qsizetype at) {
        const auto [length, code] = characterReferenceAt(begin + at, end);
        return length && (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF));
    };
    bool any = false;
    for (const char *p = begin; !any && (p = static_cast<const char *>(std::memchr(p, '&', size_t(end - p))));
         ++p)
        any = noCharacter(p - begin);
    if (!any) return -1;
    // Comments, CDATA sections and processing instructions hold no references; an attribute value
    // may hold what looks like their start.
    bool inTag = false;
    char quote = 0;
    for (qsizetype at = 0; at < end - begin;) {
        const QByteArrayView rest(begin + at, end - begin - at);
        if (inTag) {
            const char c = rest[0];
            if (quote && c == '&' && noCharacter(at)) return at;
            if (c == quote)
                quote = 0;
            else if (!quote && (c == '"' || c == '\''))
                quote = c;
            else if (!quote && c == '>')
                inTag = false;
            ++at;
            continue;
        }
        const qsizetype open = rest.startsWith("<!--")        ? 4
                               : rest.startsWith("<![CDATA[") ? 9
                               : rest.startsWith("<?")        ? 2
                                                              : 0;
        const char *close = open == 4 ? "-->" : open == 9 ? "]]>" : "?>";
        if (open) {
            at = utf8.indexOf(close, at + open);
            if (at < 0) return -1;
            at += qsizetype(std::strlen(close));
        } else if (rest.startsWith("&#") && noCharacter(at)) {
            return at;
        } else {
            inTag = rest[0] == '<';
            ++at;
        }
    }
    return -1;
}

// Whether the element bears two attributes of one name, which a strict reader refuses; with
// `differing`, two of one name and different values, of which a reader shows one and hides the
// other.
bool repeatsAnAttribute(const pugi::xml_node &node, bool differing = false) {
    // Most elements bear a handful of attributes; a damaged or hostile one may bear hundreds of
    // thousands, which pairs of them would take minutes to compare.
    constexpr int kFew = 8;
    int count = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a && count <= kFew; a = a.next_attribute()) ++count;
    if (count <= kFew) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                if (std::strcmp(a.name(), b.name()) == 0 &&
                    (!differing || std::strcmp(a.value(), b.value()) != 0))
                    return true;
        return false;
    }
    std::unordered_map<std::string_view, std::string_view> values;
    for (const pugi::xml_attribute &a : node.attributes()) {
        const auto [seen, added] = values.try_emplace(a.name(), a.value());
        if (!added && (!differing || seen->second != a.value())) return true;
    }
    return false;
}

pugi::xml_node hidesAnAttribute(const pugi::xml_document &doc) {
    return doc.find_node([](const pugi::xml_node &node) { return repeatsAnAttribute(node, true); });
}

// What every reading asks of the tree that pugixml made of a text without a fault, in place or
// not: a root, no attribute that hides another, no deeper nesting than a file has. `utf8` is the
// text, to place a fault in *error; `tooDeep`, when given, is set where only the nesting fails.
bool isSoundTree(const pugi::xml_document &doc, const QByteArray &utf8, QString *error,
                 bool *tooDeep = nullptr) {
    if (!doc.document_element()) {
        setError(error, QStringLiteral("no root element"));
        return false;
    }
    if (const pugi::xml_node element = hidesAnAttribute(doc)) {
        setError(error,
                 QStringLiteral("%1: an attribute of <%2> given twice, with two values")
                     .arg(describePosition(utf8, element.offset_debug()), QString::fromUtf8(element.name())));
        return false;
    }
    if (elementDepth(doc) > XmlDocument::kMaxDepth) {
        setError(error, QStringLiteral("elements nested deeper than %1 levels").arg(XmlDocument::kMaxDepth));
        if (tooDeep) *tooDeep = true;
        return false;
    }
    return true;
}

// The last check of every tree a reading hands out, whatever made it (a parse in place, a parse,
// a repair): a result or list holding a value twice would show one of them as its own.
bool passesLastCheck(const pugi::xml_document &doc, QString *why) {
    return holdsEachNameOnce(doc.document_element(), why);
}

// `tooDeep`, when given, is set when the text is well-formed but nested too deep.
std::shared_ptr<pugi::xml_document> parseUtf8(const QByteArray &utf8, XmlDocument::Option option,
                                              QString *error, bool *tooDeep = nullptr) {
    auto doc = std::make_shared<pugi::xml_document>();
    const pugi::xml_parse_result result =
        doc->load_buffer(utf8.constData(), size_t(utf8.size()),
                         option == XmlDocument::Option::Tidy ? kParseTidy : kParseNone, pugi::encoding_utf8);
    // pugixml keeps what it parsed before an error; a partial tree is never handed out.
    if (!result) {
        setError(error, QStringLiteral("%1: %2").arg(describePosition(utf8, result.offset),
                                                     QString::fromUtf8(result.description())));
        return nullptr;
    }
    qsizetype lost = lostToParsing(utf8);
    if (lost < 0 && !closesTheTree(utf8, *doc))
        lost = endOfContent(utf8.cbegin(), utf8.cend()) - utf8.cbegin();
    if (lost >= 0) {
        setError(error,
                 QStringLiteral("%1: text that the reading would drop").arg(describePosition(utf8, lost)));
        return nullptr;
    }
    return isSoundTree(*doc, utf8, error, tooDeep) ? doc : nullptr;
}

// `source` names the file in the repair report; empty for a text in memory.
std::shared_ptr<pugi::xml_document> parseBytes(const QByteArray &bytes, XmlDocument::Option option,
                                               QString *error, const QString &source,
                                               bool *substituted = nullptr) {
    const std::optional<QByteArray> utf8 = decodeForParsing(bytes, option, error, substituted);
    if (!utf8) return nullptr;
    bool tooDeep = false;
    std::shared_ptr<pugi::xml_document> doc = parseUtf8(*utf8, option, error, &tooDeep);
    const auto refuseRepeatedNames = [&](std::shared_ptr<pugi::xml_document> &tree, QString *why) {
        if (tree && !passesLastCheck(*tree, why)) tree.reset();
    };
    if (tooDeep || option != XmlDocument::Option::Tidy) {
        refuseRepeatedNames(doc, error);
        return doc;
    }
    const bool damaged = !doc;
    QString problem, loss;
    // Tidy reading repairs what a recovering parser can repair; the tree stays pugixml's.
    if (damaged) {
        const XmlParse parse = [&](const QByteArray &text) { return parseUtf8(text, option, nullptr); };
        doc = repairedTree(*utf8, parse, &loss, &problem);
    }
    // The last word on every repaired reading, whatever rules made its tree: it holds all the text
    // holds. A well-formed text is read as it stands, and no rule shapes its tree.
    if (doc && damaged && !treeKeepsTheText(*utf8, *doc, &loss)) {
        loss = QStringLiteral("the reading would lose data: %1").arg(loss);
        doc.reset();
    }
    refuseRepeatedNames(doc, &loss);
    if (!doc) {
        // Without a word of the repair, the parse's own fault tells why.
        if (!loss.isEmpty())
            setError(error,
                     damaged && error ? QStringLiteral("%1; not repaired: %2").arg(*error, loss) : loss);
        return nullptr;
    }
    if (!damaged) return doc;
    if (problem.isEmpty() && error) problem = *error;
    setError(error, QString());
    reportXmlRepair(source.isEmpty() ? QStringLiteral("a text") : source, bytes, problem);
    return doc;
}

// False for anything but a regular file read to its end; `buffer` keeps its room for the next.
bool readRegularFile(const QString &path, QByteArray &buffer) {
    return fileio::readRegularFile(AT_FDCWD, QFile::encodeName(path).constData(), 0, buffer);
}

std::optional<QByteArray> readRegularFile(const QString &path) {
    QByteArray bytes;
    if (!readRegularFile(path, bytes)) return std::nullopt;
    return bytes;
}

// A strict reader of a file's start for rootAttributesOfFile: it accepts only what every reading
// of the file (pugixml's, and the recovering parser's when the rest is broken) takes the same way.
class PlainHead {
public:
    explicit PlainHead(QByteArrayView bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

    std::optional<QList<XmlAttribute>> rootAttributes() {
        if (startsWith("<?xml") && !declaration()) return std::nullopt;
        spaces();
        if (!take('<') || !nameStart()) return std::nullopt;
        const char *name = p_;
        while (p_ < end_ && isNameChar(*p_)) ++p_;
        if (p_ == name) return std::nullopt;
        QList<XmlAttribute> attributes;
        for (;;) {
            const bool spaced = spaces();
            if (take('>') || (startsWith("/>"))) return attributes;
            QByteArrayView attrName, value;
            if (!spaced || !pair(attrName, value)) return std::nullopt;
            // Values holding other than plain characters are read by the whole parse.
            for (char c : value)
                if (uchar(c) < 0x20 || c == '<' || c == '&') return std::nullopt;
            if (!TextEncoding::isValidUtf8(value) || value.contains("\xEF\xBF\xBE") ||
                value.contains("\xEF\xBF\xBF"))
                return std::nullopt;
            XmlAttribute attribute{QString::fromLatin1(attrName),
                                   value.isEmpty() ? QStringLiteral("") : QString::fromUtf8(value)};
            for (const XmlAttribute &seen : std::as_const(attributes))
                if (seen.name == attribute.name) return std::nullopt;
            attributes.append(attribute);
        }
    }

private:
    static bool isNameChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-' || c == '.';
    }
    bool nameStart() const {
        return p_ < end_ && ((*p_ >= 'a' && *p_ <= 'z') || (*p_ >= 'A' && *p_ <= 'Z') || *p_ == '_');
    }
    bool startsWith(const char *text) const {
        const size_t length = std::strlen(text);
        return size_t(end_ - p_) >= length && std::memcmp(p_, text, length) == 0;
    }
    bool take(char c) {
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }
    bool spaces() {
        const char *start = p_;
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\n' || *p_ == '\r')) ++p_;
        return p_ != start;
    }
    // name S? = S? quoted value
    bool pair(QByteArrayView &name, QByteArrayView &value) {
        if (!nameStart()) return false;
        const char *start = p_;
        while (p_ < end_ && isNameChar(*p_)) ++p_;
        name = QByteArrayView(start, p_ - start);
        spaces();
        if (!take('=')) return false;
        spaces();
        if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
        const char quote = *p_++;
        start = p_;
        while (p_ < end_ && *p_ != quote) ++p_;
        if (p_ == end_) return false;
        value = QByteArrayView(start, p_ - start);
        ++p_;
        return true;
    }
    // Only a declaration that names UTF-8 or no encoding, with nothing but version 1.0 and
    // standalone beside it.
    bool declaration() {
        p_ += 5;
        bool version = false, encoding = false, standalone = false;
        for (;;) {
            const bool spaced = spaces();
            if (startsWith("?>")) {
                p_ += 2;
                return version;
            }
            QByteArrayView name, value;
            if (!spaced || !pair(name, value)) return false;
            if (name == "version" && !version && value == "1.0") {
                version = true;
            } else if (name == "encoding" && version && !encoding && !standalone &&
                       value.compare("UTF-8", Qt::CaseInsensitive) == 0) {
                encoding = true;
            } else if (name == "standalone" && version && !standalone && (value == "yes" || value == "no")) {
                standalone = true;
            } else {
                return false;
            }
        }
    }

    const char *p_;
    const char *end_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// XmlElement

XmlElement::XmlElement(std::shared_ptr<pugi::xml_document> owner, pugi::xml_node node)
    : owner_(std::move(owner)), node_(node) {}

XmlElement XmlElement::wrap(pugi::xml_node node) const {
    return node ? XmlElement(owner_, node) : XmlElement();
}

XmlElement::Kind XmlElement::kind() const {
    switch (node_.type()) {
        case pugi::node_null:
            return Kind::Null;
        case pugi::node_element:
            return Kind::Element;
        case pugi::node_pcdata:
            return Kind::Text;
        case pugi::node_cdata:
            return Kind::CData;
        case pugi::node_comment:
            return Kind::Comment;
        case pugi::node_pi:
            return Kind::ProcessingInstruction;
        default:
            return Kind::Other;
    }
}

QString XmlElement::name() const {
    return isElement() ? fromPugi(node_.name()) : QStringLiteral("");
}

void XmlElement::setName(const QString &name) {
    if (isElement()) node_.set_name(name.toUtf8().constData());
}

bool XmlElement::hasAttribute(const QString &name) const {
    return isElement() && node_.attribute(name.toUtf8().constData());
}

QString XmlElement::attribute(const QString &name) const {
    if (!isElement()) return QString();
    pugi::xml_attribute attr = node_.attribute(name.toUtf8().constData());
    return attr ? fromPugi(attr.value()) : QString();
}

void XmlElement::setAttribute(const QString &name, const QString &value) {
    if (!isElement()) return;
    const QByteArray key = name.toUtf8();
    pugi::xml_attribute attr = node_.attribute(key.constData());
    if (!attr) attr = node_.append_attribute(key.constData());
    attr.set_value(value.toUtf8().constData());
}

bool XmlElement::removeAttribute(const QString &name) {
    return isElement() && node_.remove_attribute(name.toUtf8().constData());
}

int XmlElement::attributeCount() const {
    int count = 0;
    if (isElement())
        for ([[maybe_unused]] pugi::xml_attribute attr : node_.attributes()) ++count;
    return count;
}

QList<XmlAttribute> XmlElement::attributes() const {
    QList<XmlAttribute> list;
    if (isElement())
        for (pugi::xml_attribute attr : node_.attributes())
            list.append({fromPugi(attr.name()), fromPugi(attr.value())});
    return list;
}

void XmlElement::setAttributes(const QList<XmlAttribute> &attributes) {
    if (!isElement()) return;
    node_.remove_attributes();
    for (const XmlAttribute &attr : attributes) setAttribute(attr.name, attr.value);
}

int XmlElement::childCount() const {
    int count = 0;
    for ([[maybe_unused]] pugi::xml_node child : node_.children()) ++count;
    return count;
}

XmlElement XmlElement::childAt(int index) const {
    if (index < 0) return {};
    for (pugi::xml_node child : node_.children())
        if (index-- == 0) return wrap(child);
    return {};
}

QList<XmlElement> XmlElement::children() const {
    QList<XmlElement> list;
    for (pugi::xml_node child : node_.children()) list.append(wrap(child));
    return list;
}

int XmlElement::index() const {
    if (parent().isNull()) return -1;
    int position = 0;
    for (pugi::xml_node sibling = node_.previous_sibling(); sibling; sibling = sibling.previous_sibling())
        ++position;
    return position;
}

XmlElement XmlElement::parent() const {
    pugi::xml_node up = node_.parent();
    return up.type() == pugi::node_element ? wrap(up) : XmlElement();
}

QList<XmlElement> XmlElement::elements() const {
    QList<XmlElement> list;
    for (pugi::xml_node child : node_.children())
        if (child.type() == pugi::node_element) list.append(wrap(child));
    return list;
}

QList<XmlElement> XmlElement::elements(const QString &name) const {
    QList<XmlElement> list;
    const QByteArray key = name.toUtf8();
    for (pugi::xml_node child : node_.children(key.constData()))
        if (child.type() == pugi::node_element) list.append(wrap(child));
    return list;
}

XmlElement XmlElement::firstElement(const QString &name) const {
    if (name.isNull()) {
        for (pugi::xml_node child : node_.children())
            if (child.type() == pugi::node_element) return wrap(child);
        return {};
    }
    const QList<XmlElement> named = elements(name);
    return named.isEmpty() ? XmlElement() : named.first();
}

pugi::xml_node XmlElement::insertionPoint(int index, bool &valid) const {
    valid = isElement() && index >= 0 && index <= childCount();
    return valid ? childAt(index).node_ : pugi::xml_node();
}

XmlElement XmlElement::insertElement(int index, const QString &name, const QString &text) {
    bool valid = false;
    const pugi::xml_node before = insertionPoint(index, valid);
    if (!valid) return {};
    pugi::xml_node element = before ? node_.insert_child_before(pugi::node_element, before)
                                    : node_.append_child(pugi::node_element);
    element.set_name(name.toUtf8().constData());
    XmlElement added = wrap(element);
    if (!text.isEmpty()) added.setStringValue(text);
    return added;
}

XmlElement XmlElement::appendElement(const QString &name, const QString &text) {
    return insertElement(childCount(), name, text);
}

XmlElement XmlElement::insertText(int index, const QString &text) {
    bool valid = false;
    const pugi::xml_node before = insertionPoint(index, valid);
    if (!valid || text.isEmpty()) return {};
    pugi::xml_node node =
        before ? node_.insert_child_before(pugi::node_pcdata, before) : node_.append_child(pugi::node_pcdata);
    node.set_value(text.toUtf8().constData());
    return wrap(node);
}

XmlElement XmlElement::insertCopy(int index, const XmlElement &node) {
    bool valid = false;
    const pugi::xml_node before = insertionPoint(index, valid);
    if (!valid || node.isNull()) return {};
    return wrap(before ? node_.insert_copy_before(node.node_, before) : node_.append_copy(node.node_));
}

XmlElement XmlElement::appendCopy(const XmlElement &node) {
    return insertCopy(childCount(), node);
}

bool XmlElement::removeChildAt(int index) {
    const XmlElement child = childAt(index);
    return !child.isNull() && node_.remove_child(child.node_);
}

bool XmlElement::removeChild(const XmlElement &child) {
    return !child.isNull() && child.node_.parent() == node_ && node_.remove_child(child.node_);
}

void XmlElement::removeAllChildren() {
    if (isElement()) node_.remove_children();
}

QString XmlElement::stringValue() const {
    switch (node_.type()) {
        case pugi::node_element:
        case pugi::node_document: {
            TextCollector collector;
            pugi::xml_node walked = node_;
            walked.traverse(collector);
            return QString::fromUtf8(collector.text);
        }
        case pugi::node_null:
            return QString();
        default:
            return fromPugi(node_.value());
    }
}

void XmlElement::setStringValue(const QString &text) {
    if (isElement()) {
        node_.remove_children();
        if (!text.isEmpty()) node_.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
    } else if (!isNull()) {
        node_.set_value(text.toUtf8().constData());
    }
}

namespace {

// Compiles and runs an XPath query; pugixml reports a bad expression by throwing.
template <typename Run>
auto runXPath(const QString &xpath, QString *error, Run run)
    -> std::optional<decltype(run(std::declval<pugi::xpath_query &>()))> {
    try {
        pugi::xpath_query query(xpath.toUtf8().constData());
        return run(query);
    } catch (const pugi::xpath_exception &e) {
        setError(error, QStringLiteral("invalid XPath \"%1\" at offset %2: %3")
                            .arg(xpath)
                            .arg(e.result().offset)
                            .arg(QString::fromUtf8(e.what())));
        return std::nullopt;
    }
}

}  // namespace

QList<XmlElement> XmlElement::nodesForXPath(const QString &xpath, QString *error) const {
    QList<XmlElement> list;
    if (isNull()) return list;
    auto set = runXPath(xpath, error, [&](pugi::xpath_query &q) { return q.evaluate_node_set(node_); });
    if (!set) return list;
    set->sort();
    for (const pugi::xpath_node &match : *set)
        if (match.node()) list.append(wrap(match.node()));
    return list;
}

XmlElement XmlElement::firstNodeForXPath(const QString &xpath, QString *error) const {
    const QList<XmlElement> list = nodesForXPath(xpath, error);
    return list.isEmpty() ? XmlElement() : list.first();
}

QStringList XmlElement::stringsForXPath(const QString &xpath, QString *error) const {
    QStringList list;
    if (isNull()) return list;
    auto set = runXPath(xpath, error, [&](pugi::xpath_query &q) { return q.evaluate_node_set(node_); });
    if (!set) return list;
    set->sort();
    for (const pugi::xpath_node &match : *set)
        list.append(match.attribute() ? fromPugi(match.attribute().value())
                                      : wrap(match.node()).stringValue());
    return list;
}

QString XmlElement::evaluateXPathString(const QString &xpath, QString *error) const {
    if (isNull()) return QString();
    auto value = runXPath(xpath, error, [&](pugi::xpath_query &q) { return q.evaluate_string(node_); });
    return value ? QString::fromStdString(*value) : QString();
}

QString XmlElement::toString() const {
    if (isNull()) return QString();
    QByteArray text = serialize(node_);
    if (text.endsWith('\n')) text.chop(1);
    return QString::fromUtf8(text);
}

// ---------------------------------------------------------------------------------------------
// XmlDocument

XmlDocument::XmlDocument() : doc_(std::make_shared<pugi::xml_document>()) {}

XmlDocument::XmlDocument(const QString &rootName) : XmlDocument() {
    setRootElement(rootName);
}

XmlDocument::XmlDocument(std::shared_ptr<pugi::xml_document> doc, bool substituted)
    : doc_(std::move(doc)), substituted_(substituted) {}

XmlDocument::XmlDocument(XmlDocument &&other) noexcept = default;
XmlDocument &XmlDocument::operator=(XmlDocument &&other) noexcept = default;
XmlDocument::~XmlDocument() = default;

XmlDocument XmlDocument::clone() const {
    auto copy = std::make_shared<pugi::xml_document>();
    if (doc_) copy->reset(*doc_);
    return XmlDocument(std::move(copy), substituted_);
}

std::optional<XmlDocument> XmlDocument::fromFile(const QString &path, Option option, QString *error) {
    // A regular file is read with one read of its size; anything else, and every failure, goes
    // the way of QFile, which also words the error.
    if (const std::optional<QByteArray> bytes = readRegularFile(path))
        return fromBytes(*bytes, option, error, path);
    // A pipe in a file's place would wait for a writer, and a device may act on being opened.
    if (struct stat st {}; ::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        setError(error, QStringLiteral("cannot read %1: it is no file").arg(path));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    return fromBytes(bytes, option, error, path);
}

namespace {

std::optional<XmlDocument> toRewrite(std::optional<XmlDocument> doc, const QString &source, QString *error) {
    if (doc && doc->hasReplacedBytes()) {
        setError(error, QStringLiteral("%1 holds bytes that are no text").arg(source));
        doc.reset();
    }
    return doc;
}

}  // namespace

std::optional<XmlDocument> XmlDocument::fromFileToRewrite(const QString &path, QString *error) {
    return toRewrite(fromFile(path, Option::Tidy, error), path, error);
}

std::optional<XmlDocument> XmlDocument::fromBytesToRewrite(const QByteArray &bytes, const QString &source,
                                                           QString *error) {
    return toRewrite(fromBytes(bytes, Option::Tidy, error, source), source, error);
}

std::optional<QList<XmlAttribute>> XmlDocument::rootAttributesOfFile(const QString &path) {
    // Not blocking on a pipe, and nothing but a regular file: anything else is for fromFile.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    char head[4096];
    struct stat st {};
    ssize_t got = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, head, sizeof head);
    ::close(fd);
    if (got <= 0) return std::nullopt;
    return PlainHead(QByteArrayView(head, got)).rootAttributes();
}

std::optional<XmlDocument> XmlDocument::fromBytes(const QByteArray &bytes, Option option, QString *error) {
    return fromBytes(bytes, option, error, QString());
}

std::optional<XmlDocument> XmlDocument::fromBytes(const QByteArray &bytes, Option option, QString *error,
                                                  const QString &source) {
    bool substituted = false;
    std::shared_ptr<pugi::xml_document> doc = parseBytes(bytes, option, error, source, &substituted);
    return doc ? std::optional<XmlDocument>(XmlDocument(std::move(doc), substituted)) : std::nullopt;
}

std::optional<XmlDocument> XmlDocument::fromText(const QString &text, Option option, QString *error) {
    // Already decoded: a declared encoding must not make the UTF-8 form be decoded a second time.
    QByteArray bytes = text.toUtf8();
    if (!bytes.startsWith("\xEF\xBB\xBF")) bytes.prepend("\xEF\xBB\xBF");
    return fromBytes(bytes, option, error);
}

XmlElement XmlDocument::documentNode() const {
    return doc_ ? XmlElement(doc_, *doc_) : XmlElement();
}

XmlElement XmlDocument::rootElement() const {
    return doc_ && doc_->document_element() ? XmlElement(doc_, doc_->document_element()) : XmlElement();
}

XmlElement XmlDocument::setRootElement(const QString &name) {
    if (!doc_) doc_ = std::make_shared<pugi::xml_document>();
    const pugi::xml_node old = doc_->document_element();
    pugi::xml_node root =
        old ? doc_->insert_child_before(pugi::node_element, old) : doc_->append_child(pugi::node_element);
    if (old) doc_->remove_child(old);
    root.set_name(name.toUtf8().constData());
    return XmlElement(doc_, root);
}

pugi::xml_node XmlDocument::declaration() const {
    if (doc_)
        for (pugi::xml_node node : doc_->children())
            if (node.type() == pugi::node_declaration) return node;
    return {};
}

bool XmlDocument::hasDeclaration() const {
    return bool(declaration());
}

QString XmlDocument::version() const {
    pugi::xml_attribute attr = declaration().attribute("version");
    return attr ? fromPugi(attr.value()) : QString();
}

QString XmlDocument::characterEncoding() const {
    pugi::xml_attribute attr = declaration().attribute("encoding");
    return attr ? fromPugi(attr.value()) : QString();
}

std::optional<bool> XmlDocument::standalone() const {
    const QString value = QString::fromUtf8(declaration().attribute("standalone").value());
    if (value == QLatin1String("yes")) return true;
    if (value == QLatin1String("no")) return false;
    return std::nullopt;
}

void XmlDocument::setVersion(const QString &version) {
    setDeclarationItem("version", version);
}

void XmlDocument::setCharacterEncoding(const QString &encoding) {
    setDeclarationItem("encoding", encoding);
}

void XmlDocument::setStandalone(std::optional<bool> standalone) {
    setDeclarationItem("standalone",
                       standalone ? (*standalone ? QStringLiteral("yes") : QStringLiteral("no")) : QString());
}

void XmlDocument::setDeclarationItem(const char *name, const QString &value) {
    if (!doc_) doc_ = std::make_shared<pugi::xml_document>();
    pugi::xml_node decl = declaration();
    if (!decl) {
        if (value.isNull()) return;
        decl = doc_->prepend_child(pugi::node_declaration);
        decl.set_name("xml");
    }
    // XML fixes the order of the items, whatever order they were set in.
    static const char *const order[] = {"version", "encoding", "standalone"};
    QList<std::pair<QByteArray, QByteArray>> items;
    for (const char *item : order) {
        if (qstrcmp(item, name) == 0) {
            if (!value.isNull()) items.append(std::make_pair(QByteArray(item), value.toUtf8()));
        } else if (pugi::xml_attribute attr = decl.attribute(item)) {
            items.append(std::make_pair(QByteArray(item), QByteArray(attr.value())));
        } else if (qstrcmp(item, "version") == 0 && !decl.first_attribute()) {
            items.append(std::make_pair(QByteArray(item), QByteArray("1.0")));
        }
    }
    decl.remove_attributes();
    for (const auto &[key, text] : items) decl.append_attribute(key.constData()).set_value(text.constData());
    if (items.isEmpty()) doc_->remove_child(decl);
}

QList<XmlElement> XmlDocument::nodesForXPath(const QString &xpath, QString *error) const {
    return documentNode().nodesForXPath(xpath, error);
}

XmlElement XmlDocument::firstNodeForXPath(const QString &xpath, QString *error) const {
    return documentNode().firstNodeForXPath(xpath, error);
}

QStringList XmlDocument::stringsForXPath(const QString &xpath, QString *error) const {
    return documentNode().stringsForXPath(xpath, error);
}

QString XmlDocument::evaluateXPathString(const QString &xpath, QString *error) const {
    return documentNode().evaluateXPathString(xpath, error);
}

QString XmlDocument::toString() const {
    return doc_ ? QString::fromUtf8(serialize(*doc_)) : QString("");
}

namespace {

std::optional<QByteArray> encodeWithReferences(const QByteArray &utf8, const QByteArray &name,
                                               bool *referenced = nullptr) {
    return TextEncoding::encode(QString::fromUtf8(utf8), name, [referenced](char32_t c) {
        if (referenced) *referenced = true;
        return QByteArray("&#x") + QByteArray::number(uint(c), 16).toUpper() + ';';
    });
}

// Whether every name, comment, CDATA section, instruction and document type can be written in
// the encoding as it is: there a reference would stand for itself, not for the character.
class LiteralCheck : public pugi::xml_tree_walker {
public:
    explicit LiteralCheck(const QByteArray &encoding) : encoding_(encoding) {}
    bool for_each(pugi::xml_node &node) override {
        const pugi::xml_node_type type = node.type();
        const bool literal = type == pugi::node_comment || type == pugi::node_cdata ||
                             type == pugi::node_pi || type == pugi::node_doctype;
        fits = encodable(node.name()) && (!literal || encodable(node.value()));
        for (const pugi::xml_attribute &attribute : node.attributes())
            fits = fits && encodable(attribute.name());
        return fits;
    }
    bool fits = true;

private:
    bool encodable(const char *utf8) const {
        const char *c = utf8;
        while (*c && uchar(*c) < 0x80) ++c;  // ASCII is in every encoding written
        return !*c || TextEncoding::encode(QString::fromUtf8(utf8), encoding_).has_value();
    }
    QByteArray encoding_;
};

// Whether the UTF-8 text holds only characters XML 1.0 can hold; with `references`, a character
// reference "&#" counts as one that it cannot, to be looked at in the tree.
bool isXmlUtf8(QByteArrayView utf8, bool references) {
    const auto *c = reinterpret_cast<const uchar *>(utf8.data());
    const qsizetype size = utf8.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (c[i] < 0x20 && c[i] != '\t' && c[i] != '\n' && c[i] != '\r') return false;
        if (c[i] == 0xEF && i + 2 < size && c[i + 1] == 0xBF && (c[i + 2] == 0xBE || c[i + 2] == 0xBF))
            return false;                                                    // U+FFFE, U+FFFF
        if (c[i] == 0xED && i + 1 < size && c[i + 1] >= 0xA0) return false;  // a surrogate
        if (references && c[i] == '&' && i + 1 < size && c[i + 1] == '#') return false;
    }
    return true;
}

bool isXmlUtf8(const char *text) {
    return isXmlUtf8(QByteArrayView(text, qsizetype(std::strlen(text))), false);
}

class XmlTextCheck : public pugi::xml_tree_walker {
public:
    bool for_each(pugi::xml_node &node) override {
        fits = isXmlUtf8(node.name()) && isXmlUtf8(node.value());
        for (const pugi::xml_attribute &attribute : node.attributes())
            fits = fits && isXmlUtf8(attribute.name()) && isXmlUtf8(attribute.value());
        return fits;
    }
    bool fits = true;
};

// Whether XML 1.0 takes the text as a name: a letter, "_" or ":" first, then letters, digits,
// ".", "-" and the marks that names may hold.
bool isXmlName(const char *utf8) {
    // Nearly every name is ASCII, told apart without decoding.
    const auto asciiStart = [](char c) { return c == ':' || c == '_' || std::isalpha(uchar(c)); };
    const char *p = utf8;
    if (asciiStart(*p)) {
        while (*p && uchar(*p) < 0x80 &&
               (asciiStart(*p) || std::isdigit(uchar(*p)) || *p == '-' || *p == '.'))
            ++p;
        if (!*p) return true;
    }
    const QString name = QString::fromUtf8(utf8);
    if (name.isEmpty()) return false;
    const QList<uint> codes = name.toUcs4();
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const uint c = codes[i];
        const bool start = c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= 0xC0 && c <= 0x2FF && c != 0xD7 && c != 0xF7) ||
                           (c >= 0x370 && c <= 0x1FFF && c != 0x37E) || c == 0x200C || c == 0x200D ||
                           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) ||
                           (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
                           (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
        const bool inner = c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
                           (c >= 0x300 && c <= 0x36F) || c == 0x203F || c == 0x2040;
        if (!start && (i == 0 || !inner)) return false;
    }
    return true;
}

// Whether the names of an element and its attributes, or the target of an instruction, are
// names XML takes.
bool hasXmlNames(const pugi::xml_node &node) {
    if (node.type() != pugi::node_element && node.type() != pugi::node_pi) return true;
    if (!isXmlName(node.name())) return false;
    for (const pugi::xml_attribute &attribute : node.attributes())
        if (!isXmlName(attribute.name())) return false;
    return true;
}

constexpr const char *kDeclarationItems[] = {"version", "encoding", "standalone"};

bool isSoundDeclarationItem(std::string_view name, const char *value) {
    static const QRegularExpression version(QStringLiteral("^1\\.[0-9]+$")),
        encoding(QStringLiteral("^[A-Za-z][A-Za-z0-9._-]*$"));
    const QString text = QString::fromUtf8(value);
    if (name == "version") return version.match(text).hasMatch();
    if (name == "encoding") return encoding.match(text).hasMatch();
    return name == "standalone" && (text == u"yes" || text == u"no");
}

// Whether a declaration is one XML 1.0 takes: a version, then an encoding and a standalone
// flag where it has them, each well formed.
bool isSoundDeclaration(const pugi::xml_node &declaration) {
    size_t next = 0;
    for (const pugi::xml_attribute &attribute : declaration.attributes()) {
        const std::string_view name = attribute.name();
        while (next < std::size(kDeclarationItems) && name != kDeclarationItems[next]) ++next;
        if (next == std::size(kDeclarationItems) || !isSoundDeclarationItem(name, attribute.value()) ||
            (attribute == declaration.first_attribute() && next != 0))
            return false;
        ++next;
    }
    return next > 0;
}

// The declaration with what XML 1.0 takes of it: version 1.0 where its own is damaged, and its
// encoding and standalone flag where they are sound.
void mendDeclaration(pugi::xml_node declaration) {
    QList<std::pair<const char *, QByteArray>> kept;
    for (const char *name : kDeclarationItems) {
        const pugi::xml_attribute attribute = declaration.attribute(name);
        if (attribute && isSoundDeclarationItem(name, attribute.value()))
            kept.append(std::pair(name, QByteArray(attribute.value())));
        else if (kept.isEmpty())
            kept.append(std::pair(name, QByteArray("1.0")));
    }
    while (declaration.first_attribute()) declaration.remove_attribute(declaration.first_attribute());
    for (const auto &[name, value] : kept) declaration.append_attribute(name) = value.constData();
}

// Whether the reader finds its way back from a text written in the encoding: it must recognise
// the encoding from the first bytes (a mark, or a declaration readable as ASCII), which e.g.
// UTF-7 and UTF-32 without a mark defeat.
bool readsBack(const QString &label, const QByteArray &name) {
    const QByteArray sample =
        "<?xml version=\"1.0\" encoding=\"" + label.toUtf8() + "\"?>\n<a b=\"&#x41;\">x</a>\n";
    const std::optional<QByteArray> bytes = encodeWithReferences(sample, name);
    return bytes && decodeForParsing(*bytes, XmlDocument::Option::None, nullptr) == sample;
}

}  // namespace

bool XmlDocument::holdsOnlyXmlText() const {
    if (!doc_) return true;
    XmlTextCheck check;
    doc_->traverse(check);
    return check.fits;
}

std::optional<QByteArray> XmlDocument::toBytes() const {
    // A damaged declaration, which a tidy reading takes as it stands, is written as XML has it.
    if (const pugi::xml_node written = declaration(); written && !isSoundDeclaration(written)) {
        XmlDocument mended = clone();
        mendDeclaration(mended.declaration());
        return mended.toBytes();
    }
    // Two attributes of one name (which was meant is a guess), or a name XML cannot hold: a strict
    // reader refuses the file.
    if (doc_ && doc_->find_node([](const pugi::xml_node &node) {
            return repeatsAnAttribute(node) || !hasXmlNames(node);
        }))
        return std::nullopt;
    const QByteArray utf8 = doc_ ? serialize(*doc_) : QByteArray();
    // The text as written tells at once for nearly every document: pugixml writes such a
    // character of a text or an attribute value as a reference, of a comment as it is.
    if (!isXmlUtf8(utf8, true) && !holdsOnlyXmlText()) return std::nullopt;
    const QString label = characterEncoding();
    const QByteArray name = TextEncoding::iconvName(label);
    if (name == "UTF-8") return utf8;
    bool referenced = false;
    std::optional<QByteArray> bytes = encodeWithReferences(utf8, name, &referenced);
    if (!bytes) return bytes;
    if (readsBack(label, name)) {
        LiteralCheck check(name);
        if (referenced) doc_->traverse(check);
        return check.fits ? bytes : std::nullopt;
    }
    XmlDocument copy = clone();
    copy.setCharacterEncoding(QStringLiteral("UTF-8"));
    return serialize(*copy.doc_);
}

bool XmlDocument::save(const QString &path, QString *error, Durability durability) const {
    if (substituted_) {
        setError(error, QStringLiteral("not written: the document was read with bytes that are no text "
                                       "replaced, which writing it would lose"));
        return false;
    }
    const std::optional<QByteArray> bytes = toBytes();
    if (!bytes) {
        setError(error,
                 holdsOnlyXmlText()
                     ? QStringLiteral("cannot encode the document as %1").arg(characterEncoding())
                     : QStringLiteral("not written: the document holds a character that XML 1.0 "
                                      "cannot hold, for which a strict reader refuses the whole file"));
        return false;
    }
    QString reason;
    if (!FileManager::writeAtomically(path, *bytes, durability, &reason)) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, reason));
        return false;
    }
    return true;
}

bool isXmlText(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate()) return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

QString withoutNonXmlCharacters(const QString &text) {
    if (isXmlText(text)) return text;
    QString kept;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QStringView character = QStringView(text).sliced(i, length);
        if (isXmlText(character)) kept += character;
        i += length - 1;
    }
    return kept;
}

QString XmlDocument::xpathLiteral(const QString &text) {
    if (!text.contains(QLatin1Char('\''))) return QLatin1Char('\'') + text + QLatin1Char('\'');
    if (!text.contains(QLatin1Char('"'))) return QLatin1Char('"') + text + QLatin1Char('"');
    QStringList parts;
    const QStringList pieces = text.split(QLatin1Char('\''));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0) parts.append(QStringLiteral("\"'\""));
        if (!pieces[i].isEmpty()) parts.append(QLatin1Char('\'') + pieces[i] + QLatin1Char('\''));
    }
    return QStringLiteral("concat(%1)").arg(parts.join(QLatin1Char(',')));
}

// ---------------------------------------------------------------------------------------------
// XmlFileReader

bool XmlFileReader::parseInPlace() {
    // Bytes that are not UTF-8 would stay in the tree as they are, where fromFile has U+FFFD: a
    // text made of several pieces would then decode otherwise.
    if (!buffer_.startsWith(kStoredDeclaration) || !TextEncoding::isValidUtf8(buffer_)) return false;
    // What the parse would drop unseen is looked for in the text before the parse changes it.
    // Comments or instructions after the root are for the whole read, which places them.
    if (lostToParsing(buffer_) >= 0) return false;
    const char *begin = buffer_.constData();
    const QByteArrayView content(begin, endOfContent(begin, begin + buffer_.size()) - begin);
    if (content.endsWith("-->") || content.endsWith("?>")) return false;
    tail_ = content.sliced(std::max<qsizetype>(content.lastIndexOf('<'), 0)).toByteArray();
    const pugi::xml_parse_result result =
        doc_.load_buffer_inplace(buffer_.data(), size_t(buffer_.size()), kParseTidy, pugi::encoding_utf8);
    const pugi::xml_node root = doc_.document_element();
    if (result && root && !root.next_sibling() && endsWithTheRoot(tail_, root) &&
        isSoundTree(doc_, buffer_, nullptr) && passesLastCheck(doc_, nullptr))
        return true;
    doc_.reset();
    return false;
}

pugi::xml_node XmlFileReader::readStored(const QString &path) {
    other_.reset();
    doc_.reset();
    return readRegularFile(path, buffer_) && parseInPlace() ? doc_.document_element() : pugi::xml_node();
}

pugi::xml_node XmlFileReader::read(const QString &path, Files files) {
    other_.reset();
    doc_.reset();
    if (!readRegularFile(path, buffer_)) {
        if (files == Files::Regular) return {};
        other_ = XmlDocument::fromFile(path, XmlDocument::Option::Tidy);
    } else if (buffer_.startsWith(kStoredDeclaration)) {
        if (parseInPlace()) return doc_.document_element();
        // Errors and repairs as fromFile words and makes them; the parse changed the buffer.
        other_ = XmlDocument::fromFile(path, XmlDocument::Option::Tidy);
    } else if (std::shared_ptr<pugi::xml_document> doc =
                   parseBytes(buffer_, XmlDocument::Option::Tidy, nullptr, path)) {
        other_ = XmlDocument(std::move(doc), false);
    }
    return other_ ? other_->rootElement().pugiNode() : pugi::xml_node();
}

}  // namespace cvx
