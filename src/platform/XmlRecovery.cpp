#include "platform/XmlRecovery.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSet>
#include <QtDebug>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace cvx {

namespace {

// Nothing is ever loaded from outside the text, whatever the options of a later caller.
xmlParserInputPtr refuseExternalEntity(const char *, const char *, xmlParserCtxtPtr) {
    return nullptr;
}

void initialiseOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternalEntity);
    });
}

struct Faults {
    QString first;
};

void collectFault(void *userData, xmlErrorPtr fault) {
    auto *ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto *faults = ctxt ? static_cast<Faults *>(ctxt->_private) : nullptr;
    if (!faults || !fault || !faults->first.isEmpty()) return;
    faults->first = QStringLiteral("line %1, column %2: %3")
                        .arg(fault->line)
                        .arg(fault->int2)
                        .arg(QString::fromUtf8(fault->message ? fault->message : "").trimmed());
}

struct CtxtFree {
    void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocFree {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct BufferFree {
    void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};

XmlRepairLog &repairLog() {
    static XmlRepairLog log;
    return log;
}

std::mutex &repairMutex() {
    static std::mutex mutex;
    return mutex;
}

// One piece of a document as the check of a repair compares them: an element's start or end,
// the text between two pieces of markup, a comment or a processing instruction.
struct Token {
    enum class Kind { Start, End, Text, Comment, Instruction };
    Kind kind = Kind::Text;
    QByteArray name;   // element name, instruction target
    QByteArray value;  // text, comment, instruction body
    // Sorted: their order carries no meaning, and the repairing parser may write namespace
    // declarations first.
    QList<std::pair<QByteArray, QByteArray>> attributes;
    pugi::xml_node node;  // the element, in tokens of the tree
    // An end tag of the text that closes no open element: markup without data, which a repair
    // may leave out. `unknown` when it names no open element at all (a misspelt end tag).
    bool optional = false;
    bool unknown = false;
    qsizetype from = 0, to = 0;  // an end tag's place in the text
    qsizetype standsFor = -1;    // the start tag open innermost where an unknown end tag stands
    bool closedOwn = false;      // a start tag that an end tag of its own name closes

    bool sameAs(const Token &other) const {
        return kind == other.kind && name == other.name && value == other.value &&
               attributes == other.attributes;
    }
};

constexpr auto isSpace = isXmlSpace;

// A character reference at `p` ("&#...;"), decoded into `out`; the length taken, 0 when it is none.
qsizetype characterReference(const char *p, const char *end, QByteArray &out) {
    const CharacterReference reference = characterReferenceAt(p, end);
    if (!reference.length || reference.code == 0 || reference.code > 0x10FFFF) return 0;
    out += QString::fromUcs4(&reference.code, 1).toUtf8();
    return reference.length;
}

// Text or an attribute value as pugixml reads it: the five named references and character
// references replaced, any other "&" kept as written; in an attribute value each white-space
// character becomes a blank first. Line ends are already "\n".
QByteArray decoded(const char *p, const char *end, bool attribute) {
    static const std::pair<const char *, char> named[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}};
    QByteArray out;
    out.reserve(end - p);
    while (p < end) {
        if (*p != '&') {
            out += attribute && (*p == '\t' || *p == '\n') ? ' ' : *p;
            ++p;
            continue;
        }
        qsizetype taken = p + 1 < end && p[1] == '#' ? characterReference(p, end, out) : 0;
        for (const auto &[reference, c] : named) {
            const auto length = qsizetype(std::strlen(reference));
            if (!taken && end - p >= length && std::memcmp(p, reference, size_t(length)) == 0) {
                out += c;
                taken = length;
            }
        }
        if (!taken) out += '&', taken = 1;
        p += taken;
    }
    return out;
}

// The tokens of the text, read by the rules of XML markup without any repair. Nothing when a
// piece of markup is broken or cut short: then no tree holds all the text holds.
class TextTokens {
public:
    explicit TextTokens(const QByteArray &utf8) : text_(utf8) {
        // As XML reads line ends: CR LF and a lone CR become LF.
        text_.replace("\r\n", "\n").replace('\r', '\n');
        p_ = text_.constData();
        end_ = p_ + text_.size();
    }

