#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include <pugixml.hpp>

#include "platform/FileManager.h"

namespace cvx {

struct XmlAttribute {
    QString name;
    QString value;
    bool operator==(const XmlAttribute &) const = default;
};

// The value of the attribute of that name; a null QString when there is none.
inline QString attributeValue(const QList<XmlAttribute> &attributes, const QString &name) {
    for (const XmlAttribute &attribute : attributes)
        if (attribute.name == name) return attribute.value;
    return QString();
}

// Whether XML 1.0 can hold the text: no control character but tab, line feed and carriage
// return (no NUL), no U+FFFE or U+FFFF, no unpaired surrogate. A file that holds another one,
// even as a character reference, is refused whole by a strict reader.
bool isXmlText(QStringView text);
// The text without the characters that XML 1.0 cannot hold.
QString withoutNonXmlCharacters(const QString &text);

// A handle to one node of an XmlDocument: an element, or (among an element's children) a text,
// CDATA, comment or processing-instruction node. A default-constructed handle is null; every
// operation on a null handle, or on a kind of node it does not apply to, does nothing and returns
// an empty result.
//
// Handles share ownership of their document's tree, so a handle stays usable after the XmlDocument
// it came from is moved or destroyed. A handle to a node that was removed from its tree must not be
// used any more.
//
// Children are counted as the platform's XML model counts them: every child node, text and comments
// included (after tidy parsing of an indented file these are the elements alone). elements() and
// firstElement() look at child elements only.
class XmlElement {
public:
    enum class Kind { Null, Element, Text, CData, Comment, ProcessingInstruction, Other };

    XmlElement() = default;

    bool isNull() const { return !node_; }
    explicit operator bool() const { return !isNull(); }
    Kind kind() const;
    bool isElement() const { return kind() == Kind::Element; }
    bool operator==(const XmlElement &other) const { return node_ == other.node_; }

    // The element's name; "" for other kinds.
    QString name() const;
    void setName(const QString &name);

    // Attributes, in document order. attribute() is a null QString when the attribute is absent.
    bool hasAttribute(const QString &name) const;
    QString attribute(const QString &name) const;
    // Changes the value in place when the attribute exists, else appends it.
    void setAttribute(const QString &name, const QString &value);
    bool removeAttribute(const QString &name);
    int attributeCount() const;
    QList<XmlAttribute> attributes() const;
    // Replaces every attribute by the given ones, in the given order (a repeated name keeps its
    // first position and takes the last value).
    void setAttributes(const QList<XmlAttribute> &attributes);

    // Children, every kind of node counted.
    int childCount() const;
    XmlElement childAt(int index) const;  // null when out of range
    QList<XmlElement> children() const;
    // Position among the parent's children, -1 for a null handle or the root.
    int index() const;
    // The parent element; null for the root element.
    XmlElement parent() const;

    // Child elements only, in order; with a name, those of that name.
    QList<XmlElement> elements() const;
    QList<XmlElement> elements(const QString &name) const;
    XmlElement firstElement(const QString &name = QString()) const;

    // Adding children. index runs from 0 to childCount() inclusive; outside that range nothing is
    // inserted and a null handle is returned. A null or empty text adds no text node.
    XmlElement insertElement(int index, const QString &name, const QString &text = QString());
    XmlElement appendElement(const QString &name, const QString &text = QString());
    XmlElement insertText(int index, const QString &text);
    // Deep copy of a node, which may belong to another document.
    XmlElement insertCopy(int index, const XmlElement &node);
    XmlElement appendCopy(const XmlElement &node);

    bool removeChildAt(int index);
    bool removeChild(const XmlElement &child);
    void removeAllChildren();

    // All text inside the node, concatenated in document order (the node's own text for a text,
    // comment or processing instruction).
    QString stringValue() const;
    // An element's children are replaced by one text node holding the text (by none when the text is
    // empty); another node's own text is replaced.
    void setStringValue(const QString &text);

    // XPath 1.0, relative paths starting at this node. An invalid expression gives an empty result,
    // and a message in *error when asked for. Matches that are not elements or text (attributes) are
    // left out of nodesForXPath but count in stringsForXPath, which gives each match's string value.
    QList<XmlElement> nodesForXPath(const QString &xpath, QString *error = nullptr) const;
    XmlElement firstNodeForXPath(const QString &xpath, QString *error = nullptr) const;
    QStringList stringsForXPath(const QString &xpath, QString *error = nullptr) const;
    // The expression evaluated as an XPath string (e.g. "string(@name)", "count(comment)").
    QString evaluateXPathString(const QString &xpath, QString *error = nullptr) const;

