#include "records/SettingsFiles.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/FileManager.h"
#include "platform/XmlRecovery.h"

QString SettingsFiles::dataFolder() {
    return cvx::FileManager::appendingPathComponent(cvx::FileManager::homeDirectory(),
                                                    QStringLiteral(".Corvadenix"));
}

QString SettingsFiles::preparedPath(const QString &fileName) {
    const QString folder = dataFolder();
    cvx::FileManager::createDirectory(folder);
    return cvx::FileManager::appendingPathComponent(folder, fileName);
}

std::optional<cvx::XmlDocument> SettingsFiles::load(const QString &path) {
    if (!cvx::FileManager::fileExists(path)) return std::nullopt;
    return cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy);
}

std::optional<cvx::XmlDocument> SettingsFiles::toRewrite(std::optional<cvx::XmlDocument> doc,
                                                         const QString &root) {
    if (doc && (doc->rootElement().name() != root || !doc->holdsOnlyXmlText())) doc.reset();
    return doc;
}

std::optional<cvx::XmlDocument> SettingsFiles::loadToRewrite(const QString &path, const QString &root) {
    return toRewrite(load(path), root);
}

namespace {

bool isXmlSpaceOnly(std::string_view text) {
    return std::all_of(text.begin(), text.end(), cvx::isXmlSpace);
}

// A text as a reader takes it back: CR LF and CR as LF.
std::string lineEndsAsRead(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
    }
    return out;
}

// A child as a reader sees it: a node other than text, or the text between two such nodes
// (adjacent text and CDATA nodes are one text, read back as one).
struct Piece {
    pugi::xml_node node;  // null for a text
    std::string text;     // the text, or the node's value
};

// The children of `parent` as a tidy read gives them back: a text of white space alone is
// none. `meant` reads a tree in memory, whose line ends are still as set.
std::vector<Piece> piecesOf(pugi::xml_node parent, bool meant) {
    std::vector<Piece> pieces;
    std::string text;
    const auto endText = [&] {
        if (!isXmlSpaceOnly(text)) pieces.push_back({pugi::xml_node(), text});
        text.clear();
    };
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling()) {
        const std::string value = meant ? lineEndsAsRead(child.value()) : std::string(child.value());
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            text += value;
            continue;
        }
        endText();
        if (child.type() != pugi::node_declaration) pieces.push_back({child, value});
    }
    endText();
    return pieces;
}

// Whether the children of `read` are those of `meant` as a reader takes them back.
bool readsBackAs(pugi::xml_node read, pugi::xml_node meant) {
    const std::vector<Piece> got = piecesOf(read, false);
    const std::vector<Piece> wanted = piecesOf(meant, true);
    if (got.size() != wanted.size()) return false;
    for (size_t i = 0; i < got.size(); ++i) {
        const pugi::xml_node a = got[i].node;
        const pugi::xml_node b = wanted[i].node;
        if (got[i].text != wanted[i].text || a.type() != b.type()) return false;
        if (!a) continue;  // a text
        if (std::strcmp(a.name(), b.name()) != 0) return false;
        pugi::xml_attribute x = a.first_attribute();
        pugi::xml_attribute y = b.first_attribute();
        for (; x && y; x = x.next_attribute(), y = y.next_attribute()) {
            if (std::strcmp(x.name(), y.name()) != 0 || std::strcmp(x.value(), y.value()) != 0) return false;
        }
        if (x || y) return false;
        if (a.type() == pugi::node_element && !readsBackAs(a, b)) return false;
    }
    return true;
}

}  // namespace

std::optional<SettingsFiles::Written> SettingsFiles::writtenReadingBack(const cvx::XmlDocument &doc) {
    if (doc.hasReplacedBytes()) return std::nullopt;  // as XmlDocument::save
    std::optional<QByteArray> bytes = doc.toBytes();
    if (!bytes) return std::nullopt;
    std::optional<cvx::XmlDocument> read =
        cvx::XmlDocument::fromBytes(*bytes, cvx::XmlDocument::Option::Tidy);
    // From the document nodes: what stands beside the root counts too.
    if (!read || !readsBackAs(read->rootElement().pugiNode().root(), doc.rootElement().pugiNode().root()))
        return std::nullopt;
    return Written{std::move(*bytes), std::move(*read)};
}

