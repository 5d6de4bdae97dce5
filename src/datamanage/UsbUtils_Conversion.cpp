#include <QDateTime>
#include <QMap>

#include <array>
#include <cmath>
#include <exception>
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

void dropNonElements(XmlElement &element) {
    pugi::xml_node node = element.pugiNode();
    for (pugi::xml_node child = node.first_child(); child;) {
        const pugi::xml_node next = child.next_sibling();
        if (child.type() != pugi::node_element) node.remove_child(child);
        child = next;
    }
}

bool hasChildNamed(const XmlElement &element, const QString &name) {
    return !element.firstElement(name).isNull();
}

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

QString joined(const QList<QStringView> &fields) {
    qsizetype size = fields.size();
    for (QStringView field : fields) size += field.size();
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) out.append(QLatin1Char(','));
        out.append(fields[i]);
    }
    return out;
}

struct ItemValue {
    double value = 0;
    QString word;
    QString pair;
};

// Values, chart positions and level words of the seven items. `asRead` is the raw data line
// as read from the file, split at ",", `fields` the line in the current field order. Throws
// what the calculation ranges throw.
std::array<ItemValue, 7> computeItems(Layout layout, const QList<QStringView> &asRead,
                                      const QList<QStringView> &fields, const XmlElement &result) {
    QMap<QString, QStringView> table;
    for (int k = 0; k < 9; ++k)
        table.insert(NSStringExt::trim(fields.at(5 + 4 * k).toString()), fields.at(8 + 4 * k));
    const auto pad = [&table](const QString &key) { return cvx::doubleValue(table.value(key)); };
    // An older line of a newer instrument names its LEU and NH3 pads I_LEU and I_NH3.
    const auto padOr = [&table, &pad](const QString &key, const QString &other) {
        return pad(table.contains(key) ? key : other);
    };

    // 0 exactly when the line has no I_LEU field, as without the flag.
    const int leuStatus = UsbUtils::getItemStatus(true, asRead);
    const bool newerPads = leuStatus != 0;
    const std::int32_t leuFlag = leuStatus == 2 ? 4 : leuStatus == 3 ? 7 : 8;
    const std::int32_t nh3Flag = newerPads ? 6 : 9;

    double leu = 0;
    double nh3 = 0;
    if (layout == Layout::Current) {
        const int n = result.childCount();
        leu = cvx::doubleValue(valuePart(result.childAt(n - 10).stringValue()));
        nh3 = cvx::doubleValue(valuePart(result.childAt(n - 4).stringValue()));
    } else {
        leu = padOr(QStringLiteral("LEU"), QStringLiteral("I_LEU"));
        nh3 = padOr(QStringLiteral("NH3"), QStringLiteral("I_NH3"));
    }
    const double ms = pad(QStringLiteral("MS"));
    const double ph = padOr(QStringLiteral("pH"), QStringLiteral("PH"));
    const double bfc = pad(QStringLiteral("BFC"));
    const double bld = pad(QStringLiteral("BLD"));
    const double alb = pad(QStringLiteral("ALB"));

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
        out[i].value = inputs[i].value;
        out[i].word = UsbUtils::getResultValue(position, inputs[i].wordIndex);
        out[i].pair = cvx::format("%.1f|%.0f", inputs[i].value, position);
    }
    return out;
}

// `now` as local text. A formatter costs more to make than a result costs to convert, and the
// text changes once a second: both are kept per thread (a formatter is never shared) while TZ,
// which the formatter reads when made, stays.
QString localText(const QString &pattern, const QDateTime &now) {
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
    const qint64 second = now.toSecsSinceEpoch();
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
        k.text = k.formatter.stringFromDate(now);
        return k.text;
    }
    cvx::DateFormatter formatter(pattern);
    const QString text = formatter.stringFromDate(now);
    kept.push_back({pattern, tzSet, tz, std::move(formatter), second, text});
    return text;
}

void setLevelWord(XmlElement result, int position, const QString &word, bool isPh) {
    XmlElement element = result.childAt(position);
    element.setStringValue(word);
    if (isPh) element.setName(QStringLiteral("pH"));
}

