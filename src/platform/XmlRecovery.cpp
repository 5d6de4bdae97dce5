#include "platform/XmlRecovery.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QtDebug>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

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
    bool stray = false;            // an end tag that closes nothing, left out before the repair
    bool closesInnermost = false;  // an end tag of another name, at which the repair closes it
    qsizetype from = 0, to = 0;    // an end tag's place in the text
    qsizetype standsFor = -1;      // the start tag open innermost where an unknown end tag stands
    qsizetype elements = 0;        // of a start tag: how many elements its element holds

    bool sameAs(const Token &other) const {
        return kind == other.kind && name == other.name && value == other.value &&
               attributes == other.attributes;
    }
};

// What the check of a repair finds besides: the elements that the text leaves open at its end,
// and those that the repair closes at an end tag of another name (a misspelt one), with that name.
struct RepairFindings {
    QList<pugi::xml_node> leftOpen;
    QList<std::pair<pugi::xml_node, QByteArray>> misspelt;
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
            // Most of a text is plain: copied a run at a time.
            const char *run = p;
            while (p < end && *p != '&' && !(attribute && (*p == '\t' || *p == '\n'))) ++p;
            out.append(run, p - run);
            if (p < end && *p != '&') out += ' ', ++p;
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

// Whether the name of an end tag that lost its ">" is one: a name of this program's files is
// ASCII, and where the ">" is gone, the text after "</" up to the next "<" may be text that a cut or
// an overwrite left after the "</", which a reading as a name would lose.
bool looksLikeAName(QByteArrayView name) {
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(uchar(c)) || c == '_' || c == '.' || c == ':' || c == '-';
    });
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
constexpr std::string_view kCalculationValues[] = {"AvgData",   "DataRange", "AvgRange",
                                                   "Threshold", "coefC",     "coefD"};
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

bool isAnyEntry(std::string_view name) {
    return std::any_of(std::begin(kEntryPrefixes), std::end(kEntryPrefixes),
                       [&](std::string_view prefix) { return isEntry(name, prefix); });
}

// The entry after `entry` in its list: "doctor3" after "doctor2"; "" where `entry` is none.
std::string nextEntry(std::string_view entry) {
    for (const std::string_view prefix : kEntryPrefixes) {
        if (!isEntry(entry, prefix)) continue;
        std::string number(entry.substr(prefix.size()));
        qsizetype at = qsizetype(number.size()) - 1;
        for (; at >= 0 && number[size_t(at)] == '9'; --at) number[size_t(at)] = '0';
        if (at < 0)
            number.insert(number.begin(), '1');
        else
            ++number[size_t(at)];
        return std::string(prefix) + number;
    }
    return {};
}

bool anywhere(std::string_view name) {
    return among(kRoots, name) || among(kSettings, name) || among(kGroups, name) || among(kResult, name) ||
           among(kCalculation, name) || name == "comment" || isAnyEntry(name);
}

// Whether an element of the name `child` stands inside one of the name `parent` in any of this
// program's files.
bool mayHold(std::string_view parent, std::string_view child) {
    if (parent == "comment") return among(kResult, child);
    if (parent == "Hospital" || parent == "Doctor")
        return isEntry(child, "hospital") || isEntry(child, "doctor");
    if (parent == "List") return isEntry(child, "data");
    if (parent == "HisSetting") return child == "Hospital" || child == "Doctor";
    if (parent == "Comments") return child == "List";
    if (parent == "DATA" && (child == "comment" || among(kSettings, child))) return true;
    return (parent == "CalcData" || among(kCalculation, parent)) && among(kCalculation, child);
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
        nest();
        return tokens_;
    }

    // The start tag of the element open innermost at the end of the text; null when none is.
    // Only after read().
    const Token *innermostOpen() const { return open_.isEmpty() ? nullptr : &tokens_[open_.last()]; }
    // Whether that element holds text and nothing else.
    bool innermostHoldsOnlyText() const {
        return !open_.isEmpty() && open_.last() + 2 == tokens_.size() &&
               tokens_.last().kind == Token::Kind::Text;
    }

    // The text as read, without the end tags that close nothing (stray). Null when there is none.
    // Only after read().
    QByteArray withoutStrayEndTags() const {
        QByteArray out;
        qsizetype copied = 0;
        for (const Token &token : tokens_) {
            if (!token.stray) continue;
            out.append(text_.constData() + copied, token.from - copied);
            copied = token.to;
        }
        if (!copied) return {};
        return out.append(text_.constData() + copied, text_.size() - copied);
    }

