#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
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

// The tidy reading of a text that pugixml refuses, every step in order, so that one reader can
// follow them: the text without the piece a cut split and the end tags that close nothing
// (repairable text), the recovering parser's repair of it, that repair read back with `parse`
// (pugixml with the tidy options; the declaration as written in `utf8` is put back), the check
// that it holds everything the text holds, the names the file's layout holds for what the
// repair closed at a misspelt end tag, the leaves the cut left open left out, and the check that
// the tree keeps the layout of this program's files. Null, with `why` when given, where any step
// refuses; `problem` gets the recovering parser's first fault.
using XmlParse = std::function<std::shared_ptr<pugi::xml_document>(const QByteArray &utf8)>;
std::shared_ptr<pugi::xml_document> repairedTree(const QByteArray &utf8, const XmlParse &parse,
                                                 QString *why = nullptr, QString *problem = nullptr);

// The last check of every repaired reading, on the tree it hands out, whatever rules made it: every
// complete text of `utf8` (character data that markup follows) and every attribute value and
// comment is in the tree as often as in the text, in the text's order, with white space at their
// ends aside; every element the text opens is in it, but those only the cut end of the text
// follows; and the tree holds no element the text does not name. The one piece the cut split at
// the very end (a text or half a tag after the last whole piece of markup) is not known whole and
// may be missing. False, with `why` when given, where the tree lost anything.
bool treeKeepsTheText(const QByteArray &utf8, const pugi::xml_node &tree, QString *why = nullptr);

// Whether each result of a patient file, each group of the hospital file and each list of a
// comment file holds at most one element of each name, repaired or well-formed. No writer writes
// a second one; where one stands, it is the piece of another result or list that damage left
// there (a cut followed by older bytes, a deletion across two results), and a reader would show
// one of the two under the other's date or place. False, with `why` when given, where one does.
bool holdsEachNameOnce(const pugi::xml_node &root, QString *why = nullptr);

// Where a repaired read is reported, one line of text per report (the application puts it in
// its error log). Without one the report goes to the debug output. Each file (path and
// content) is reported once per run.
using XmlRepairLog = std::function<void(const QString &text)>;
void setXmlRepairLog(XmlRepairLog log);
void reportXmlRepair(const QString &source, const QByteArray &content, const QString &problem);

}  // namespace cvx