// Steps 5 to 9 of one root child. Throws what the calculation ranges throw, before the result
// is rewritten.
void convertResult(XmlElement result, Layout layout) {
    dropNonElements(result);

    const bool oldest = layout == Layout::Oldest;
    if (!hasChildNamed(result, QStringLiteral("BLD")) && result.childCount() >= (oldest ? 8 : 14)) {
        if (oldest) {
            result.insertElement(8, QStringLiteral("BLD"));
            result.insertElement(9, QStringLiteral("Content4"));
        } else {
            result.insertElement(14, QStringLiteral("BLD"));
            result.insertElement(15, QStringLiteral("DataValue4"));
            result.insertElement(16, QStringLiteral("Content4"));
        }
    }

    if (result.attributeCount() <= 1) {
        // Local time, as every date the program stores.
        const QDateTime now = QDateTime::currentDateTime();
        const QString date = result.hasAttribute(QStringLiteral("date"))
                                 ? result.attribute(QStringLiteral("date"))
                                 : localText(QStringLiteral("yyyy-MM-dd"), now);
        const QString time = result.hasAttribute(QStringLiteral("time"))
                                 ? result.attribute(QStringLiteral("time"))
                                 : localText(QStringLiteral("HH:mm"), now);
        result.setAttributes({{QStringLiteral("date"), date}, {QStringLiteral("time"), time}});
    }

    const int count = result.childCount();
    if (count == 0) return;
    const bool endsWithRsv = result.childAt(count - 1).name() == QLatin1String("RsvData");
    if (endsWithRsv == (layout == Layout::Current)) return;
    if (count < requiredChildren(layout)) return;

    XmlElement lineElement = result.childAt(layout == Layout::Current ? count - 2 : count - 1);
    // The line is split once; both the pad table and the item status read the fields.
    const QString line = lineElement.stringValue();
    const QList<QStringView> asRead = splitAtCommas(line);
    if (asRead.size() < requiredFields(layout)) return;
    QList<QStringView> fields = asRead;
    const QString time = layout == Layout::Current ? QString() : result.attribute(QStringLiteral("time"));
    if (layout != Layout::Current) fields.insert(2, time);

    const std::array<ItemValue, 7> items = computeItems(layout, asRead, fields, result);

    if (oldest) {
        result.insertElement(2, QStringLiteral("SheetFlg"), QStringLiteral("-"));
        result.insertElement(3, QStringLiteral("Remark"));
        result.insertElement(4, QStringLiteral("TotalComment"));
    }
    if (layout != Layout::Current) lineElement.setStringValue(joined(fields));

    for (size_t i = 0; i < items.size(); ++i) {
        const ItemPlace &place = kPlaces[i];
        const QString pairName = QStringLiteral("DataValue%1").arg(i + 1);
        if (!oldest) result.removeChildAt(place.pair);
        result.insertElement(place.pair, pairName, items[i].pair);
        setLevelWord(result, place.element, items[i].word, i == 1);
        if (oldest) {
            XmlElement comment = result.childAt(place.comment);
            comment.setAttributes({});
        }
    }

    if (layout != Layout::Current) {
        result.appendElement(QStringLiteral("SaveDate"),
                             localText(QStringLiteral("yyyy-MM-dd HH:mm:ss"), QDateTime::currentDateTime()));
    }
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
    if (root.attributeCount() < 4) {
        QList<cvx::XmlAttribute> attributes;
        for (const QString &key : kRootAttributes)
            attributes.append({key, root.hasAttribute(key) ? root.attribute(key) : QString("")});
        root.setAttributes(attributes);
    }
    dropNonElements(root);

    try {
        for (XmlElement &child : elementChildren(root)) {
            if (layout == Layout::Current && child.name() != QLatin1String("comment")) continue;
            convertResult(child, layout);
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

// Merges a converted tree with the local file, if any, and writes it.
UsbUtils::ConvertResult mergeAndSave(XmlDocument &converted, const QString &to, bool current,
                                     cvx::Durability durability) {
    using R = UsbUtils::ConvertResult;
    XmlDocument *doc = &converted;
    XmlElement root = doc->rootElement();
    std::lock_guard lock(SettingsFiles::writeMutex());
    if (cvx::FileManager::fileExists(to)) {
        // An unreadable local file is not replaced: its results would be lost.
        const std::optional<XmlDocument> local = XmlDocument::fromFile(to, XmlDocument::Option::Tidy);
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
    return doc->save(to, nullptr, durability) ? R::Written : R::WriteFailed;
}

UsbUtils::ConvertResult convertDocument(std::optional<XmlDocument> doc, const QString &to, Layout layout,
                                        cvx::Durability durability = cvx::Durability::Synced) {
    if (const auto failure = convertTree(doc, layout)) return *failure;
    return mergeAndSave(*doc, to, layout == Layout::Current, durability);
}

Layout layoutOf(const std::optional<XmlDocument> &doc) {
    const int layoutClass = doc ? UsbUtils::layoutClass(*doc) : 0;
    return layoutClass == 1 ? Layout::Oldest : layoutClass == 2 ? Layout::Old : Layout::Current;
}

UsbUtils::ConvertResult convertFile(const QString &from, const QString &to, Layout layout) {
    if (!cvx::FileManager::fileExists(from)) return UsbUtils::ConvertResult::NothingToRead;
    return convertDocument(XmlDocument::fromFile(from, XmlDocument::Option::Tidy), to, layout);
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

UsbUtils::ConvertedFile UsbUtils::convertImportedPath(const QString &from, const QString &to) {
    ConvertedFile out;
    out.from = from;
    if (!cvx::FileManager::fileExists(from)) return out;
    out.doc = XmlDocument::fromFile(from, XmlDocument::Option::Tidy);
    const Layout layout = layoutOf(out.doc);
    out.current = layout == Layout::Current;
    if (const auto failure = convertTree(out.doc, layout)) {
        out.doc.reset();
        out.failure = *failure;
        return out;
    }
    // With no local file to merge, the file is written as it stands; saveConverted checks
    // again under the write lock.
    if (!to.isEmpty() && !cvx::FileManager::fileExists(to)) {
        orderResults(out.doc->rootElement(), out.current);
        out.bytes = out.doc->toBytes();
        if (!out.bytes) {
            out.doc.reset();
            out.failure = ConvertResult::WriteFailed;
        }
    }
    return out;
}

UsbUtils::ConvertResult UsbUtils::saveConverted(ConvertedFile file, const QString &to,
                                                cvx::Durability durability) {
    if (!file.doc) return file.failure;
    if (file.bytes) {
        if (!cvx::FileManager::fileExists(to))
            return cvx::FileManager::writeAtomically(to, *file.bytes, durability)
                       ? ConvertResult::Written
                       : ConvertResult::WriteFailed;
        // A local file came meanwhile: the tree is already reordered, so merge from a fresh one.
        file = convertImportedPath(file.from);
        if (!file.doc) return file.failure;
    }
    return mergeAndSave(*file.doc, to, file.current, durability);
}
