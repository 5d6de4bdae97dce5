#include <QDateTime>
#include <QFile>
#include <QMap>

#include <QVarLengthArray>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/DateFormatter.h"
#include "platform/FileManager.h"
#include "platform/Numbers.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

using cvx::XmlDocument;
using cvx::XmlElement;

enum class Layout { Oldest, Old, Current };

// Positions of an item's level word, value pair and comment in a current-layout result.
struct ItemPlace {
    int element;
    int pair;
    int comment;
};
constexpr std::array<ItemPlace, 7> kPlaces{{
    {5, 6, 7},
    {8, 9, 10},
    {11, 12, 13},
    {14, 15, 16},
    {17, 18, 19},
    {20, 21, 22},
    {23, 24, 25},
}};

// Children a rewritten result must hold (after the BLD elements are back) and the fields its
// raw data line must hold as read, so that every positional access stays inside.
int requiredChildren(Layout layout) {
    switch (layout) {
        case Layout::Oldest:
            return 17;
        case Layout::Old:
            return 27;
        case Layout::Current:
            return 28;
    }
    return 0;
}
int requiredFields(Layout layout) {
    return layout == Layout::Current ? 41 : 40;
}

bool named(pugi::xml_node node, const char *name) {
    return std::strcmp(node.name(), name) == 0;
}

// As XmlElement::setStringValue on an element, from text or from UTF-8 without NULs.
void setText(pugi::xml_node node, QByteArrayView utf8) {
    node.remove_children();
    if (!utf8.isEmpty()) node.append_child(pugi::node_pcdata).set_value(utf8.data(), size_t(utf8.size()));
}
void setText(pugi::xml_node node, const QString &text) {
    node.remove_children();
    if (!text.isEmpty()) node.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
}

// The child elements of a result by position, kept in step with the changes made through it.
// A comment or processing instruction is no place and stays where it is.
class Children {
public:
    explicit Children(const XmlElement &parent) : element_(parent), parent_(parent.pugiNode()) {
        for (pugi::xml_node child = parent_.first_child(); child; child = child.next_sibling())
            if (child.type() == pugi::node_element) nodes_.append(child);
    }
    int size() const { return int(nodes_.size()); }
    pugi::xml_node at(int i) const { return nodes_[i]; }
    pugi::xml_node last() const { return nodes_.back(); }

    // The text of the child at i, as XmlElement::stringValue gives it; read directly when the
    // child holds one text.
    QString text(int i) const {
        const pugi::xml_node first = nodes_[i].first_child();
        if (!first) return QString();
        const pugi::xml_node_type type = first.type();
        if (!first.next_sibling() && (type == pugi::node_pcdata || type == pugi::node_cdata))
            return QString::fromUtf8(first.value());
        int index = 0;
        for (pugi::xml_node before = nodes_[i].previous_sibling(); before; before = before.previous_sibling())
            ++index;
        return element_.childAt(index).stringValue();
    }

    // As XmlElement::insertElement, for 0 <= i <= size().
    pugi::xml_node insert(int i, const char *name, QByteArrayView utf8 = {}) {
        pugi::xml_node added = i < size() ? parent_.insert_child_before(pugi::node_element, nodes_[i])
                                          : parent_.append_child(pugi::node_element);
        added.set_name(name);
        if (!utf8.isEmpty()) setText(added, utf8);
        nodes_.insert(i, added);
        return added;
    }
    // A new element in place of the one at i.
    void replace(int i, const char *name, QByteArrayView utf8) {
        const pugi::xml_node old = nodes_[i];
        nodes_.remove(i);
        insert(i, name, utf8);
        parent_.remove_child(old);
    }

private:
    const XmlElement &element_;
    pugi::xml_node parent_;
    QVarLengthArray<pugi::xml_node, 32> nodes_;
};

QString valuePart(const QString &pair) {
    return pair.section(QLatin1Char('|'), 0, 0);
}

double logOrZero(double v) {
    return v > 0 ? std::log10(v) : 0.0;
}

// As split(",") keeping empty parts, without a search set up per field.
QList<QStringView> splitAtCommas(QStringView line) {
    QList<QStringView> out;
    out.reserve(320);  // a current line's fields
    qsizetype start = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u',') continue;
        out.append(line.sliced(start, i - start));
        start = i + 1;
    }
    out.append(line.sliced(start));
    return out;
}

