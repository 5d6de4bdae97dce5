// What the instrument sends over the link. The input is a series of reports, each a length
// byte (0 to 64, taken modulo 65) and that many bytes, fed to the session as the transport
// would; a first byte of 0xFF instead hands every CR-separated part of the rest straight to the
// record parser, past the checksum and version gate, followed by the end-of-transfer work.
#include <cstddef>
#include <cstdint>

#include "FuzzSetUp.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/HidManager.h"
#include "platform/VirtualHidDevice.h"

namespace {

cvx::VirtualHidDevicePtr device;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    cvxfuzz::setUp(argc, argv);
    cvx::VirtualHidHub &hub = cvx::VirtualHidHub::install();
    hub.setManagerOpenResult(cvx::HidResult::Ok);
    UsbManager::sharedUsbManager().connectHID();
    device = hub.attach();
    cvx::HidManager::processPendingEvents();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    UsbManager &session = UsbManager::sharedUsbManager();
    if (size > 0 && data[0] == 0xFF) {
        const QString text =
            QString::fromLatin1(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);
        for (const QString &frame : text.split(QLatin1Char('\r')))
            session.parseData(frame + QLatin1Char('\r'), UsbHID::sharedManager().sessionInitiator());
        session.checkClock();
        session.saveTestData();
    } else {
        for (std::size_t at = 0; at < size;) {
            const std::size_t length = std::min<std::size_t>(data[at] % 65, size - at - 1);
            session.usbhidDidRecvData(data + at + 1, qint64(length));
            at += 1 + length;
        }
    }
    device->takeOutputReports();
    return 0;
}