bool SettingsFiles::write(const Written &written, const QString &path) {
    return cvx::FileManager::writeAtomically(path, written.bytes);
}

QStringList SettingsFiles::asReadBack(QStringList texts) {
    for (QString &text : texts) {
        if (std::all_of(text.cbegin(), text.cend(),
                        [](QChar c) { return c.unicode() < 0x80 && cvx::isXmlSpace(char(c.unicode())); }))
            text = QStringLiteral("");
    }
    return texts;
}

void SettingsFiles::WriteMutex::lock() {
    if (!mutex_.try_lock()) {
        ++waiting_;
        mutex_.lock();
        --waiting_;
    }
    // A missing data folder is not made here; the write that follows makes it.
    if (depth_++ == 0) {
        ++taken_;
        folderLock_ = cvx::FileLock(dataFolder(), cvx::FileLock::Kind::Folder, cvx::FileLock::Mode::Wait);
    }
}

void SettingsFiles::WriteMutex::letWaitingIn() {
    // An unlock followed at once by a lock takes the mutex back before the thread it woke runs.
    const bool handOver = depth_ == 1 && waiting_ > 0;
    const unsigned taken = taken_;
    unlock();
    while (handOver && taken_ == taken && waiting_ > 0) std::this_thread::yield();
    lock();
}

void SettingsFiles::WriteMutex::unlock() {
    if (--depth_ == 0) folderLock_.release();
    mutex_.unlock();
}

SettingsFiles::WriteMutex &SettingsFiles::writeMutex() {
    static WriteMutex mutex;
    return mutex;
}

void SettingsFiles::WriteBatch::next() {
    if (held_ && left_-- > 0) return;
    if (held_)
        writeMutex().letWaitingIn();
    else
        writeMutex().lock();
    held_ = true;
    left_ = every_ - 1;
}

void SettingsFiles::WriteBatch::release() {
    if (!held_) return;
    held_ = false;
    writeMutex().unlock();
}

QString SettingsFiles::lockFilePath() {
    return cvx::FileManager::appendingPathComponent(dataFolder(), QStringLiteral("Corvadenix.lock"));
}

namespace {

struct DataFolderClaim {
    std::mutex mutex;
    cvx::FileLock lock;
    bool madeFolder = false;
};

DataFolderClaim &dataFolderClaim() {
    static DataFolderClaim claim;
    return claim;
}

SettingsFiles::Claim claimLocked(DataFolderClaim &claim) {
    const QString path = SettingsFiles::lockFilePath();
    if (claim.lock.isAt(path)) return SettingsFiles::Claim::Claimed;
    const QString folder = SettingsFiles::dataFolder();
    const bool existed = QFileInfo::exists(folder) || QFileInfo(folder).isSymLink();
    if (!existed && !cvx::FileManager::createDirectory(folder)) return SettingsFiles::Claim::Unavailable;
    cvx::FileLock lock(path, cvx::FileLock::Kind::File, cvx::FileLock::Mode::Try);
    if (!lock.isHeld())
        return lock.isHeldElsewhere() ? SettingsFiles::Claim::HeldElsewhere
                                      : SettingsFiles::Claim::Unavailable;
    claim.lock = std::move(lock);
    claim.madeFolder = claim.madeFolder || !existed;
    return SettingsFiles::Claim::Claimed;
}

}  // namespace

SettingsFiles::Claim SettingsFiles::claimDataFolder() {
    DataFolderClaim &claim = dataFolderClaim();
    std::lock_guard guard(claim.mutex);
    return claimLocked(claim);
}

void SettingsFiles::followDataFolderClaim() {
    DataFolderClaim &claim = dataFolderClaim();
    std::lock_guard guard(claim.mutex);
    if (claim.lock.isHeld()) claimLocked(claim);
}

bool SettingsFiles::claimMadeDataFolder() {
    DataFolderClaim &claim = dataFolderClaim();
    std::lock_guard guard(claim.mutex);
    return claim.madeFolder;
}

void SettingsFiles::releaseDataFolderClaim() {
    DataFolderClaim &claim = dataFolderClaim();
    std::lock_guard guard(claim.mutex);
    claim.lock.release();
    claim.madeFolder = false;
}