QStringView trimmed(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (end > 0 && NSStringExt::isWhitespaceOrNewline(text[end - 1])) --end;
    while (begin < end && NSStringExt::isWhitespaceOrNewline(text[begin])) ++begin;
    return text.sliced(begin, end - begin);
}

// "%.1f|%.0f" of the value and its chart position.
QByteArray valuePair(double value, double position) {
    if (!std::isfinite(value) || !std::isfinite(position))
        return cvx::format("%.1f|%.0f", value, position).toLatin1();
    std::array<char, 700> text;  // the longest finite double with one decimal, twice, fits
    char *end =
        std::to_chars(text.data(), text.data() + text.size() / 2, value, std::chars_format::fixed, 1).ptr;
    *end++ = '|';
    end = std::to_chars(end, text.data() + text.size(), position, std::chars_format::fixed, 0).ptr;
    return QByteArray(text.data(), end - text.data());
}

struct ItemValue {
    QString word;
    QByteArray pair;
};

// Values, chart positions and level words of the seven items. `fields` is the raw data line as
// read from the file, split at ",", of which the pad groups start at `firstPad` (5 in the
// current layout, 4 in the older ones, whose lines have no time field). Throws what the
// calculation ranges throw.
std::array<ItemValue, 7> computeItems(Layout layout, const QList<QStringView> &fields, int firstPad,
                                      const Children &children) {
    // From pad name to value text; a name that comes twice counts by its last group.
    std::array<std::pair<QStringView, QStringView>, 9> table;
    for (int k = 0; k < 9; ++k)
        table[k] = {trimmed(fields.at(firstPad + 4 * k)), fields.at(firstPad + 3 + 4 * k)};
    const auto find = [&table](QLatin1StringView key) -> const QStringView * {
        for (auto it = table.crbegin(); it != table.crend(); ++it)
            if (it->first == key) return &it->second;
        return nullptr;
    };
    const auto pad = [&find](QLatin1StringView key) {
        const QStringView *value = find(key);
        return value ? cvx::doubleValue(*value) : 0.0;
    };
    // An older line of a newer instrument names its LEU and NH3 pads I_LEU and I_NH3.
    const auto padOr = [&find, &pad](QLatin1StringView key, QLatin1StringView other) {
        return pad(find(key) ? key : other);
    };

    // 0 exactly when the line has no I_LEU field, as without the flag.
    const int leuStatus = UsbUtils::getItemStatus(true, fields);
    const bool newerPads = leuStatus != 0;
    const std::int32_t leuFlag = leuStatus == 2 ? 4 : leuStatus == 3 ? 7 : 8;
    const std::int32_t nh3Flag = newerPads ? 6 : 9;

    double leu = 0;
    double nh3 = 0;
    if (layout == Layout::Current) {
        const int n = children.size();
        leu = cvx::doubleValue(valuePart(children.text(n - 10)));
        nh3 = cvx::doubleValue(valuePart(children.text(n - 4)));
    } else {
        leu = padOr(QLatin1StringView("LEU"), QLatin1StringView("I_LEU"));
        nh3 = padOr(QLatin1StringView("NH3"), QLatin1StringView("I_NH3"));
    }
    const double ms = pad(QLatin1StringView("MS"));
    const double ph = padOr(QLatin1StringView("pH"), QLatin1StringView("PH"));
    const double bfc = pad(QLatin1StringView("BFC"));
    const double bld = pad(QLatin1StringView("BLD"));
    const double alb = pad(QLatin1StringView("ALB"));

    struct Input {
        double value;
        double chartInput;
        std::int32_t flag;
        std::int64_t wordIndex;
    };
    const std::array<Input, 7> inputs{{
        {ms, ms, newerPads ? 0 : 10, 0},
        {ph, ph, 1, 1},
        {bfc, bfc, 2, 2},
        {bld, logOrZero(bld), 3, 3},
        {leu, logOrZero(leu), leuFlag, leuFlag},
        {alb, alb, 5, 5},
        {nh3, logOrZero(nh3), nh3Flag, nh3Flag},
    }};
    std::array<ItemValue, 7> out;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const double position = UsbUtils::getAxiYValue(inputs[i].chartInput, inputs[i].flag);
        out[i].word = UsbUtils::getResultValue(position, inputs[i].wordIndex);
        out[i].pair = valuePair(inputs[i].value, position);
    }
    return out;
}

