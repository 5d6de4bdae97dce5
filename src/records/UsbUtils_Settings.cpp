// The single-value settings files: data-link mode and six-item switch, measuring time-out,
// data-link folders.
#include "platform/Numbers.h"
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
    const std::optional<cvx::XmlDocument> doc = SettingsFiles::load(path);
    if (!doc) return false;
    QList<cvx::XmlElement> nodes = doc->nodesForXPath(xpath);
    if (nodes.size() != 1) return false;
    nodes.first().setStringValue(text);
    return doc->save(path);
}

}  // namespace

std::int32_t UsbUtils::modeSetting() {
    const QString mode = NSStringExt::trim(firstText(kModeSetting, QStringLiteral("/DATA/MODE")));
    if (mode == QLatin1String("3")) return 3;
    if (mode == QLatin1String("4")) return 4;
    if (mode == QLatin1String("5")) return 5;
    return 0;
}

bool UsbUtils::isDeleteBLD() {
    return firstText(kModeSetting, QStringLiteral("/DATA/DeleteBLD")) == QLatin1String("1");
}

std::int32_t UsbUtils::timeoutNum() {
    const QString text = firstText(kUsbSetting, QStringLiteral("/DATA/Timeout"));
    if (text.isNull()) return kDefaultTimeout;
    const qint64 milliseconds = cvx::integerValue(text);
    if (milliseconds < 1000 || milliseconds > 60000) return kDefaultTimeout;
    return std::int32_t(milliseconds / 1000);
}

QString UsbUtils::inputValue() {
    return onlyText(QStringLiteral("/DATA/INPUT"));
}
QString UsbUtils::outputValue() {
    return onlyText(QStringLiteral("/DATA/OUTPUT"));
}

bool UsbUtils::saveInput(const QString &path) {
    return saveOnly(QStringLiteral("/DATA/INPUT"), path);
}
bool UsbUtils::saveOutput(const QString &path) {
    return saveOnly(QStringLiteral("/DATA/OUTPUT"), path);
}
