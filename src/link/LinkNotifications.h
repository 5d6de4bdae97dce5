#pragma once

#include <QString>

// Notifications of the instrument link, all posted on the main thread.
namespace usblink {

// No object.
inline const QString kDeviceConnectNotification = QStringLiteral("deviceConnectNotification");
inline const QString kDeviceRemoveNotification = QStringLiteral("deviceRemoveNotification");
// Object: the new state number (qint64), posted at every store, also of an unchanged value.
inline const QString kDeviceStatusChangeNotification = QStringLiteral("deviceStatusChangeNotification");
// Object: a QByteArray with one input report exactly as received, zero bytes included;
// posted instead of all protocol work while the firmware writer owns the link.
inline const QString kPcReciveDataNotification = QStringLiteral("pcReciveDataNotification");
// No object: the instrument's display version was stored; compare the firmware versions.
inline const QString kUpdateSystem = QStringLiteral("UpdateSystem");
// No object: a finished measurement waits in the session for the measuring window.
inline const QString kTestDataSaved = QStringLiteral("testDataSaved");

}  // namespace usblink