// `msecs` as local text. A formatter costs more to make than a result costs to convert, and the
// text changes once a second: both are kept per thread (a formatter is never shared) while TZ,
// which the formatter reads when made, stays.
QString localText(const QString &pattern, qint64 msecs) {
    struct Kept {
        QString pattern;
        bool tzSet;
        QByteArray tz;
        cvx::DateFormatter formatter;
        qint64 second;
        QString text;
    };
    thread_local std::vector<Kept> kept;
    const bool tzSet = qEnvironmentVariableIsSet("TZ");
    const QByteArray tz = qgetenv("TZ");
    const qint64 second = msecs / 1000;
    for (Kept &k : kept) {
        if (k.pattern != pattern) continue;
        if (k.tzSet != tzSet || k.tz != tz) {
            k.formatter = cvx::DateFormatter(pattern);
            k.tzSet = tzSet;
            k.tz = tz;
        } else if (k.second == second) {
            return k.text;
        }
        k.second = second;
        k.text = k.formatter.stringFromDate(QDateTime::fromMSecsSinceEpoch(msecs));
        return k.text;
    }
    cvx::DateFormatter formatter(pattern);
    const QString text = formatter.stringFromDate(QDateTime::fromMSecsSinceEpoch(msecs));
    kept.push_back({pattern, tzSet, tz, std::move(formatter), second, text});
    return text;
}

// The moment of a file's conversion in local time, as every date the program stores; worded
// once per file.
class Moment {
public:
    const QString &text(int which) {
        static const std::array<QString, 3> patterns{QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm"),
                                                     QStringLiteral("yyyy-MM-dd HH:mm:ss")};
        if (texts_[which].isNull()) texts_[which] = localText(patterns[which], msecs_);
        return texts_[which];
    }
    static constexpr int kDate = 0, kTime = 1, kSaveDate = 2;

private:
    const qint64 msecs_ = QDateTime::currentMSecsSinceEpoch();
    std::array<QString, 3> texts_;
};

constexpr std::array<const char *, 7> kPairNames{"DataValue1", "DataValue2", "DataValue3", "DataValue4",
                                                 "DataValue5", "DataValue6", "DataValue7"};

// Steps 5 to 9 of one root child. Throws what the calculation ranges throw, before the result
// is rewritten.
void convertResult(XmlElement result, Layout layout, Moment &moment) {
    const pugi::xml_node node = result.pugiNode();
    Children children(result);

    const bool oldest = layout == Layout::Oldest;
    if (!node.child("BLD") && children.size() >= (oldest ? 8 : 14)) {
        if (oldest) {
            children.insert(8, "BLD");
            children.insert(9, "Content4");
        } else {
            children.insert(14, "BLD");
            children.insert(15, "DataValue4");
            children.insert(16, "Content4");
        }
    }

    if (result.attributeCount() <= 1) {
        const QString date = result.hasAttribute(QStringLiteral("date"))
                                 ? result.attribute(QStringLiteral("date"))
                                 : moment.text(Moment::kDate);
        const QString time = result.hasAttribute(QStringLiteral("time"))
                                 ? result.attribute(QStringLiteral("time"))
                                 : moment.text(Moment::kTime);
        result.setAttributes({{QStringLiteral("date"), date}, {QStringLiteral("time"), time}});
    }

    const int count = children.size();
    if (count == 0) return;
    const bool endsWithRsv = named(children.last(), "RsvData");
    if (endsWithRsv == (layout == Layout::Current)) return;
    if (count < requiredChildren(layout)) return;

    const int linePlace = layout == Layout::Current ? count - 2 : count - 1;
    const pugi::xml_node lineNode = children.at(linePlace);
    // The line is split once; both the pad table and the item status read the fields.
    const QString line = children.text(linePlace);
    const QList<QStringView> fields = splitAtCommas(line);
    if (fields.size() < requiredFields(layout)) return;

    const std::array<ItemValue, 7> items =
        computeItems(layout, fields, layout == Layout::Current ? 5 : 4, children);

    if (oldest) {
        children.insert(2, "SheetFlg", "-");
        children.insert(3, "Remark");
        children.insert(4, "TotalComment");
    }
    if (layout != Layout::Current) {
        // The result's time goes in as field 2, which the older lines lack.
        const qsizetype third = fields.at(2).data() - line.data();
        QString withTime = line;
        withTime.insert(third, result.attribute(QStringLiteral("time")) + QLatin1Char(','));
        setText(lineNode, withTime);
    }

    for (size_t i = 0; i < items.size(); ++i) {
        const ItemPlace &place = kPlaces[i];
        if (oldest)
            children.insert(place.pair, kPairNames[i], items[i].pair);
        else
            children.replace(place.pair, kPairNames[i], items[i].pair);
        pugi::xml_node element = children.at(place.element);
        setText(element, items[i].word);
        if (i == 1) element.set_name("pH");
        if (oldest) children.at(place.comment).remove_attributes();
    }

    if (layout != Layout::Current)
        children.insert(children.size(), "SaveDate", moment.text(Moment::kSaveDate).toUtf8());
}