    // The node and its content pretty-printed as XmlDocument::toString() writes them, without the
    // trailing line break.
    QString toString() const;

    pugi::xml_node pugiNode() const { return node_; }

private:
    friend class XmlDocument;
    XmlElement(std::shared_ptr<pugi::xml_document> owner, pugi::xml_node node);
    XmlElement wrap(pugi::xml_node node) const;
    pugi::xml_node insertionPoint(int index, bool &valid) const;

    std::shared_ptr<pugi::xml_document> owner_;
    pugi::xml_node node_;
};

// An XML document over pugixml, in place of the platform's XML document class.
//
// Move-only: XmlElement handles share the tree, so a copy would be ambiguous; clone() makes an
// independent deep copy. A moved-from document is empty.
//
// Output (toString, toBytes, save): the declaration, when the document has one, on the first line as
// set (attribute order version, encoding, standalone); one node per line indented by four spaces; an
// element holding only text written on one line with the text untouched (`<a>text</a>`); an element
// with mixed text and elements written without added white space; an empty element written as
// `<a></a>`; "\n" line ends, the last line ending too. Text escapes & < >, attributes & < " (and
// tab, CR, LF as character references, so that they survive the attribute-value normalisation). Characters
// outside ASCII are written as they are, never as character references, except where the declared encoding
// lacks them.
//
// Byte encoding follows the declaration's encoding: UTF-8 when it names none or UTF-8; CP932 for every
// spelling of Shift-JIS ("shift-jis", "Shift_JIS", ...); any other name through iconv. A character the
// encoding lacks is written as a character reference (&#x1F600;) so that nothing is lost; where a
// reference would stand for itself (a comment, a CDATA section, an instruction, a name), the document
// is not written. Reading
// decodes by the same rule; a UTF-16 or UTF-32 file with a byte-order mark is recognised by it. An
// encoding that reading would not recognise (UTF-7, UTF-32 without a mark, ...) is written as UTF-8
// with a UTF-8 declaration instead. A tree nested deeper than kMaxDepth is written without
// indentation. A document that holds a character XML 1.0 cannot hold (isXmlText) is not written
// at all: no writer makes a file that only a tolerant reader takes.
class XmlDocument {
public:
    // No file of this program nests elements deeper; a deeper text is refused as unreadable.
    static constexpr int kMaxDepth = 32;

    enum class Option {
        None,  // white-space-only text is kept as text nodes
        Tidy,  // white-space-only text is dropped; invalid UTF-8 and a Shift-JIS byte that maps to
               // nothing become U+FFFD instead of failing; a bare "&" is kept as text (also with None)
    };

    // An empty document: no declaration, no root.
    XmlDocument();
    // A document holding only a root element of that name, without declaration.
    explicit XmlDocument(const QString &rootName);
    XmlDocument(XmlDocument &&other) noexcept;
    XmlDocument &operator=(XmlDocument &&other) noexcept;
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;
    ~XmlDocument();

    XmlDocument clone() const;

    // Parsing. A text that is not well-formed (e.g. an unclosed tag), has no root element or cannot be
    // decoded gives no document, never a partial tree; *error then says why ("line 3, column 7: ...").
    // With Option::Tidy a text that is not well-formed is read as a recovering parser repairs it
    // (XmlRecovery.h) where the repair only closes what the text left open, and the repair is
    // reported once; a repair that would drop or change anything the text holds, or hide an element
    // inside another of its name, gives no document. Nothing is written back.
    static std::optional<XmlDocument> fromFile(const QString &path, Option option = Option::None,
                                               QString *error = nullptr);
    // A tidy read of a file that is to be written back, or merged into one that is: a text that
    // reads only with replacement characters gives no document, since writing it would lose
    // the bytes they stand for.
    static std::optional<XmlDocument> fromFileToRewrite(const QString &path, QString *error = nullptr);
    // The same for a file's bytes read elsewhere; `source` names the file in the repair report.
    static std::optional<XmlDocument> fromBytesToRewrite(const QByteArray &bytes, const QString &source,
                                                         QString *error = nullptr);
    // The root element's attributes read from the first few kilobytes of a file, without parsing
    // the rest, for a file that starts plainly: an optional UTF-8 declaration, white space, then the
    // root's start tag with attribute values free of references, "<" and control characters.
    // std::nullopt for anything else (and for a file that cannot be opened); the caller then reads
    // the whole file. Where a file gives attributes here, fromFile(path, Tidy) gives the same ones
    // or no document at all, since the rest of the file may still be broken: a filter, not a read.
    static std::optional<QList<XmlAttribute>> rootAttributesOfFile(const QString &path);
    static std::optional<XmlDocument> fromBytes(const QByteArray &bytes, Option option = Option::None,
                                                QString *error = nullptr);
    // The text is taken as already decoded; a declared encoding only matters for later output.
    static std::optional<XmlDocument> fromText(const QString &text, Option option = Option::None,
                                               QString *error = nullptr);

