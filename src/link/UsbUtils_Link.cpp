// The UsbUtils operations of the instrument link: frame checksums, the instrument's identity
// and the versions of the carried firmware.
#include <QStringList>

#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/Numbers.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"

namespace {

// Field 4 of the instrument's first frame: "<name>^<serial number> <version>". A frame that
// lacks any of these leaves the identity to the next frame.
void captureIdentity(const QString &frame) {
    const QStringList fields = frame.split(QLatin1Char('|'));
    if (fields.size() < 5) return;
    const QStringList pieces = fields[4].split(QLatin1Char(' '));
    if (pieces.size() < 2) return;
    const QStringList idParts = pieces[0].split(QLatin1Char('^'));
    if (idParts.size() < 2 || pieces[1].size() < 5) return;

    UsbHID &hid = UsbHID::sharedManager();
    hid.setDeviceNo(idParts[1]);
    hid.setVersionID(pieces[1].right(5));
    UsbManager::sharedUsbManager().setDeviceMainVersion(NSStringExt::trim(pieces[1]));
}

QChar hexDigit(int value) {
    return UsbUtils::sNumToHex(value, 1).front();
}

}  // namespace

bool UsbUtils::bolSetRcvCheckSum(const QString &frame) {
    // Text, two checksum digits, terminator.
    const qsizetype length = frame.size();
    if (length < 3) return false;
    unsigned sum = 0;
    for (qsizetype i = 0; i <= length - 4; ++i) sum += frame[i].unicode();
    sum %= 256;
    if (frame[length - 3] != hexDigit(int(sum / 16)) || frame[length - 2] != hexDigit(int(sum % 16)))
        return false;

    // A damaged frame must not decide who the instrument is: a wrong version would close
    // the gate below for the whole connection.
    UsbHID &hid = UsbHID::sharedManager();
    if (hid.versionID().isEmpty()) captureIdentity(frame);

    // Instruments up to version 0.0801 speak an older protocol. Compared with the threshold
    // itself: "0.0801" minus 0.08 comes out a hair above 0.0001 in binary floating point.
    return cvx::doubleValue(hid.versionID()) > 0.0801;
}

QStringList &UsbUtils::vSetSndCheckSum(QStringList &bytes) {
    int sum = 0;
    for (qsizetype i = 1; i < bytes.size(); ++i) sum = (sum + cvx::intValue(bytes[i])) % 256;
    sum = (sum + 256) % 256;
    bytes << QString::number(hexDigit(sum / 16).unicode()) << QString::number(hexDigit(sum % 16).unicode());
    return bytes;
}

QString UsbUtils::sNumToHex(qint64 number, qint16 size) {
    QString hex = QString::number(quint64(number), 16).toUpper();
    if (size <= 0) return hex;
    if (hex.size() < size) hex = hex.rightJustified(size, QLatin1Char('0'));
    return hex.right(size);
}

void UsbUtils::parseFileVersion() {
    const UsbManager::FirmwareVersionReader &reader = UsbManager::firmwareVersionReader();
    if (!reader) return;
    const std::optional<UsbManager::FirmwareVersions> versions = reader();
    if (!versions) return;
    UsbManager &manager = UsbManager::sharedUsbManager();
    manager.setPcMainVersion(versions->mainVersion);
    manager.setPcDispVersion(versions->dispVersion);
}