    std::optional<QList<Token>> read() {
        while (p_ < end_) {
            if (*p_ != '<') {
                const char *start = p_;
                p_ = find("<");
                // Text of white space alone is dropped by the tidy reading.
                if (!std::all_of(start, p_, isSpace)) run_ += decoded(start, p_, false);
            } else if (!(startsWith("<?")          ? instruction()
                         : startsWith("<!--")      ? comment()
                         : startsWith("<![CDATA[") ? cdata()
                         : startsWith("<!DOCTYPE") ? doctype()
                         : startsWith("</")        ? endTag()
                                                   : startTag())) {
                return std::nullopt;
            }
        }
        flush();
        return tokens_;
    }

    // The name of the element open innermost at the end of the text; null when none is.
    // Only after read().
    QByteArray innermostOpen() const { return open_.isEmpty() ? QByteArray() : tokens_[open_.last()].name; }

    // The text as read, without the end tags that close nothing: those that name no open
    // element while the element open innermost has an end tag of its own further on, or while
    // none is open. Such a tag holds no data; a recovering parser would close an element at it.
    // Null when there is none. Only after read().
    QByteArray withoutStrayEndTags() const {
        QByteArray out;
        qsizetype copied = 0;
        for (const Token &token : tokens_) {
            if (!token.unknown || (token.standsFor >= 0 && !tokens_[token.standsFor].closedOwn)) continue;
            out.append(text_.constData() + copied, token.from - copied);
            copied = token.to;
        }
        if (!copied) return {};
        return out.append(text_.constData() + copied, text_.size() - copied);
    }

private:
    bool startsWith(const char *text) const {
        const auto length = size_t(std::strlen(text));
        return size_t(end_ - p_) >= length && std::memcmp(p_, text, length) == 0;
    }
    // The first place of `text` from here on; the end when there is none.
    const char *find(const char *text) const {
        const qsizetype at = text_.indexOf(text, p_ - text_.constData());
        return at < 0 ? end_ : text_.constData() + at;
    }
    bool spaces() {
        const char *start = p_;
        while (p_ < end_ && isSpace(*p_)) ++p_;
        return p_ != start;
    }
    QByteArray name() {
        const char *start = p_;
        while (p_ < end_ && !isSpace(*p_) && !std::strchr("<>/=\"'&", *p_)) ++p_;
        return QByteArray(start, p_ - start);
    }
    void flush() {
        if (!run_.isEmpty()) tokens_.append({Token::Kind::Text, {}, std::exchange(run_, {}), {}, {}});
    }
    void push(Token::Kind kind, QByteArray name, QByteArray value = {}) {
        flush();
        tokens_.append({kind, std::move(name), std::move(value), {}, {}});
    }
    // An end tag closes the innermost open element of its name; one that names an element
    // around the innermost closes what it holds as well, and one that names none closes nothing.
    void pushEnd(QByteArray element, qsizetype from) {
        push(Token::Kind::End, element);
        Token &end = tokens_.last();
        end.from = from;
        end.to = p_ - text_.constData();
        if (!open_.isEmpty() && tokens_[open_.last()].name == element) {
            tokens_[open_.last()].closedOwn = true;
            close(open_.size() - 1);
            return;
        }
        end.optional = true;
        // Elements that misspelt end tags left open pile up: a look through all of them at each
        // such tag would take time in the square of their number.
        if (!openNames_.value(element)) {
            end.unknown = true;
            end.standsFor = open_.isEmpty() ? -1 : open_.last();
            return;
        }
        qsizetype at = open_.size() - 1;
        while (tokens_[open_[at]].name != element) --at;
        close(at);
    }
    void open(qsizetype start) {
        open_.append(start);
        ++openNames_[tokens_[start].name];
    }
    void close(qsizetype at) {
        for (qsizetype i = at; i < open_.size(); ++i) --openNames_[tokens_[open_[i]].name];
        open_.resize(at);
    }
    // The body of a construct from `open` to `close`; false when it is not closed.
    bool body(qsizetype open, const char *close, QByteArray &content) {
        p_ += open;
        const char *closing = find(close);
        if (closing == end_) return false;
        content = QByteArray(p_, closing - p_);
        p_ = closing + std::strlen(close);
        return true;
    }
    bool instruction() {
        QByteArray content;
        if (!body(2, "?>", content)) return false;
        const qsizetype targetEnd =
            std::find_if(content.cbegin(), content.cend(), isSpace) - content.cbegin();
        const QByteArray target = content.left(targetEnd);
        // The declaration is no node of either tree.
        if (target != "xml") push(Token::Kind::Instruction, target, content.mid(targetEnd).trimmed());
        return !target.isEmpty();
    }
    bool comment() {
        QByteArray content;
        if (!body(4, "-->", content)) return false;
        push(Token::Kind::Comment, {}, content);
        return true;
    }
    bool cdata() {
        QByteArray content;
        if (!body(9, "]]>", content)) return false;
        run_ += content;
        return true;
    }
    bool doctype() {
        int depth = 0;
        for (char quote = 0; p_ < end_; ++p_) {
            if (quote) {
                if (*p_ == quote) quote = 0;
            } else if (*p_ == '"' || *p_ == '\'') {
                quote = *p_;
            } else if (*p_ == '[') {
                ++depth;
            } else if (*p_ == ']') {
                --depth;
            } else if (*p_ == '>' && depth == 0) {
                ++p_;
                return true;
            }
        }
        return false;
    }
    bool endTag() {
        const qsizetype from = p_ - text_.constData();
        p_ += 2;
        QByteArray element = name();
        spaces();
        // An end tag that lost its ">" still holds nothing but its name.
        if (element.isEmpty() || p_ == end_ || (*p_ != '>' && *p_ != '<')) return false;
        if (*p_ == '>') ++p_;
        pushEnd(std::move(element), from);
        return true;
    }
    bool startTag() {
        ++p_;
        Token start{Token::Kind::Start, name(), {}, {}, {}};
        if (start.name.isEmpty()) return false;
        for (;;) {
            const bool spaced = spaces();
            if (p_ == end_) return false;
            const bool empty = startsWith("/>");
            if (*p_ == '>' || empty) {
                p_ += empty ? 2 : 1;
                std::sort(start.attributes.begin(), start.attributes.end());
                const QByteArray element = start.name;
                flush();
                tokens_.append(std::move(start));
                open(tokens_.size() - 1);
                if (empty) pushEnd(element, p_ - text_.constData());
                return true;
            }
            QByteArray attribute = name();
            spaces();
            if (!spaced || attribute.isEmpty() || p_ == end_ || *p_++ != '=') return false;
            spaces();
            if (p_ == end_ || (*p_ != '"' && *p_ != '\'')) return false;
            const char quote = *p_++;
            const char *close = static_cast<const char *>(std::memchr(p_, quote, size_t(end_ - p_)));
            if (!close) return false;
            start.attributes.append({std::move(attribute), decoded(p_, close, true)});
            p_ = close + 1;
        }
    }

