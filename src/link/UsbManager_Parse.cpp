// Reading the instrument's records and the work at the end of its transfers.
#include "link/UsbManager.h"

void UsbManager::parseData(const QString &frame, quint64 sessionInitiator) {
    Q_UNUSED(frame);
    Q_UNUSED(sessionInitiator);
}

void UsbManager::checkClock() {
    const UsbHID &hid = UsbHID::sharedManager();
    if (hid.clockIsChecked()) return;
    // Not while a measurement is under way.
    if (hid.deviceStatus() == 2 || hid.deviceStatus() == 5) return;
    sendMessageToDevice(SetClock);
}

void UsbManager::saveTestData() {}