    XmlElement rootElement() const;
    // Replaces the root element (and all its content) by a new empty element of that name.
    XmlElement setRootElement(const QString &name);

    // The declaration. Readers give a null QString (std::nullopt for standalone) when the document
    // has no declaration or the declaration lacks that item. Setting an item on a document without
    // declaration creates one, with version "1.0" unless the version is what is being set. A null
    // QString (std::nullopt) removes the item.
    bool hasDeclaration() const;
    QString version() const;
    void setVersion(const QString &version);
    QString characterEncoding() const;
    void setCharacterEncoding(const QString &encoding);
    std::optional<bool> standalone() const;
    void setStandalone(std::optional<bool> standalone);

    // XPath 1.0 from the document node, so "/DATA/MODE" and "DATA/MODE" both work. See XmlElement.
    QList<XmlElement> nodesForXPath(const QString &xpath, QString *error = nullptr) const;
    XmlElement firstNodeForXPath(const QString &xpath, QString *error = nullptr) const;
    QStringList stringsForXPath(const QString &xpath, QString *error = nullptr) const;
    QString evaluateXPathString(const QString &xpath, QString *error = nullptr) const;

    // Pretty-printed text (see above), declaration included as set.
    QString toString() const;
    // Whether every name, text, attribute value, comment and instruction of the tree is one that
    // XML 1.0 can hold (isXmlText).
    bool holdsOnlyXmlText() const;
    // The pretty-printed text in the declared encoding; std::nullopt when iconv does not know the
    // declared encoding, when the tree holds a character XML 1.0 cannot hold, or one the encoding
    // lacks where no reference can stand for it.
    std::optional<QByteArray> toBytes() const;
    // Writes toBytes() atomically (a temporary file in the same folder, then renamed over the path).
    // false, with the reason in *error, when encoding or writing failed; the old file is then intact.
    // A document that a tidy read gave replacement characters (hasReplacedBytes) is never written:
    // the bytes they stand for would be gone from the file for good.
    bool hasReplacedBytes() const { return substituted_; }
    bool save(const QString &path, QString *error = nullptr,
              Durability durability = Durability::Synced) const;

    // An XPath string literal for the text, quoted so that any text can be matched:
    // "a'b" gives "a'b" in double quotes, and a text with both quote kinds a concat(...) expression.
    static QString xpathLiteral(const QString &text);

private:
    friend class XmlFileReader;
    XmlDocument(std::shared_ptr<pugi::xml_document> doc, bool substituted);
    static std::optional<XmlDocument> fromBytes(const QByteArray &bytes, Option option, QString *error,
                                                const QString &source);
    XmlElement documentNode() const;
    pugi::xml_node declaration() const;
    void setDeclarationItem(const char *name, const QString &value);

    std::shared_ptr<pugi::xml_document> doc_;
    bool substituted_ = false;  // read tidily with replacement characters for bytes that are no text
};

// Reads one file after another for a job that only looks at each tree, as fromFile(path,
// Option::Tidy) reads it, keeping one buffer and one tree from file to file. A file that starts
// with the declaration the store writes and is valid UTF-8 is parsed where it was read.
class XmlFileReader {
public:
    enum class Files {
        Any,      // as fromFile
        Regular,  // anything but a regular file (a folder, a pipe, ...) is not read
    };

    XmlFileReader() = default;
    XmlFileReader(const XmlFileReader &) = delete;
    XmlFileReader &operator=(const XmlFileReader &) = delete;

    // The root element; null where fromFile gives no document. Valid until the next read.
    pugi::xml_node read(const QString &path, Files files = Files::Any);
    // The part of read() that needs nothing of fromFile: the root element of a regular file in
    // the stored form that parses as it stands and passes every check fromFile applies to it.
    // Null for any other file, which read() reads; nothing is reported or repaired here, so that
    // it can run on any thread.
    pugi::xml_node readStored(const QString &path);

private:
    bool parseInPlace();

    QByteArray buffer_;
    QByteArray tail_;  // the text's end as read, before the parse in place changes it
    pugi::xml_document doc_;
    std::optional<XmlDocument> other_;
};

}  // namespace cvx