    QByteArray text_;
    const char *p_ = nullptr;
    const char *end_ = nullptr;
    QByteArray run_;
    QList<Token> tokens_;
    QList<qsizetype> open_;                   // start tags of the elements open at this point
    QHash<QByteArray, qsizetype> openNames_;  // how many of them bear each name
};

// The tokens of a tree read with pugixml's tidy options, where white-space-only text is gone.
void appendTreeTokens(const pugi::xml_node &parent, QList<Token> &tokens, QByteArray &run) {
    auto push = [&](Token token) {
        if (!run.isEmpty()) tokens.append({Token::Kind::Text, {}, std::exchange(run, {}), {}, {}});
        tokens.append(std::move(token));
    };
    for (pugi::xml_node node = parent.first_child(); node; node = node.next_sibling()) {
        switch (node.type()) {
            case pugi::node_element: {
                Token start{Token::Kind::Start, node.name(), {}, {}, node};
                for (const pugi::xml_attribute &attribute : node.attributes())
                    start.attributes.append({QByteArray(attribute.name()), QByteArray(attribute.value())});
                std::sort(start.attributes.begin(), start.attributes.end());
                push(std::move(start));
                appendTreeTokens(node, tokens, run);
                push({Token::Kind::End, node.name(), {}, {}, node});
                break;
            }
            case pugi::node_pcdata:
            case pugi::node_cdata:
                run += node.value();
                break;
            case pugi::node_comment:
                push({Token::Kind::Comment, {}, node.value(), {}, {}});
                break;
            case pugi::node_pi:
                push({Token::Kind::Instruction, node.name(), QByteArray(node.value()).trimmed(), {}, {}});
                break;
            default:
                break;
        }
    }
}

bool holdsElement(const pugi::xml_node &node) {
    return bool(
        node.find_child([](const pugi::xml_node &child) { return child.type() == pugi::node_element; }));
}

bool holdsText(const pugi::xml_node &node) {
    return bool(node.find_child([](const pugi::xml_node &child) {
        return (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) &&
               !std::all_of(child.value(), child.value() + std::strlen(child.value()), isXmlSpace);
    }));
}

// The names of the elements of this program's files, by where they stand.
constexpr std::string_view kRoots[] = {"DATA", "HisSetting", "Comments", "CalcData"};
constexpr std::string_view kSettings[] = {"MODE",   "DeleteBLD",     "Timeout",     "INPUT",
                                          "OUTPUT", "AutoVersionUp", "FileVersion", "SendCsvFolder"};
constexpr std::string_view kGroups[] = {"Hospital", "Doctor", "List"};
constexpr std::string_view kResult[] = {
    "Hospital",   "Doctor",     "SheetFlg",   "Remark",     "TotalComment", "MS",         "pH",
    "BFC",        "BLD",        "LEU",        "ALB",        "NH3",          "DataValue1", "DataValue2",
    "DataValue3", "DataValue4", "DataValue5", "DataValue6", "DataValue7",   "Content1",   "Content2",
    "Content3",   "Content4",   "Content5",   "Content6",   "Content7",     "RsvData",    "SaveDate"};
constexpr std::string_view kCalculation[] = {"DATA",      "range", "AvgData", "DataRange", "AvgRange",
                                             "Threshold", "Datas", "Data",    "coefC",     "coefD"};
constexpr std::string_view kEntryPrefixes[] = {"hospital", "doctor", "data"};

template <size_t N>
bool among(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

// An entry of a list: the prefix and a number from 1, without leading zeros.
bool isEntry(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name[prefix.size()] == '0') return false;
    return std::all_of(name.begin() + qsizetype(prefix.size()), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// The list whose entries the group of the hospital file holds, by its name: "hospital" or
// "doctor"; "" for a group without such a name, whose entries name it.
std::string_view groupList(const pugi::xml_node &group) {
    const std::string_view name = group.attribute("name").value();
    return name == "hospital" || name == "doctor" ? name : std::string_view();
}

bool anywhere(std::string_view name) {
    return among(kRoots, name) || among(kSettings, name) || among(kGroups, name) || among(kResult, name) ||
           among(kCalculation, name) || name == "comment" ||
           std::any_of(std::begin(kEntryPrefixes), std::end(kEntryPrefixes),
                       [&](std::string_view prefix) { return isEntry(name, prefix); });
}

// The layout of a file, named as its root is: by the root's name or, where that is none of this
// program's (a damaged one), by what the root holds: results or settings, the hospital file's
// groups, the comment files' lists, calculation ranges. Empty where neither tells.
std::string_view layoutOf(const pugi::xml_node &root) {
    const auto known = std::find(std::begin(kRoots), std::end(kRoots), std::string_view(root.name()));
    if (known != std::end(kRoots)) return *known;
    for (const pugi::xml_node &child : root.children()) {
        if (child.type() != pugi::node_element) continue;
        const std::string_view name = child.name();
        if (name == "comment" || among(kSettings, name)) return kRoots[0];
        if (!groupList(child).empty()) return kRoots[1];
        if (child.attribute("title") && child.attribute("type")) return kRoots[2];
        if ((name == "DATA" && child.attribute("title")) || name == "range") return kRoots[3];
    }
    return {};
}

pugi::xml_node rootOf(pugi::xml_node node) {
    while (node.parent().type() != pugi::node_document) node = node.parent();
    return node;
}

// Where the elements of a repaired tree stand in the layout of its file. The layout is worked out
// once, and the positions of a list's entries at once for the whole list: a damaged file may hold
// thousands of misspelt tags.
class Places {
public:
    explicit Places(const pugi::xml_node &root) : root_(root), layout_(layoutOf(root)) {}

    std::string_view layout() const { return layout_; }
    void rootRenamed() { layout_ = layoutOf(root_); }

    // Whether the layout holds an element of that name where `element` stands: below its
    // parent, and for an entry of a list at its position.
    bool holds(const pugi::xml_node &element, std::string_view name) {
        const pugi::xml_node parent = element.parent();
        if (parent.type() == pugi::node_document) return among(kRoots, name);
        if (parent == root_) {
            if (layout_ == "DATA") return name == "comment" || among(kSettings, name);
            if (layout_ == "HisSetting") return name == "Hospital" || name == "Doctor";
            if (layout_ == "Comments") return name == "List";
            if (layout_ == "CalcData") return among(kCalculation, name);
            return anywhere(name);
        }
        if (parent.parent() == root_) {
            const auto entry = [&](std::string_view prefix) {
                return name == std::string(prefix) + std::to_string(position(element));
            };
            if (layout_ == "DATA" && std::string_view(parent.name()) == "comment")
                return among(kResult, name);
            if (layout_ == "HisSetting") {
                const std::string_view list = groupList(parent);
                return list.empty() ? entry("hospital") || entry("doctor") : entry(list);
            }
            if (layout_ == "Comments") return entry("data");
        }
        return layout_ == "CalcData" ? among(kCalculation, name) : anywhere(name);
    }

private:
    // An element's place among its parent's elements, from 1.
    qsizetype position(const pugi::xml_node &element) {
        if (numbered_.insert(element.parent().hash_value()).second) {
            qsizetype at = 0;
            for (const pugi::xml_node &child : element.parent().children())
                if (child.type() == pugi::node_element) positions_[child.hash_value()] = ++at;
        }
        return positions_[element.hash_value()];
    }

    pugi::xml_node root_;
    std::string_view layout_;
    std::unordered_set<size_t> numbered_;  // parents whose elements are numbered
    std::unordered_map<size_t, qsizetype> positions_;
};

bool holdsOtherThanText(const pugi::xml_node &node) {
    return bool(node.find_child([](const pugi::xml_node &child) {
        return child.type() != pugi::node_pcdata && child.type() != pugi::node_cdata;
    }));
}

}  // namespace

bool settleRepair(const RepairFindings &findings, QString *why) {
    auto refuse = [why](const QString &reason) {
        if (why) *why = reason;
        return false;
    };
    const pugi::xml_node anyFound = !findings.leftOpen.isEmpty()   ? findings.leftOpen.first()
                                    : !findings.misspelt.isEmpty() ? findings.misspelt.first().first
                                                                   : pugi::xml_node();
    if (!anyFound) return true;
    const pugi::xml_node root = rootOf(anyFound);
    Places places(root);
    // Outer elements first: the name of a result or a list tells what its entries are named.
    for (auto at = findings.misspelt.crbegin(); at != findings.misspelt.crend(); ++at) {
        pugi::xml_node element = at->first;
        const bool start = places.holds(element, element.name()),
                   end = places.holds(element, at->second.constData());
        if (start == end)
            return refuse(QStringLiteral("the repair cannot tell <%1> from </%2>")
                              .arg(QString::fromUtf8(element.name()), QString::fromUtf8(at->second)));
        if (!end) continue;
        element.set_name(at->second.constData());
        if (element == root) places.rootRenamed();
    }
    // Innermost first, so that what holds a leaf left out is judged without it.
    QList<pugi::xml_node> kept;
    for (pugi::xml_node element : findings.leftOpen) {
        const bool isRoot = element == root;
        if (isRoot || holdsElement(element) || (!holdsText(element) && element.first_attribute())) {
            kept.append(element);
            continue;
        }
        // A comment or an instruction beside the text would go with it.
        if (holdsOtherThanText(element))
            return refuse(QStringLiteral("the cut leaves <%1> open with more than text in it")
                              .arg(QString::fromUtf8(element.name())));
        element.parent().remove_child(element);
    }
    // No end tag tells a misspelt start tag here: under a name that the layout does not hold
    // where it stands, what the element holds would be hidden from its readers.
    Places after(root);
    for (const pugi::xml_node &element : std::as_const(kept)) {
        if (after.layout().empty() || after.holds(element, element.name())) continue;
        return refuse(QStringLiteral("the cut leaves <%1> open, a name the file does not hold there")
                          .arg(QString::fromUtf8(element.name())));
    }
    return true;
}

const char *endOfContent(const char *begin, const char *end) {
    while (end > begin && (!end[-1] || end[-1] == '\x1A' || isXmlSpace(end[-1]))) --end;
    return end;
}

CharacterReference characterReferenceAt(const char *p, const char *end) {
    if (end - p < 2 || p[0] != '&' || p[1] != '#') return {};
    const char *q = p + 2;
    const bool hex = q < end && *q == 'x';
    q += hex;
    char32_t code = 0;
    const char *digits = q;
    for (; q < end; ++q) {
        const int digit = *q >= '0' && *q <= '9'                          ? *q - '0'
                          : hex && (*q | ' ') >= 'a' && (*q | ' ') <= 'f' ? (*q | ' ') - 'a' + 10
                                                                          : -1;
        if (digit < 0) break;
        code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(digit), 0x110000);
    }
    if (q == digits || q == end || *q != ';') return {};
    return {q + 1 - p, code};
}

namespace {

// The text without the one piece of markup that a cut split. Where that piece is an end tag cut
// short ("</", "</Da"), `cutEndTag` gets what it holds of the name.
QByteArray withoutCutMarkup(const QByteArray &utf8, std::optional<QByteArray> &cutEndTag) {
    const char *begin = utf8.constData();
    const qsizetype content = endOfContent(begin, begin + utf8.size()) - begin;
    const QByteArrayView text(begin, content);
    // Half a tag: a "<" that no ">" follows, and that starts markup: a "<" before a blank or a
    // digit is text, and the text of a CDATA section is data, whatever the cut left of its end.
    const qsizetype open = text.lastIndexOf('<');
    if (open >= 0 && open > text.lastIndexOf('>')) {
        const QByteArrayView piece = text.sliced(open);
        const char next = piece.size() > 1 ? piece[1] : '/';
        const bool markup = std::strchr("/!?_:", next) || std::isalpha(uchar(next)) || uchar(next) >= 0x80;
        const QByteArrayView cdata = "<![CDATA[";
        if (!markup || (piece.startsWith(cdata) && piece.size() > cdata.size())) return utf8.left(content);
        const bool named = piece.size() > 1 && next == '/' &&
                           std::none_of(piece.begin() + std::min<qsizetype>(2, piece.size()), piece.end(),
                                        [](char c) { return isXmlSpace(c) || std::strchr("<>/=\"'&", c); });
        if (named) cutEndTag = piece.sliced(std::min<qsizetype>(2, piece.size())).toByteArray();
        return utf8.left(open);
    }
    // Half a reference at the end of the last text.
    qsizetype at = content;
    while (at > 0 && begin[at - 1] &&
           (std::isalnum(uchar(begin[at - 1])) || std::strchr("#_.:-", begin[at - 1])))
        --at;
    if (at > 0 && begin[at - 1] == '&') return utf8.left(at - 1);
    return utf8.left(content);
}

}  // namespace

QByteArray repairableText(const QByteArray &utf8) {
    std::optional<QByteArray> cutEndTag;
    const QByteArray text = withoutCutMarkup(utf8, cutEndTag);
    TextTokens tokens(text);
    if (!tokens.read()) return text;
    const QByteArray strayless = tokens.withoutStrayEndTags();
    QByteArray repairable = strayless.isNull() ? text : strayless;
    // An end tag that the cut split ends the text of the element open innermost, where it begins
    // that element's name: the text before it is whole.
    const QByteArray innermost = tokens.innermostOpen();
    if (cutEndTag && !innermost.isEmpty() && innermost.startsWith(*cutEndTag))
        repairable += "</" + innermost + '>';
    return repairable;
}

bool repairKeepsEverything(const QByteArray &utf8, const pugi::xml_node &repaired, QString *why,
                           RepairFindings *findings) {
    auto refuse = [why](const QString &reason) {
        if (why) *why = reason;
        return false;
    };
    // No tree holds a NUL character.
    if (utf8.contains('\0')) return refuse(QStringLiteral("the text holds a NUL byte"));
    const std::optional<QList<Token>> text = TextTokens(utf8).read();
    if (!text) return refuse(QStringLiteral("the text holds broken markup"));
    QList<Token> tree;
    QByteArray run;
    appendTreeTokens(repaired, tree, run);
    if (!run.isEmpty()) tree.append({Token::Kind::Text, {}, run, {}, {}});

    // Whether the text holds anything from `at` on that the tree must hold too.
    const auto atEnd = [&](qsizetype at) {
        return std::all_of(text->cbegin() + at, text->cend(), [](const Token &t) { return t.optional; });
    };
    // The text's tokens in the tree's order, with only end tags between them, where the end
    // tags of the text that close nothing may be left out: matching each tree token to the first
    // equal text token past such end tags finds such an order wherever there is one.
    qsizetype next = 0;
    QSet<QByteArray> closed;
    for (const Token &token : std::as_const(tree)) {
        qsizetype at = next;
        while (at < text->size() && !token.sameAs(text->at(at)) && text->at(at).optional) ++at;
        if (at < text->size() && token.sameAs(text->at(at))) {
            next = at + 1;
        } else if (token.kind == Token::Kind::End) {
            // Closed where the text does not close it. Before the end of the text, where it holds
            // elements, the text may as well have meant them to follow it, and a reading that
            // keeps them inside hides them from every reader of its siblings; unless a misspelt
            // end tag stands just there, which the repair takes for its end tag.
            const bool misspelt = next < text->size() && text->at(next).unknown;
            if (!atEnd(next) && !misspelt && holdsElement(token.node))
                return refuse(
                    QStringLiteral("the repair guesses where <%1> ends").arg(QString::fromUtf8(token.name)));
            if (findings && misspelt) findings->misspelt.append({token.node, text->at(next).name});
            if (findings && next == text->size()) findings->leftOpen.append(token.node);
            next += misspelt;
            closed.insert(token.name);
        } else {
            return refuse(QStringLiteral("the repair drops or changes part of the text"));
        }
    }
    if (!atEnd(next)) return refuse(QStringLiteral("the repair drops the end of the text"));
    for (const Token &token : std::as_const(tree)) {
        if (token.kind != Token::Kind::Start || !closed.contains(token.name)) continue;
        const QByteArray &name = token.name;
        if (token.node.find_node([&](const pugi::xml_node &inner) { return name == inner.name(); }))
            return refuse(
                QStringLiteral("the repair puts a <%1> inside another").arg(QString::fromUtf8(name)));
    }
    return true;
}

bool repairKeepsLayout(const pugi::xml_node &root, QString *why) {
    auto refuse = [why](const pugi::xml_node &node, const char *what) {
        if (why)
            *why = QStringLiteral("the repair puts %1 inside <%2>")
                       .arg(QLatin1String(what), QString::fromUtf8(node.name()));
        return false;
    };
    // No file of this program mixes text and elements in one element.
    const auto isMixed = [](const pugi::xml_node &node) {
        return node.type() == pugi::node_element && holdsText(node) && holdsElement(node);
    };
    if (isMixed(root)) return refuse(root, "text beside elements");
    if (const pugi::xml_node mixed = root.find_node(isMixed)) return refuse(mixed, "elements after its text");
    // A root that is one of the program's results, lists or entries: the file lost its own root,
    // and a save would put what it writes inside this one.
    const std::string_view rootName = root.name();
    if (rootName == "comment" || among(kGroups, rootName) ||
        (rootName != "DATA" && !groupList(root).empty()) ||
        (root.attribute("title") && root.attribute("type")) || (holdsText(root) && !holdsElement(root))) {
        if (why)
            *why = QStringLiteral("the text lost its root; <%1> stands in its place")
                       .arg(QString::fromUtf8(root.name()));
        return false;
    }
    // A file's root below another element: the text before it lost nothing but its root is
    // hidden there from every reader. The calculation file's ranges alone are named DATA too.
    const pugi::xml_node inner = root.find_node([&](const pugi::xml_node &node) {
        const std::string_view name = node.name();
        return node.type() == pugi::node_element && among(kRoots, name) &&
               !(name == "DATA" && node.parent() == root && rootName == "CalcData");
    });
    if (inner) return refuse(inner, "a file's root");
    // The files whose layout is known hold no text but in their entries, which hold no element:
    // a patient file's root holds results, which hold entries; the hospital file and the comment
    // files hold lists of entries; a settings file's root holds entries.
    const std::string_view name = layoutOf(root);
    const bool patient = name == "DATA" && root.child("comment");
    if (name == "CalcData") return true;
    if (name.empty()) {
        // A root of another name, which may be a damaged one: the elements of one element are
        // either all entries or all lists, as in every file of a known layout.
        const pugi::xml_node uneven = root.find_node([](const pugi::xml_node &node) {
            if (node.type() != pugi::node_element) return false;
            int kinds = 0;
            for (const pugi::xml_node &child : node.children())
                if (child.type() == pugi::node_element) kinds |= holdsElement(child) ? 1 : 2;
            return kinds == 3;
        });
        return !uneven || refuse(uneven, "lists beside entries");
    }
    if (holdsText(root)) return refuse(root, "text");
    for (const pugi::xml_node &item : root.children()) {
        if (item.type() != pugi::node_element) continue;
        if (name == "DATA" && !patient) {
            if (holdsElement(item)) return refuse(item, "an element");
            continue;
        }
        if (patient && std::strcmp(item.name(), "comment") != 0)
            return refuse(root, "an entry beside its results");
        if (holdsText(item)) return refuse(item, "text");
        // A list holds the entries of one list alone: an element named as a group or as the
        // other list's entry was never one of its entries.
        std::string_view list = name == "HisSetting" ? groupList(item) : std::string_view("data");
        for (const pugi::xml_node &entry : item.children()) {
            if (entry.type() != pugi::node_element) continue;
            if (holdsElement(entry)) return refuse(entry, "an element");
            if (patient) continue;
            if (list.empty()) list = isEntry(entry.name(), "doctor") ? "doctor" : "hospital";
            if (!isEntry(entry.name(), list)) return refuse(item, "an element that is none of its entries");
        }
    }
    return true;
}

namespace {

// The text with its five named references written as character references, outside comments,
// CDATA sections and processing instructions: once it has met a fault, the recovering parser
// drops every named reference, while it still reads character references.
QByteArray withCharacterReferences(const QByteArray &utf8) {
    static const std::pair<QByteArrayView, QByteArrayView> named[] = {
        {"&lt;", "&#60;"}, {"&gt;", "&#62;"}, {"&amp;", "&#38;"}, {"&quot;", "&#34;"}, {"&apos;", "&#39;"}};
    if (!utf8.contains('&')) return utf8;
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 16);
    const char *begin = utf8.constData(), *end = begin + utf8.size();
    for (const char *p = begin; p < end;) {
        const QByteArrayView rest(p, end - p);
        const char *close = rest.startsWith("<!--")        ? "-->"
                            : rest.startsWith("<![CDATA[") ? "]]>"
                            : rest.startsWith("<?")        ? "?>"
                                                           : nullptr;
        if (close) {
            const qsizetype at = rest.indexOf(close, 2);
            const qsizetype length = at < 0 ? rest.size() : at + qsizetype(std::strlen(close));
            out.append(p, length);
            p += length;
            continue;
        }
        const auto reference = *p == '&'
                                   ? std::find_if(std::begin(named), std::end(named),
                                                  [&](const auto &r) { return rest.startsWith(r.first); })
                                   : std::end(named);
        if (reference != std::end(named)) {
            out += reference->second;
            p += reference->first.size();
        } else {
            out += *p++;
        }
    }
    return out;
}

}  // namespace

