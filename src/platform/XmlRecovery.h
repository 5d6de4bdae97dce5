#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

#include <pugixml.hpp>

namespace cvx {

// What a recovering XML parser (libxml2 in recover mode) makes of a text that is not
// well-formed: the repaired document as UTF-8 text, without an XML declaration, or
// std::nullopt when the text yields no root element. The text must be UTF-8 whatever its
// declaration says. Nothing is fetched from outside: no network, no external entities or DTDs,
// and entity references stay unexpanded. `problem`, when given, gets the first fault found
// ("line 1, column 21: Opening and ending tag mismatch: MODE line 1 and DATA").
// Safe to call from any thread.
std::optional<QByteArray> recoverXml(const QByteArray &utf8, QString *problem = nullptr);

// The pieces of XML text that both the reading and the check of a repair look at alike.
inline bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
// The end of what a text holds: a run of NUL bytes at its end, as a crash leaves, the
// end-of-file mark of old editors and trailing white space hold nothing.
const char *endOfContent(const char *begin, const char *end);
// A character reference at `p` ("&#65;", "&#x41;") as the parsers read it: its length up to and
// with the ";" (0 when it is none), and the number it names, at most 0x110000 for anything past
// Unicode.
struct CharacterReference {
    qsizetype length = 0;
    char32_t code = 0;
};
CharacterReference characterReferenceAt(const char *p, const char *end);

// The part of a text that a repair is to read: without what a crash or an old editor left at its
// end (NUL bytes, an end-of-file mark), without the one piece of markup that a cut split, half
// a tag or half a reference, which a recovering parser would make into something the text never
// held (an end tag that the cut split, and that begins the name of the element open innermost,
// is whole again: the text before it is), and without the end tags that close
// nothing, at which a recovering parser would close an element: one that names no open element
// while the innermost open one has an end tag of its own further on. Line ends may be read as
// XML reads them.
QByteArray repairableText(const QByteArray &utf8);

// What the check of a repair finds besides: the elements that the text leaves open at its end,
// and those that the repair closes at an end tag of another name (a misspelt one), with that name.
struct RepairFindings {
    QList<pugi::xml_node> leftOpen;
    QList<std::pair<pugi::xml_node, QByteArray>> misspelt;
};

// Whether `repaired`, the tree that recoverXml made of `utf8` (a repairableText) as read back with
// pugixml's tidy options, holds everything the text holds: every start tag with its attributes,
// every text, comment and processing instruction, and every end tag that closes an open element,
// in the same order, with nothing added but end tags of elements that the text left open. An end
// tag that closes nothing (a misspelt one) or names an element around the innermost holds no data
// and may be left out. A repair that drops or changes anything (the rest of the text after a NUL
// byte, an attribute without quotes) loses data when the tree is written back, so it is no
// reading of the text. Nor is one that leaves an element holding another of its own name while it
// closes an element of that name: the end tag lost from one of a list of like elements would hide
// the rest of the list inside it. Nor one that closes an element holding elements anywhere but at
// the end of the text or at a misspelt end tag: whether they were meant inside it or after it is a
// guess. `why`, when given, says what is wrong with the repair.
bool repairKeepsEverything(const QByteArray &utf8, const pugi::xml_node &repaired, QString *why = nullptr,
                           RepairFindings *findings = nullptr);

// Makes a repaired tree hold only what the text holds whole and under the names this program
// reads. An element closed at an end tag of another name keeps the name that the file's layout
// holds at its place, when just one of the two is such a name; else which one was misspelt is a
// guess, and the repair is refused. An element that the cut left open and that holds text but no
// element, or nothing and no attribute, is left out: its text is not known to be whole. False,
// with `why` when given, where the repair is refused.
bool settleRepair(const RepairFindings &findings, QString *why = nullptr);

// Whether a repaired tree keeps the layout of this program's files, so that no element of it
// stands inside another that the file never nests it in. No element holds both text and
// elements. A patient file's root (<DATA> with <comment> results) holds only results, the hospital
// file's (<HisSetting>) and the comment files' (<Comments>) only lists; results and lists hold no
// text and only entries, which hold no element; a settings file's root (<DATA> without results)
// holds only entries. Under a root of another name, which may be a damaged one, the elements of
// any one element are all entries or all lists. The calculation ranges (<CalcData>) nest deeper
// and are held to the first rule only.
bool repairKeepsLayout(const pugi::xml_node &root, QString *why = nullptr);

// Where a repaired read is reported, one line of text per report (the application puts it in
// its error log). Without one the report goes to the debug output. Each file (path and
// content) is reported once per run.
using XmlRepairLog = std::function<void(const QString &text)>;
void setXmlRepairLog(XmlRepairLog log);
void reportXmlRepair(const QString &source, const QByteArray &content, const QString &problem);

}  // namespace cvx