QList<XmlElement> elementChildren(const XmlElement &element) {
    return element.elements();
}

// The date and time by which a local result replaces an imported one; "" and "" unless it has
// exactly these two attributes.
std::pair<QString, QString> resultKey(const XmlElement &result) {
    if (result.attributeCount() != 2) return {QString(""), QString("")};
    return {result.attribute(QStringLiteral("date")), result.attribute(QStringLiteral("time"))};
}

const QStringList kRootAttributes{QStringLiteral("name"), QStringLiteral("birthday"), QStringLiteral("age"),
                                  QStringLiteral("sex")};

// The imported tree in the current layout; null with the reason when it cannot be.
std::optional<UsbUtils::ConvertResult> convertTree(std::optional<XmlDocument> &doc, Layout layout) {
    using R = UsbUtils::ConvertResult;
    if (!doc || doc->rootElement().isNull()) return R::NothingToRead;
    doc->setVersion(QStringLiteral("1.0"));
    doc->setCharacterEncoding(QStringLiteral("UTF-8"));
    doc->setStandalone(false);

    XmlElement root = doc->rootElement();
    // What is written is a patient file of this program, which every writer takes by its root,
    // whatever an older layout named the root.
    root.setName(SettingsFiles::kDataRoot);
    if (root.attributeCount() < 4) {
        QList<cvx::XmlAttribute> attributes;
        for (const QString &key : kRootAttributes)
            attributes.append({key, root.hasAttribute(key) ? root.attribute(key) : QString("")});
        root.setAttributes(attributes);
    }

    Moment moment;
    try {
        for (XmlElement &child : elementChildren(root)) {
            if (layout == Layout::Current && !named(child.pugiNode(), "comment")) continue;
            convertResult(child, layout, moment);
        }
    } catch (const std::exception &) {
        return R::CalculationFailed;
    }
    return std::nullopt;
}

// Reordered in place, newest first: the results are moved, not copied.
void orderResults(XmlElement root, bool current) {
    QList<XmlElement> kept;
    for (const XmlElement &child : elementChildren(root)) {
        if (!current || child.name() == QLatin1String("comment"))
            kept.append(child);
        else
            root.removeChild(child);
    }
    pugi::xml_node rootNode = root.pugiNode();
    for (const XmlElement &result : UsbUtils::compareComment(kept)) rootNode.prepend_move(result.pugiNode());
}

enum class LocalFile { Missing, Link, Other };

// The local patient file that a converted tree is merged into and written to: a path, or a name
// in a folder held open, looked at, read and written there and never through a link.
class LocalTarget {
public:
    explicit LocalTarget(const QString &path) : path_(path) {}
    // `path` names the file in reports.
    LocalTarget(const cvx::OpenFolder &folder, const QString &name, const QString &path)
        : folder_(&folder), path_(name), reported_(path) {}