std::optional<QByteArray> recoverXml(const QByteArray &original, QString *problem) {
    initialiseOnce();
    const QByteArray utf8 = withCharacterReferences(original);
    if (utf8.size() > std::numeric_limits<int>::max()) return std::nullopt;
    const std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) return std::nullopt;
    Faults faults;
    ctxt->_private = &faults;
    ctxt->sax->serror = collectFault;
    // No XML_PARSE_NOENT or XML_PARSE_DTDLOAD: entities are neither expanded nor fetched.
    const std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(ctxt.get(), utf8.constData(),
                                                                 int(utf8.size()), nullptr, "UTF-8",
                                                                 XML_PARSE_RECOVER | XML_PARSE_NONET));
    if (problem) *problem = faults.first;
    if (!doc || !xmlDocGetRootElement(doc.get())) return std::nullopt;

    const std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (!buffer) return std::nullopt;
    xmlSaveCtxtPtr save = xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_AS_XML);
    if (!save) return std::nullopt;
    const long written = xmlSaveDoc(save, doc.get());
    xmlSaveClose(save);
    if (written < 0) return std::nullopt;
    return QByteArray(reinterpret_cast<const char *>(xmlBufferContent(buffer.get())),
                      qsizetype(xmlBufferLength(buffer.get())));
}

void setXmlRepairLog(XmlRepairLog log) {
    std::lock_guard lock(repairMutex());
    repairLog() = std::move(log);
}

void reportXmlRepair(const QString &source, const QByteArray &content, const QString &problem) {
    const QString text = QStringLiteral("\nXML repaired on reading %1 (%2)\n").arg(source, problem);
    XmlRepairLog log;
    {
        std::lock_guard lock(repairMutex());
        // A damaged file is read again and again; one report tells all there is to tell.
        static QSet<QByteArray> reported;
        const QByteArray key =
            source.toUtf8() + '\0' + QCryptographicHash::hash(content, QCryptographicHash::Sha1);
        if (reported.contains(key)) return;
        reported.insert(key);
        log = repairLog();
    }
    if (log)
        log(text);
    else
        qWarning().noquote() << text.trimmed();
}

}  // namespace cvx
