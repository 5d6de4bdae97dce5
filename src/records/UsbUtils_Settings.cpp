// The single-value settings files: data-link mode and six-item switch, measuring time-out,
// data-link folders.
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <mutex>

#include "platform/FileManager.h"
#include "platform/Numbers.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/SettingsFiles.h"
#include "records/UsbUtils.h"

namespace {

const QString kModeSetting = QStringLiteral("ModeSetting.xml");
const QString kUsbSetting = QStringLiteral("USBSetting.xml");
const QString kDataTransfer = QStringLiteral("DataTransfer.xml");

constexpr std::int32_t kDefaultTimeout = 10;

QList<cvx::XmlElement> selectNodes(const QString &fileName, const QString &xpath) {
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(SettingsFiles::preparedPath(fileName));
    return doc ? doc->nodesForXPath(xpath) : QList<cvx::XmlElement>();
}

// The text of the first node, null without one.
QString firstText(const QString &fileName, const QString &xpath) {
    const QList<cvx::XmlElement> nodes = selectNodes(fileName, xpath);
    return nodes.isEmpty() ? QString() : nodes.first().stringValue();
}

QString onlyText(const QString &xpath) {
    const QList<cvx::XmlElement> nodes = selectNodes(kDataTransfer, xpath);
    if (nodes.size() != 1) return QStringLiteral("");
    const QString text = nodes.first().stringValue();
    return text.isNull() ? QStringLiteral("") : text;
}

bool saveOnly(const QString &xpath, const QString &text) {
    std::lock_guard lock(SettingsFiles::writeMutex());
    const QString path = SettingsFiles::preparedPath(kDataTransfer);
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::loadToRewrite(path, SettingsFiles::kDataRoot);
    if (!doc) return false;
    QList<cvx::XmlElement> nodes = doc->nodesForXPath(xpath);
    if (nodes.size() != 1) return false;
    nodes.first().setStringValue(text);
    return doc->save(path);
}

// The path with every link resolved, as far as it exists; the rest appended as written.
QString resolved(const QString &path) {
    QString head = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString tail;
    while (!QFileInfo::exists(head) && head != QLatin1String("/")) {
        const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
        tail = head.mid(slash) + tail;
        head = slash > 0 ? head.left(slash) : QStringLiteral("/");
    }
    const QString canonical = QFileInfo(head).canonicalFilePath();
    return QDir::cleanPath((canonical.isEmpty() ? head : canonical) + tail);
}

bool isInside(const QString &path, const QString &folder) {
    return path == folder || path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + u'/');
}

// A stored folder that must not be used is passed over as if none were set, noted once.
QString usableFolder(const QString &text, const char *key) {
    if (!UsbUtils::isRefusedLinkFolder(text)) return text;
    static std::mutex mutex;
    static QSet<QString> noted;
    const std::lock_guard<std::mutex> lock(mutex);
    const QString what = QLatin1String(key) + u' ' + text;
    if (!noted.contains(what)) {
        noted.insert(what);
        AppDelegate::shared().errorLog(
            QStringLiteral("\nThe data-link %1 folder %2 holds the home or the data folder or lies in "
                           "the data folder; it is not used\n")
                .arg(QLatin1String(key), cvx::FileManager::printablePath(text)));
    }
    return QStringLiteral("");
}

}  // namespace

bool UsbUtils::isRefusedLinkFolder(const QString &path) {
    if (path.trimmed().isEmpty()) return false;
    const QString folder = resolved(path);
    const QString data = resolved(SettingsFiles::dataFolder());
    return folder == QLatin1String("/") || folder == resolved(cvx::FileManager::homeDirectory()) ||
           isInside(data, folder) || isInside(folder, data);
}

std::int32_t UsbUtils::modeSetting() {
    const QString mode = NSStringExt::trim(firstText(kModeSetting, QStringLiteral("/DATA/MODE")));
    if (mode == QLatin1String("3")) return 3;
    if (mode == QLatin1String("4")) return 4;
    if (mode == QLatin1String("5")) return 5;
    return 0;
}

bool UsbUtils::isDeleteBLD() {
    return deleteBLDValue() == QLatin1String("1");
}

QString UsbUtils::deleteBLDValue() {
    return firstText(kModeSetting, QStringLiteral("/DATA/DeleteBLD"));
}

std::int32_t UsbUtils::timeoutNum() {
    const QString text = firstText(kUsbSetting, QStringLiteral("/DATA/Timeout"));
    if (text.isNull()) return kDefaultTimeout;
    const qint64 milliseconds = cvx::integerValue(text);
    if (milliseconds < 1000 || milliseconds > 60000) return kDefaultTimeout;
    return std::int32_t(milliseconds / 1000);
}

QString UsbUtils::inputValue() {
    return usableFolder(onlyText(QStringLiteral("/DATA/INPUT")), "INPUT");
}
QString UsbUtils::outputValue() {
    return usableFolder(onlyText(QStringLiteral("/DATA/OUTPUT")), "OUTPUT");
}

bool UsbUtils::saveInput(const QString &path) {
    if (isRefusedLinkFolder(path)) return false;
    return saveOnly(QStringLiteral("/DATA/INPUT"), path);
}
bool UsbUtils::saveOutput(const QString &path) {
    if (isRefusedLinkFolder(path)) return false;
    return saveOnly(QStringLiteral("/DATA/OUTPUT"), path);
}
