#pragma once

// The instrument's boot loader, played over a virtual HID device: answers the ROM write
// protocol as the instrument does, so that the firmware writer is tested end to end.
//
// It acknowledges every frame whose check byte is right, answers "B" with its boot name,
// the version-area parameters with bRomNum x 52 bytes in two reports, the last line of the write program
// and of each ROM file with the 32-bit sum of their data bytes (the program's last four
// bytes, which carry its sum, not counted), and erase parameters with 0x00. Replies go out
// in 64-byte reports, zero-padded unless told otherwise.
//
//     cvxtest::RomSimulator rom;
//     UsbManager::sharedUsbManager().connectHID();
//     rom.attach();
//     rom.runUntil([&] { return rom.sawQuit(); });

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

#include "platform/VirtualHidDevice.h"

namespace cvxtest {

class RomSimulator {
public:
    struct Faults {
        QString bootName = QStringLiteral("CVX-BOOT");
        int versionAreas = 2;         // replies versionAreas x 52 bytes
        bool padReports = true;       // every report filled up to 64 bytes with zeros
        quint32 programSumDelta = 0;  // added to the reported program sum
        quint32 romSumDelta = 0;      // added to the reported sum of ROM file 0
        int nakFrame = -1;            // this frame (counted from 0) gets `naks` NAKs first
        int naks = 0;
        int removeAtFrame = -1;    // unplugged when this frame arrives, before answering
        int silentFromFrame = -1;  // from this frame on nothing is answered
        int busyEraseReplies = 0;  // erase replies of 0x01 before the 0x00
        int eraseMs = 0;           // the 0x00 comes this many milliseconds later
        // >= 0: once its program sum is acknowledged the instrument restarts into the write
        // program: unplugged, and plugged in again this many milliseconds later.
        int restartMs = -1;
    };

    RomSimulator();   // installs the virtual HID hub
    ~RomSimulator();  // unplugs and delivers the removal

    RomSimulator(const RomSimulator &) = delete;
    RomSimulator &operator=(const RomSimulator &) = delete;

    void attach();
    void detach();
    bool isAttached() const;
    void setFaults(const Faults &faults) { faults_ = faults; }

    // Every output report of the program, in order, ACK bytes included.
    QList<QByteArray> reports() const { return reports_; }
    // The same without the program's one-byte ACKs: the frames.
    QList<QByteArray> frames() const;
    bool sawQuit() const { return sawQuit_; }
    // The sums reported so far, as 8 upper-case hex digits.
    QStringList reportedSums() const { return sums_; }

    // Pumps the event loop until the predicate holds or the time is up.
    bool runUntil(const std::function<bool()> &done, int timeoutMs = 5000);

private:
    enum class Expect { Command, Param, Data };

    void onOutputReport(const QByteArray &report);
    void reply(const QByteArray &bytes);
    void sendReport(QByteArray bytes);  // exactly one input report
    void ack();
    void nak();
    void lineReceived(const QByteArray &frame);
    void sendSum(quint32 delta);

    cvx::VirtualHidDevicePtr device_;
    Faults faults_;
    QList<QByteArray> reports_;
    int frameCount_ = 0;
    int naksSent_ = 0;
    Expect expect_ = Expect::Command;
    char lastCommand_ = 0;
    QList<QByteArray> lines_;  // data lines of the image being received
    bool program_ = false;
    bool restartPending_ = false;
    int romFile_ = 0;
    int eraseBusyLeft_ = 0;
    bool sawQuit_ = false;
    QStringList sums_;
};

}  // namespace cvxtest