bool SettingsFiles::isWriteLeftover(const QString &path) {
    const QString name = cvx::FileManager::lastPathComponent(path);
    if (!cvx::FileManager::isTemporaryName(name)) return false;
    const QString kind = cvx::FileManager::pathExtension(cvx::FileManager::deletingPathExtension(name));
    if (kind != QLatin1String("xml") && kind != QLatin1String("json")) return false;
    const QFileInfo info(path);
    return !info.isSymLink() && info.isFile();
}

QStringList SettingsFiles::removeWriteLeftovers() {
    DataFolderClaim &claim = dataFolderClaim();
    std::lock_guard guard(claim.mutex);
    if (!claim.lock.isAt(lockFilePath())) return {};
    const QString data = dataFolder();
    const QString customer = QStringLiteral("Customer");
    // Patient files are also kept in Customer's subfolders (a data-folder import puts them
    // where they were).
    QStringList entries = cvx::FileManager::contentsOfDirectory(data);
    for (const QString &entry :
         cvx::FileManager::subpaths(cvx::FileManager::appendingPathComponent(data, customer)))
        entries.append(cvx::FileManager::appendingPathComponent(customer, entry));
    QStringList removed;
    for (const QString &entry : entries) {
        const QString path = cvx::FileManager::appendingPathComponent(data, entry);
        if (isWriteLeftover(path) && QFile::remove(path)) removed.append(entry);
    }
    return removed;
}

QList<cvx::XmlElement> SettingsFiles::numberedEntries(const cvx::XmlElement &list, const QString &prefix) {
    QList<cvx::XmlElement> entries;
    const QList<cvx::XmlElement> elements = list.elements();
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (elements[i].name() == prefix + QString::number(i + 1)) entries.append(elements[i]);
    }
    return entries;
}

QStringList SettingsFiles::numberedTexts(const cvx::XmlElement &list, const QString &prefix) {
    QStringList texts;
    for (const cvx::XmlElement &entry : numberedEntries(list, prefix)) texts.append(entry.stringValue());
    return texts;
}

bool SettingsFiles::holdsText(const cvx::XmlElement &element) {
    const QList<cvx::XmlElement> children = element.children();
    return std::any_of(children.begin(), children.end(), [](const cvx::XmlElement &child) {
        return child.kind() == cvx::XmlElement::Kind::Text || child.kind() == cvx::XmlElement::Kind::CData;
    });
}

bool SettingsFiles::holdsOnlyShownEntries(const cvx::XmlElement &list, const QString &prefix) {
    const QList<cvx::XmlElement> entries = numberedEntries(list, prefix);
    // An entry's attribute, comment or instruction is no part of the text it shows, and its
    // rewrite would drop it.
    const auto textAlone = [](const cvx::XmlElement &entry) {
        const QList<cvx::XmlElement> children = entry.children();
        return entry.attributeCount() == 0 &&
               std::all_of(children.begin(), children.end(), [](const cvx::XmlElement &child) {
                   return child.kind() == cvx::XmlElement::Kind::Text ||
                          child.kind() == cvx::XmlElement::Kind::CData;
               });
    };
    return !holdsText(list) && entries.size() == list.elements().size() &&
           std::all_of(entries.begin(), entries.end(), textAlone);
}

void SettingsFiles::setNumberedTexts(cvx::XmlElement &list, const QString &prefix, const QStringList &texts) {
    // Each node that stays, with the number of elements before it.
    QList<std::pair<cvx::XmlElement, qsizetype>> kept;
    qsizetype elements = 0;
    for (const cvx::XmlElement &child : list.children()) {
        if (child.isElement())
            ++elements;
        else if (child.kind() != cvx::XmlElement::Kind::Text && child.kind() != cvx::XmlElement::Kind::CData)
            kept.append({child, elements});
    }
    for (const cvx::XmlElement &child : list.children()) {
        const cvx::XmlElement::Kind kind = child.kind();
        if (kind == cvx::XmlElement::Kind::Element || kind == cvx::XmlElement::Kind::Text ||
            kind == cvx::XmlElement::Kind::CData)
            list.removeChild(child);
    }
    qsizetype next = 0;  // the first kept node not yet passed
    for (qsizetype j = 0; j < texts.size(); ++j) {
        while (next < kept.size() && kept[next].second <= j) ++next;
        const int at = next < kept.size() ? kept[next].first.index() : list.childCount();
        list.insertElement(at, prefix + QString::number(j + 1), texts.at(j));
    }
}