    // One look, not following a link.
    LocalFile look() const {
        if (folder_) {
            const cvx::OpenFolder::Entry entry = folder_->entry(path_);
            return entry == cvx::OpenFolder::Entry::Missing ? LocalFile::Missing
                   : entry == cvx::OpenFolder::Entry::Link  ? LocalFile::Link
                                                            : LocalFile::Other;
        }
        std::error_code error;
        const std::filesystem::file_status status =
            std::filesystem::symlink_status(QFile::encodeName(path_).toStdString(), error);
        if (status.type() == std::filesystem::file_type::not_found) return LocalFile::Missing;
        return status.type() == std::filesystem::file_type::symlink ? LocalFile::Link : LocalFile::Other;
    }
    bool exists() const {
        return folder_ ? look() != LocalFile::Missing : cvx::FileManager::fileExists(path_);
    }
    // Nothing also for a file of another kind, which the merge would take for a patient's, or
    // one that holds what no write may keep.
    std::optional<XmlDocument> read() const {
        return SettingsFiles::toRewrite(folder_
                                            ? UsbUtils::documentToRewrite(folder_->readFile(path_), reported_)
                                            : XmlDocument::fromFileToRewrite(path_),
                                        SettingsFiles::kDataRoot);
    }
    bool write(const QByteArray &bytes, cvx::Durability durability) const {
        return folder_ ? folder_->writeAtomically(path_, bytes, durability)
                       : cvx::FileManager::writeAtomically(path_, bytes, durability);
    }
    bool save(const XmlDocument &doc, cvx::Durability durability) const {
        if (!folder_) return doc.save(path_, nullptr, durability);
        // As XmlDocument::save: what a tidy read replaced is never written.
        const std::optional<QByteArray> bytes = doc.hasReplacedBytes() ? std::nullopt : doc.toBytes();
        return bytes && write(*bytes, durability);
    }

private:
    const cvx::OpenFolder *folder_ = nullptr;
    QString path_;  // or the name in folder_
    QString reported_;
};

// Merges a converted tree with the local file, if any, and writes it.
UsbUtils::ConvertResult mergeAndSave(XmlDocument &converted, const LocalTarget &to, bool current,
                                     cvx::Durability durability) {
    using R = UsbUtils::ConvertResult;
    XmlDocument *doc = &converted;
    XmlElement root = doc->rootElement();
    std::lock_guard lock(SettingsFiles::writeMutex());
    if (to.exists()) {
        // An unreadable local file is not replaced: its results would be lost.
        const std::optional<XmlDocument> local = to.read();
        if (!local || local->rootElement().isNull()) return R::LocalUnreadable;
        // A file of an older layout may lack the patient's details: the local ones stay.
        for (const cvx::XmlAttribute &attribute : local->rootElement().attributes()) {
            if (kRootAttributes.contains(attribute.name) && root.attribute(attribute.name).isEmpty() &&
                !attribute.value.isEmpty())
                root.setAttribute(attribute.name, attribute.value);
        }
        const QList<XmlElement> localResults = elementChildren(local->rootElement());
        for (const XmlElement &mine : localResults) {
            const auto key = resultKey(mine);
            // Results stored within the same minute share date and time: the local one stands
            // in for its own twin (same raw line), else another would be dropped in its place.
            const QString line = mine.firstElement(QStringLiteral("RsvData")).stringValue();
            XmlElement match;
            for (const XmlElement &theirs : elementChildren(root)) {
                if (theirs.attributeCount() != 2 || resultKey(theirs) != key) continue;
                if (match.isNull()) match = theirs;
                if (theirs.firstElement(QStringLiteral("RsvData")).stringValue() == line) {
                    match = theirs;
                    break;
                }
            }
            if (!match.isNull()) root.removeChild(match);
        }
        for (const XmlElement &mine : localResults) root.insertCopy(0, mine);
    }

    orderResults(root, current);
    return to.save(*doc, durability) ? R::Written : R::WriteFailed;
}

UsbUtils::ConvertResult convertDocument(std::optional<XmlDocument> doc, const QString &to, Layout layout,
                                        cvx::Durability durability = cvx::Durability::Synced) {
    if (const auto failure = convertTree(doc, layout)) return *failure;
    return mergeAndSave(*doc, LocalTarget(to), layout == Layout::Current, durability);
}

Layout layoutOf(const std::optional<XmlDocument> &doc) {
    const int layoutClass = doc ? UsbUtils::layoutClass(*doc) : 0;
    return layoutClass == 1 ? Layout::Oldest : layoutClass == 2 ? Layout::Old : Layout::Current;
}