private:
    // Whether an element named `next` is the next one that `parent` holds: a name it holds, and
    // for the entry of a list the number after those it holds.
    static bool goesOn(const Token &parent, const QByteArray &next) {
        const std::string_view name(next.constData(), size_t(next.size()));
        if (!mayHold(std::string_view(parent.name.constData(), size_t(parent.name.size())), name))
            return false;
        for (const std::string_view prefix : kEntryPrefixes) {
            if (isEntry(name, prefix))
                return name == std::string(prefix) + std::to_string(parent.elements + 1);
        }
        return true;
    }

    // Which element each end tag closes, as the recovering parser reads them: its own, where the
    // element open innermost bears its name; else, as a misspelt end tag, the innermost one.
    // Unless it closes nothing (stray), which a recovering parser would not know: where no
    // element is open; where the innermost one has an end tag of its own further on; or where
    // the innermost one holds elements, none of its end tags follows and the next element is one
    // it holds (the cut left it open, and its entries go on after the tag).
    void nest() {
        // Where the tags of each name stand, for a look ahead in time in proportion to the tags.
        QHash<QByteArray, QList<qsizetype>> starts, ends;
        for (qsizetype at = 0; at < tokens_.size(); ++at) {
            if (tokens_[at].kind == Token::Kind::Start) starts[tokens_[at].name].append(at);
            if (tokens_[at].kind == Token::Kind::End) ends[tokens_[at].name].append(at);
        }
        const auto nextOf = [](const QList<qsizetype> &places, qsizetype at) {
            const auto next = std::upper_bound(places.cbegin(), places.cend(), at);
            return next == places.cend() ? std::numeric_limits<qsizetype>::max() : *next;
        };
        constexpr qsizetype kNone = std::numeric_limits<qsizetype>::max();
        QList<qsizetype> nextStart(tokens_.size() + 1, kNone);
        for (qsizetype at = tokens_.size() - 1; at >= 0; --at)
            nextStart[at] = tokens_[at].kind == Token::Kind::Start ? at : nextStart[at + 1];
        QHash<QByteArray, qsizetype> openNames;  // how many open elements bear each name
        const auto closeInnermost = [&] { --openNames[tokens_[open_.takeLast()].name]; };
        for (qsizetype at = 0; at < tokens_.size(); ++at) {
            Token &token = tokens_[at];
            if (token.kind == Token::Kind::Start) {
                if (!open_.isEmpty()) ++tokens_[open_.last()].elements;
                open_.append(at);
                ++openNames[token.name];
                continue;
            }
            if (token.kind != Token::Kind::End) continue;
            if (open_.isEmpty()) {
                token.optional = token.unknown = token.stray = true;
                continue;
            }
            const Token &innermost = tokens_[open_.last()];
            if (innermost.name == token.name) {
                closeInnermost();
                continue;
            }
            // One that names an element around the innermost is no misspelt name of it.
            token.optional = true;
            token.unknown = !openNames.value(token.name);
            token.standsFor = open_.last();
            // Its own end tag: the next of its name, before another element of its name starts
            // and before the element around it ends.
            const qsizetype own = nextOf(ends.value(innermost.name), at);
            const bool ownFollows =
                own != kNone && nextOf(starts.value(innermost.name), at) > own &&
                (open_.size() < 2 || nextOf(ends.value(tokens_[open_[open_.size() - 2]].name), at) > own);
            token.stray = ownFollows || (innermost.elements && nextStart[at] != kNone &&
                                         goesOn(innermost, tokens_[nextStart[at]].name));
            token.closesInnermost = !token.stray;
            if (!token.stray) closeInnermost();
        }
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
    void pushEnd(QByteArray element, qsizetype from) {
        push(Token::Kind::End, std::move(element));
        tokens_.last().from = from;
        tokens_.last().to = p_ - text_.constData();
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
        if (element.isEmpty() || p_ == end_ || (*p_ != '>' && (*p_ != '<' || !looksLikeAName(element))))
            return false;
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
    QList<qsizetype> open_;  // start tags of the elements open at this point
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

    // Whether the layout holds `element`, under its name, as a value or an entry: an element of
    // text alone, not a result, a list, a group or a root. Where the layout is not known, anything
    // but these.
    bool holdsValue(const pugi::xml_node &element) {
        const std::string_view name = element.name();
        const pugi::xml_node parent = element.parent();
        if (parent.type() == pugi::node_document) return false;
        if (layout_.empty())
            return !(name == "comment" || name == "List" || among(kRoots, name) ||
                     (parent == root_ && among(kGroups, name)));
        if (!holds(element, name)) return false;
        if (layout_ == "DATA") return parent == root_ ? among(kSettings, name) : parent.parent() == root_;
        if (layout_ == "HisSetting" || layout_ == "Comments") return parent.parent() == root_;
        return layout_ == "CalcData" && among(kCalculationValues, name);
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

// Makes a repaired tree hold only what the text holds whole and under the names this program
// reads. An element closed at an end tag of another name keeps the name that the file's layout
// holds at its place, when just one of the two is such a name and no element beside it bears it;
// else which one was misspelt is a guess, and the repair is refused, as where both name entries
// (two entries run together). An element that the cut left open and that holds text but no
// element, or nothing and no attribute, is left out: its text is not known to be whole. Where
// the layout holds elements in it (a result, a list, a group), its text tells that the start tag
// of an entry was lost, and the repair is refused. False, with `why` when given, where the repair
// is refused.
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
        const QString names = QStringLiteral("<%1> and </%2>")
                                  .arg(QString::fromUtf8(element.name()), QString::fromUtf8(at->second));
        // The end of one entry and the start of the next were lost: two entries run together, and
        // the entry after both follows, or none. A byte flipped in the end tag leaves the entry
        // after the start tag's to follow.
        if (isAnyEntry(element.name()) && isAnyEntry(at->second.toStdString())) {
            pugi::xml_node following = element.next_sibling();
            while (following && following.type() != pugi::node_element) following = following.next_sibling();
            if (!following || following.name() != nextEntry(element.name()))
                return refuse(QStringLiteral("the repair runs two entries together: %1").arg(names));
        }
        const bool start = places.holds(element, element.name()),
                   end = places.holds(element, at->second.constData());
        if (start == end) return refuse(QStringLiteral("the repair cannot tell %1 apart").arg(names));
        // Under a name that a value or an entry beside it bears already, one of the two would be
        // hidden. Results and lists stand side by side under one name.
        const QByteArray name = end ? at->second : QByteArray(element.name());
        const bool leaf = element.parent() != root || among(kSettings, name.toStdString());
        for (const pugi::xml_node &other : element.parent().children(name.constData())) {
            if (leaf && other != element)
                return refuse(QStringLiteral("the repair would name a second <%1> where one is")
                                  .arg(QString::fromUtf8(name)));
        }
        element.set_name(name.constData());
        if (element == root) places.rootRenamed();
    }
    // Innermost first, so that what holds a leaf left out is judged without it.
    QList<pugi::xml_node> kept;
    for (pugi::xml_node element : findings.leftOpen) {
        const bool isRoot = element == root, text = holdsText(element);
        if (isRoot || holdsElement(element) || (!text && element.first_attribute())) {
            kept.append(element);
            continue;
        }
        // Text where the layout holds elements: the start tag of its first entry was lost.
        if (text && !places.holdsValue(element))
            return refuse(QStringLiteral("the cut leaves <%1> open holding text, not its entries")
                              .arg(QString::fromUtf8(element.name())));
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

}  // namespace

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

// The text without the one piece of markup that a cut split; `halfTag` tells whether it was half
// a tag. Where that piece is an end tag cut short ("</", "</Da"), `cutEndTag` gets what it holds
// of the name.
QByteArray withoutCutMarkup(const QByteArray &utf8, std::optional<QByteArray> &cutEndTag, bool &halfTag) {
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
        halfTag = true;
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

// The part of a text that a repair is to read: without what a crash or an old editor left at its
// end (NUL bytes, an end-of-file mark), without the one piece of markup that a cut split, half
// a tag or half a reference, which a recovering parser would make into something the text never
// held, and without the end tags that close nothing, at which a recovering parser would close an
// element. Where the cut split a tag right after the text of the element open innermost, and that
// element holds only text, a "<" began markup there: the text before it is whole, and so is the
// element. So it is where the cut split an end tag that begins the name of the element open
// innermost. An end tag that closes nothing and names an element of the layout is no stray: the
// element it closed lost its start tag, which marks a piece of another part of the file (a stale
// tail after a cut) whose values would pass for those of the element open there; the text is
// refused then (std::nullopt, with `why`).
std::optional<QByteArray> repairableText(const QByteArray &utf8, QString *why) {
    std::optional<QByteArray> cutEndTag;
    bool halfTag = false;
    const QByteArray text = withoutCutMarkup(utf8, cutEndTag, halfTag);
    TextTokens tokens(text);
    const std::optional<QList<Token>> read = tokens.read();
    if (!read) return text;  // the check of the repair refuses it with its reason
    for (const Token &token : *read) {
        const std::string_view name(token.name.constData(), size_t(token.name.size()));
        if (!token.stray || !anywhere(name) || among(kRoots, name)) continue;
        if (why)
            *why = QStringLiteral("the end tag </%1> closes nothing: its element lost its start tag")
                       .arg(QString::fromUtf8(token.name));
        return std::nullopt;
    }
    const QByteArray strayless = tokens.withoutStrayEndTags();
    QByteArray repairable = strayless.isNull() ? text : strayless;
    const Token *innermost = tokens.innermostOpen();
    if (innermost && ((halfTag && tokens.innermostHoldsOnlyText()) ||
                      (cutEndTag && innermost->name.startsWith(*cutEndTag))))
        repairable += "</" + innermost->name + '>';
    return repairable;
}

// Whether `repaired`, the tree that recoverXml made of `utf8` (a repairableText) as read back with
// pugixml's tidy options, holds everything the text holds: every start tag with its attributes,
// every text, comment and processing instruction, and every end tag that closes an open element,
// in the same order, with nothing added but end tags of elements that the text left open. An end
// tag that closes nothing (a misspelt one) holds no data and may be left out. A repair that drops
// or changes anything (the rest of the text after a NUL byte, an attribute without quotes) loses
// data when the tree is written back, so it is no reading of the text. Nor is one that leaves an
// element holding another of its own name while it closes an element of that name: the end tag
// lost from one of a list of like elements would hide the rest of the list inside it. Nor one
// that closes an element holding elements anywhere but at the end of the text or at a misspelt end
// tag: whether they were meant inside it or after it is a guess. `why`, when given, says what is
// wrong with the repair.
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
            const bool closing = next < text->size() && text->at(next).closesInnermost;
            const bool misspelt = closing && text->at(next).unknown;
            if (!atEnd(next) && !misspelt && holdsElement(token.node))
                return refuse(
                    QStringLiteral("the repair guesses where <%1> ends").arg(QString::fromUtf8(token.name)));
            if (findings && misspelt) findings->misspelt.append({token.node, text->at(next).name});
            if (findings && next == text->size()) findings->leftOpen.append(token.node);
            next += closing;
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

// Whether a repaired tree keeps the layout of this program's files, so that no element of it
// stands inside another that the file never nests it in. No element holds both text and
// elements. A patient file's root (<DATA> with <comment> results) holds only results, the hospital
// file's (<HisSetting>) and the comment files' (<Comments>) only lists; results and lists hold no
// text and only entries, which hold no element, a list its own entries, each once; a settings
// file's root (<DATA> without results) holds only entries. Under a root of another name, which may be a
// damaged one, the elements of any one element are all entries or all lists. The calculation ranges
// (<CalcData>) nest deeper and are held to the first rule only.
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
        // other list's entry was never one of its entries. A second of one name is for
        // holdsEachNameOnce, which every reading passes.
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

namespace {

// The XML declaration at the start of the text, as written there; "" without one.
QByteArray declarationText(const QByteArray &utf8) {
    static const QRegularExpression declaration(QStringLiteral("^\\s*<\\?xml\\s[^>]*\\?>"));
    const QRegularExpressionMatch match = declaration.match(QString::fromUtf8(utf8.left(512)));
    return match.hasMatch() ? match.captured(0).toUtf8() : QByteArray();
}

// A text or value as the last check compares it: without white space at its ends, byte-order
// marks (which the reading may take for white space) counted as white space.
QByteArray trimmedValue(QByteArrayView view) {
    QByteArray value = view.trimmed().toByteArray();
    if (!std::memchr(value.constData(), '\xEF', size_t(value.size()))) return value;
    return value.replace("\xEF\xBB\xBF", " ").trimmed();
}

// What a text or a tree holds of data, as the last check of a tidy reading compares them.
struct Holdings {
    struct Element {
        QByteArray name;
        QList<QByteArray> attributes;  // sorted, each as name=value
        qsizetype parent = -1;         // in a tree: the element it stands in
    };
    // A tag of the text: the start of an element, or an end tag and its name.
    struct Tag {
        qsizetype element = -1;
        QByteArray end;
    };
    QList<QByteArray> texts;    // complete texts, in order
    QList<QByteArray> notes;    // comments and instructions
    QList<Element> elements;    // in the order of their start tags
    qsizetype cutElements = 0;  // the last of them, without attributes, that only the cut follows
    QList<Tag> tags;            // of a text, in its order
};

// What the text holds whole, read by the plain rules of XML markup, apart from every rule of the
// repair: a text is whole where markup follows it, a tag where its ">" is there. Nothing where a
// piece of markup before the cut end is broken.
std::optional<Holdings> textHoldings(QByteArray text) {
    if (text.contains('\r')) text.replace("\r\n", "\n").replace('\r', '\n');
    const char *p = text.constData(), *const end = p + text.size();
    const auto at = [&](const char *what) {
        return size_t(end - p) >= std::strlen(what) && std::memcmp(p, what, std::strlen(what)) == 0;
    };
    const auto find = [&](const char *what) {
        const qsizetype found = text.indexOf(what, p - text.constData());
        return found < 0 ? nullptr : text.constData() + found;
    };
    const auto name = [&] {
        const char *start = p;
        while (p < end && !isSpace(*p) && !std::strchr("<>/=\"'&", *p)) ++p;
        return QByteArray(start, p - start);
    };
    const auto spaces = [&] {
        while (p < end && isSpace(*p)) ++p;
    };
    Holdings held;
    QByteArray run;
    qsizetype opened = 0;  // start tags without attributes since the last whole piece of data
    const auto whole = [&] {
        if (QByteArray value = trimmedValue(run); !value.isEmpty()) {
            held.texts.append(std::move(value));
            opened = 0;
        }
        run.resize(0);
    };
    while (p < end) {
        if (*p != '<') {
            const char *next = find("<");
            if (!next) break;  // the text the cut split
            run += decoded(p, next, false);
            p = next;
            continue;
        }
        if (at("<![CDATA[")) {
            const char *close = find("]]>");
            if (!close) break;
            run.append(p + 9, close - p - 9);
            p = close + 3;
            continue;
        }
        whole();
        if (!std::memchr(p, '>', size_t(end - p))) break;  // the piece of markup the cut split
        if (at("<!--") || at("<?")) {
            const bool comment = at("<!--");
            const char *close = find(comment ? "-->" : "?>");
            if (!close) break;
            const QByteArray body(p + (comment ? 4 : 2), close - p - (comment ? 4 : 2));
            p = close + (comment ? 3 : 2);
            const qsizetype target = std::find_if(body.cbegin(), body.cend(), isSpace) - body.cbegin();
            if (comment)
                held.notes.append('!' + body);
            else if (body.left(target) != "xml")
                held.notes.append('?' + body.left(target) + ' ' + body.mid(target).trimmed());
            opened = 0;
        } else if (at("<!")) {
            int depth = 0;
            for (char quote = 0; p < end && (quote || depth || *p != '>'); ++p) {
                if (quote) {
                    if (*p == quote) quote = 0;
                } else if (*p == '"' || *p == '\'') {
                    quote = *p;
                } else {
                    depth += *p == '[' ? 1 : *p == ']' ? -1 : 0;
                }
            }
            if (p++ == end) break;
        } else if (at("</")) {
            p += 2;
            held.tags.append(Holdings::Tag{-1, name()});
            spaces();
            if (p < end && *p != '>' && (*p != '<' || !looksLikeAName(held.tags.last().end)))
                return std::nullopt;
            p += p < end && *p == '>';
            opened = 0;
        } else {
            ++p;
            Holdings::Element element{name(), {}};
            bool closed = false, empty = false;
            while (p < end) {
                spaces();
                if (at(">") || at("/>")) {
                    empty = *p == '/';
                    p += empty ? 2 : 1;
                    closed = true;
                    break;
                }
                const QByteArray attribute = name();
                spaces();
                if (p == end) break;
                if (*p++ != '=') return std::nullopt;
                spaces();
                if (p == end) break;
                if (*p != '"' && *p != '\'') return std::nullopt;
                const auto *close = static_cast<const char *>(std::memchr(p + 1, *p, size_t(end - p - 1)));
                if (!close) break;
                element.attributes.append(attribute + '=' + trimmedValue(decoded(p + 1, close, true)));
                p = close + 1;
            }
            if (!closed) break;  // half a tag, which the cut split
            if (element.name.isEmpty()) return std::nullopt;
            std::sort(element.attributes.begin(), element.attributes.end());
            opened = empty || !element.attributes.isEmpty() ? 0 : opened + 1;
            held.tags.append(Holdings::Tag{held.elements.size(), {}});
            if (empty) held.tags.append(Holdings::Tag{-1, element.name});
            held.elements.append(std::move(element));
        }
    }
    held.cutElements = opened;
    return held;
}

// What a tree holds, as textHoldings reads a text: a text runs on over texts and CDATA sections
// side by side.
void addTreeHoldings(const pugi::xml_node &parent, Holdings &held, QByteArray &run, qsizetype parentAt = -1) {
    const auto whole = [&] {
        if (QByteArray value = trimmedValue(run); !value.isEmpty()) held.texts.append(std::move(value));
        run.resize(0);
    };
    for (const pugi::xml_node &node : parent.children()) {
        switch (node.type()) {
            case pugi::node_pcdata:
            case pugi::node_cdata:
                run += node.value();
                break;
            case pugi::node_element: {
                whole();
                Holdings::Element element{node.name(), {}, parentAt};
                for (const pugi::xml_attribute &attribute : node.attributes())
                    element.attributes.append(QByteArray(attribute.name()) + '=' +
                                              trimmedValue(attribute.value()));
                std::sort(element.attributes.begin(), element.attributes.end());
                held.elements.append(std::move(element));
                addTreeHoldings(node, held, run, held.elements.size() - 1);
                whole();
                break;
            }
            case pugi::node_comment:
                whole();
                held.notes.append('!' + QByteArray(node.value()));
                break;
            case pugi::node_pi:
                whole();
                held.notes.append('?' + QByteArray(node.name()) + ' ' + QByteArray(node.value()).trimmed());
                break;
            default:
                break;
        }
    }
}

// Whether each element of the tree stands where the tags of the text place it, whatever the end tags
// that close nothing or are misspelt: in the element its start tag stands in, under the name of its
// start tag or of the end tag that closed it. An end tag closes the element open innermost where it
// bears that element's name; one of another name closes it only where the tree ends the element
// before the next start tag and no end tag of its name comes first; any other holds nothing. The
// tree is the guide through the tags, so that the check takes time in proportion to them.
bool tagsPlaceTheTree(const Holdings &text, const Holdings &tree, QString *why) {
    auto refuse = [why](const QString &reason) {
        if (why) *why = reason;
        return false;
    };
    const qsizetype count = tree.elements.size();
    QList<qsizetype> open;
    QHash<QByteArray, qsizetype> endsAhead;  // end tags of each name until the next start tag
    qsizetype nextStart = 0;                 // the first tag from here on that starts an element
    for (qsizetype at = 0; at < text.tags.size(); ++at) {
        const Holdings::Tag &tag = text.tags[at];
        if (tag.element >= 0) {
            if (tag.element >= count) break;  // the cut left it out
            const Holdings::Element &element = tree.elements[tag.element];
            if (element.parent != (open.isEmpty() ? -1 : open.last()))
                return refuse(
                    QStringLiteral("the reading moves <%1> out of the element its start tag stands in")
                        .arg(QString::fromUtf8(text.elements[tag.element].name)));
            open.append(tag.element);
            continue;
        }
        if (at >= nextStart) {
            endsAhead.clear();
            for (nextStart = at; nextStart < text.tags.size() && text.tags[nextStart].element < 0;
                 ++nextStart)
                ++endsAhead[text.tags[nextStart].end];
        }
        --endsAhead[tag.end];
        if (open.isEmpty()) continue;
        const qsizetype innermost = open.last();
        const QByteArray &name = tree.elements[innermost].name, &started = text.elements[innermost].name;
        const bool closedBefore = nextStart < text.tags.size() && text.tags[nextStart].element < count &&
                                  tree.elements[text.tags[nextStart].element].parent != innermost;
        // A misspelt end tag closes it where an end tag of its start tag's name does not follow.
        const bool misspelt = !endsAhead.value(started) && (name == started ? closedBefore : tag.end == name);
        if ((tag.end == name && name == started) || misspelt) open.removeLast();
    }
    // An element the tree names otherwise than its start tag was closed by an end tag of that name.
    for (const qsizetype element : std::as_const(open)) {
        if (tree.elements[element].name != text.elements[element].name)
            return refuse(QStringLiteral("the reading names <%1> what the text names <%2>")
                              .arg(QString::fromUtf8(tree.elements[element].name),
                                   QString::fromUtf8(text.elements[element].name)));
    }
    return true;
}

}  // namespace

bool treeKeepsTheText(const QByteArray &utf8, const pugi::xml_node &tree, QString *why) {
    auto refuse = [why](const QString &reason) {
        if (why) *why = reason;
        return false;
    };
    const std::optional<Holdings> text = textHoldings(utf8);
    if (!text) return refuse(QStringLiteral("the text holds broken markup"));
    Holdings read;
    QByteArray run;
    addTreeHoldings(tree, read, run);
    if (const QByteArray value = trimmedValue(run); !value.isEmpty()) read.texts.append(value);
    // Each text in order, inside one of the tree's: the tree may run together texts that only
    // markup without data stood between.
    qsizetype inTree = 0, from = 0;
    for (const QByteArray &value : text->texts) {
        qsizetype found = -1;
        for (; inTree < read.texts.size(); ++inTree, from = 0) {
            if ((found = read.texts[inTree].indexOf(value, from)) >= 0) break;
        }
        if (found < 0)
            return refuse(QStringLiteral("the reading lost the text \"%1\"").arg(QString::fromUtf8(value)));
        from = found + value.size();
    }
    QList<QByteArray> notes = text->notes, kept = read.notes;
    std::sort(notes.begin(), notes.end());
    std::sort(kept.begin(), kept.end());
    if (notes != kept)
        return refuse(QStringLiteral("the reading lost or changed a comment or an instruction"));
    // The elements in the order of their start tags, which no repair changes; it may leave out
    // only the last ones, which the cut left open with nothing known whole in them.
    const qsizetype count = read.elements.size(), inText = text->elements.size();
    if (count > inText || count < inText - text->cutElements)
        return refuse(
            QStringLiteral("the reading holds %1 elements of the text's %2").arg(count).arg(inText));
    for (qsizetype at = 0; at < count; ++at) {
        if (read.elements[at].attributes != text->elements[at].attributes)
            return refuse(QStringLiteral("the reading lost or changed an attribute of <%1>")
                              .arg(QString::fromUtf8(text->elements[at].name)));
    }
    return tagsPlaceTheTree(*text, read, why);
}

namespace {

// The most attributes that one tag of the text holds. The recovering parser compares each
// attribute of a tag with every other, which for a tag of hundreds of thousands takes minutes.
qsizetype mostAttributesInATag(const QByteArray &utf8) {
    qsizetype most = 0, inTag = 0;
    bool tag = false;
    for (const char *p = utf8.constData(), *end = p + utf8.size(); p < end; ++p) {
        if (*p == '<' || *p == '>') {
            most = std::max(most, inTag);
            inTag = 0;
            tag = *p == '<';
        } else if (tag && (*p == '"' || *p == '\'')) {
            const auto *close = static_cast<const char *>(std::memchr(p + 1, *p, size_t(end - p - 1)));
            if (!close) break;
            p = close;
        } else if (tag && *p == '=') {
            ++inTag;
        }
    }
    return std::max(most, inTag);
}

}  // namespace

std::shared_ptr<pugi::xml_document> repairedTree(const QByteArray &utf8, const XmlParse &parse, QString *why,
                                                 QString *problem) {
    QString loss;
    const auto refused = [&]() -> std::shared_ptr<pugi::xml_document> {
        if (why) *why = loss;
        return nullptr;
    };
    // No file of this program holds more than a few attributes in an element.
    constexpr qsizetype kMostAttributes = 4096;
    if (const qsizetype most = mostAttributesInATag(utf8); most > kMostAttributes) {
        loss = QStringLiteral("a tag holds %1 attributes, more than a repair can take in").arg(most);
        return refused();
    }
    const std::optional<QByteArray> text = repairableText(utf8, &loss);
    if (!text) return refused();
    const std::optional<QByteArray> repaired = recoverXml(*text, problem);
    if (!repaired) return refused();
    // The declaration is kept as written: it names the encoding that a later save writes in.
    // Unless the repair kept it as it was: after white space, it is a processing instruction to
    // the recovering parser.
    QByteArray declaration = declarationText(*text);
    if (!declarationText(*repaired).isEmpty()) declaration.clear();
    std::shared_ptr<pugi::xml_document> doc =
        parse(declaration.isEmpty() ? *repaired : declaration + '\n' + *repaired);
    if (!doc) return refused();
    // A repair that loses anything, or moves an element where the file never has it, would lose
    // it for good at the next write: no reading.
    RepairFindings findings;
    if (!repairKeepsEverything(*text, *doc, &loss, &findings) || !settleRepair(findings, &loss) ||
        !repairKeepsLayout(doc->document_element(), &loss))
        return refused();
    return doc;
}

bool holdsEachNameOnce(const pugi::xml_node &root, QString *why) {
    const std::string_view layout = layoutOf(root);
    const bool patient = layout == "DATA" && root.child("comment");
    if (!patient && layout != "HisSetting" && layout != "Comments") return true;
    // Each item's names, sorted by a key of length and first and last letters that tells nearly
    // every two names of an item apart, then by the whole name. Kept from item to item: a set
    // cleared at every item would cost the buckets of the widest item each time.
    struct Name {
        size_t key;
        const char *text;
        bool operator<(const Name &other) const {
            return key != other.key ? key < other.key : std::strcmp(text, other.text) < 0;
        }
        bool operator==(const Name &other) const {
            return key == other.key && std::strcmp(text, other.text) == 0;
        }
    };
    std::vector<Name> names;
    for (const pugi::xml_node &item : root.children()) {
        if (item.type() != pugi::node_element || (patient && std::strcmp(item.name(), "comment") != 0)) continue;
        names.clear();
        for (const pugi::xml_node &element : item.children()) {
            if (element.type() != pugi::node_element) continue;
            const char *text = element.name();
            const size_t length = std::strlen(text);
            names.push_back(
                {length << 16 | uchar(text[0]) << 8 | uchar(length ? text[length - 1] : 0), text});
        }
        std::sort(names.begin(), names.end());
        const auto twice = std::adjacent_find(names.begin(), names.end());
        if (twice == names.end()) continue;
        if (why)
            *why = QStringLiteral("<%1> holds a second <%2>")
                       .arg(QString::fromUtf8(item.name()), QString::fromUtf8(twice->text));
        return false;
    }
    return true;
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