// The imported tree converted, made ready to write when there is no local file to merge.
UsbUtils::ConvertedFile convertRead(std::optional<XmlDocument> doc, bool noLocalFile) {
    UsbUtils::ConvertedFile out;
    const Layout layout = layoutOf(doc);
    out.current = layout == Layout::Current;
    if (const auto failure = convertTree(doc, layout)) {
        out.failure = *failure;
        return out;
    }
    // With no local file to merge, the file is written as it stands; saveConverted checks
    // under the write lock.
    if (noLocalFile) {
        orderResults(doc->rootElement(), out.current);
        out.bytes = doc->toBytes();
        if (!out.bytes) out.failure = UsbUtils::ConvertResult::WriteFailed;
        return out;
    }
    out.doc = std::move(doc);
    return out;
}

UsbUtils::ConvertResult saveConvertedTo(UsbUtils::ConvertedFile file, const LocalTarget &to,
                                        cvx::Durability durability) {
    using R = UsbUtils::ConvertResult;
    if (!file.doc && !file.bytes) return file.failure;
    const LocalFile local = to.look();
    // The save would write through a link into another file.
    if (local == LocalFile::Link) return R::LocalIsLink;
    if (file.bytes) {
        if (local == LocalFile::Missing)
            return to.write(*file.bytes, durability) ? R::Written : R::WriteFailed;
        // A local file came meanwhile: the tree is already reordered, so merge from a fresh one.
        file = file.read ? UsbUtils::convertImportedFile(std::move(file.read), file.from)
                         : UsbUtils::convertImportedPath(file.from);
        if (!file.doc) return file.failure;
    }
    return mergeAndSave(*file.doc, to, file.current, durability);
}

UsbUtils::ConvertResult convertFile(const QString &from, const QString &to, Layout layout) {
    if (!cvx::FileManager::fileExists(from)) return UsbUtils::ConvertResult::NothingToRead;
    return convertDocument(XmlDocument::fromFileToRewrite(from), to, layout);
}

}  // namespace

UsbUtils::ConvertResult UsbUtils::saveFromOldOldDataPath(const QString &from, const QString &to) {
    return convertFile(from, to, Layout::Oldest);
}

UsbUtils::ConvertResult UsbUtils::saveFromOldDataPath(const QString &from, const QString &to) {
    return convertFile(from, to, Layout::Old);
}

UsbUtils::ConvertResult UsbUtils::saveFromCurrentDataPath(const QString &from, const QString &to) {
    return convertFile(from, to, Layout::Current);
}

UsbUtils::ConvertResult UsbUtils::saveFromImportedPath(const QString &from, const QString &to,
                                                       cvx::Durability durability) {
    return saveConverted(convertImportedPath(from), to, durability);
}

UsbUtils::ConvertedFile UsbUtils::convertImportedPath(const QString &from, bool noLocalFile) {
    // A missing file reads as nothing, as an unreadable one.
    ConvertedFile out = convertRead(XmlDocument::fromFileToRewrite(from), noLocalFile);
    out.from = from;
    return out;
}

UsbUtils::ConvertedFile UsbUtils::convertImportedFile(std::function<std::optional<QByteArray>()> read,
                                                      const QString &source, bool noLocalFile) {
    ConvertedFile out = convertRead(documentToRewrite(read(), source), noLocalFile);
    out.from = source;
    if (out.bytes) out.read = std::move(read);
    return out;
}

UsbUtils::ConvertResult UsbUtils::saveConverted(ConvertedFile file, const QString &to,
                                                cvx::Durability durability) {
    return saveConvertedTo(std::move(file), LocalTarget(to), durability);
}

UsbUtils::ConvertResult UsbUtils::saveConverted(ConvertedFile file, const cvx::OpenFolder &folder,
                                                const QString &name, const QString &path,
                                                cvx::Durability durability) {
    return saveConvertedTo(std::move(file), LocalTarget(folder, name, path), durability);
}

std::optional<XmlDocument> UsbUtils::documentToRewrite(const std::optional<QByteArray> &bytes,
                                                       const QString &source) {
    return bytes ? XmlDocument::fromBytesToRewrite(*bytes, source) : std::nullopt;
}
