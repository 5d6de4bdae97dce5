#pragma once

#include <atomic>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "link/UsbHID.h"
#include "records/OCMCustInfo.h"
#include "records/TYTestInfo.h"

// The session with the instrument: joins input reports into frames, checks and acknowledges
// them, hands them to the record parser, opens the application's own exchanges (clock,
// state, chart number), passes reports through untouched while the firmware writer owns the
// link, follows attach and removal and keeps the firmware versions. Everything is logged to
// the communication log. Main thread only, except sharedUsbManager().
class UsbManager : public UsbHIDDelegate {
public:
    // Kinds of exchange the application opens.
    enum MessageKind : qint64 { SetClock = 0, AskState = 1, SendChartNo = 2 };

    struct FirmwareVersions {
        QString mainVersion;  // of the firmware file for the main program
        QString dispVersion;  // of the firmware file for the display
    };
    // Reads the versions of the firmware files the program carries; nothing when a file is
    // missing (the reader shows the fault itself). Installed by the maintenance part.
    using FirmwareVersionReader = std::function<std::optional<FirmwareVersions>()>;
    static void setFirmwareVersionReader(FirmwareVersionReader reader);
    static const FirmwareVersionReader &firmwareVersionReader();

    // Whether the firmware update's message view is showing; while it is, a new display
    // version posts no "UpdateSystem". Installed by the window kit; false until then.
    static void setIsUpdateViewShowing(std::function<bool()> query);

    // Created on the first call (thread-safe).
    static UsbManager &sharedUsbManager();

    UsbManager(const UsbManager &) = delete;
    UsbManager &operator=(const UsbManager &) = delete;
    ~UsbManager() override;

    // Becomes the transport's delegate and takes an instrument that is attached already.
    void connectHID();

    // Opens an exchange: ENQ now, then the header frame, the message frame and EOT, one per
    // ACK of the instrument. Another kind than 0, 1, 2 resends the previous message. False
    // (and nothing sent, nothing changed) when kind 2's chart number holds a control
    // character.
    bool sendMessageToDevice(qint64 kind);

    // The clock message for the present moment (see setNowProvider).
    QString getCurrentDate() const;
    // The clock message for a moment, in the application calendar.
    static QString currentDateMessage(const QDateTime &moment);
    // Test only: the source of the present moment; an empty function restores the clock.
    static void setNowProvider(std::function<QDateTime()> now);

    // UsbHIDDelegate
    void usbhidDidRecvData(const quint8 *data, qint64 length) override;
    void usbhidDidMatch() override;
    void usbhidDidRemove() override;

    // Record parsing and the end of a transfer (UsbManager_Parse.cpp). `frame` is the
    // accepted frame text without its STX, with its checksum and terminator.
    void parseData(const QString &frame, quint64 sessionInitiator);
    // At every EOT of the instrument: sends the clock unless it was set in this connection
    // or a measurement is under way (state 2 or 5).
    void checkClock();
    void saveTestData();

    // The frame being assembled (the bytes as Latin-1 characters).
    QString spliceString() const { return spliceString_; }
    void setSpliceString(const QString &value) { spliceString_ = value; }
    // 1 after ENQ, 2 after the header frame, 3 after the message frame.
    std::int32_t addInt() const { return addInt_; }
    void setAddInt(std::int32_t value) { addInt_ = value; }
    QString sendMessage() const { return sendMessage_; }
    void setSendMessage(const QString &value) { sendMessage_ = value; }
    // A check measurement is being received.
    bool isCheck() const { return isCheck_; }
    void setIsCheck(bool value) { isCheck_ = value; }

    // The patient of the measurement under way; created empty when none. The reference is
    // valid until the record is replaced or dropped.
    OCMCustInfo &currentCustInfo();
    // Null drops the record.
    void setCurrentCustInfo(std::shared_ptr<OCMCustInfo> info) { currentCustInfo_ = std::move(info); }
    bool hasCurrentCustInfo() const { return currentCustInfo_ != nullptr; }

    // The measurement being received; created empty when none. As above.
    TYTestInfo &testInfo();
    void setTestInfo(std::shared_ptr<TYTestInfo> info) { testInfo_ = std::move(info); }
    bool hasTestInfo() const { return testInfo_ != nullptr; }

    // The firmware writer owns the link: reports go to it as "pcReciveDataNotification".
    bool isBurnRom() const { return isBurnRom_; }
    void setIsBurnRom(bool value) { isBurnRom_ = value; }
    // From an attach to the next removal.
    bool isConnect() const { return isConnect_; }
    void setIsConnect(bool value) { isConnect_ = value; }
    // Cache of the data-link mode: -1 not read yet, else 0, 3, 4 or 5. Atomic because the
    // data-link import reads it on its worker thread while the start-up may reset it.
    std::int32_t mode() const { return mode_.load(); }
    void setMode(std::int32_t value) { mode_.store(value); }

    QString deviceMainVersion() const { return deviceMainVersion_; }
    void setDeviceMainVersion(const QString &value) { deviceMainVersion_ = value; }
    QString deviceDispVersion() const { return deviceDispVersion_; }
    // Also posts "UpdateSystem" for a non-empty version ("unknown" included) unless the
    // update view is showing.
    void setDeviceDispVersion(const QString &value);
    QString pcMainVersion() const { return pcMainVersion_; }
    void setPcMainVersion(const QString &value) { pcMainVersion_ = value; }
    QString pcDispVersion() const { return pcDispVersion_; }
    void setPcDispVersion(const QString &value) { pcDispVersion_ = value; }

    // Test only: drops the shared session so that the next sharedUsbManager() makes a fresh
    // one (the transport's delegate is cleared). Nothing may hold a reference to it.
    static void resetSharedForTesting();

private:
    UsbManager();

    void startFrame(const QByteArray &report);
    void continueFrame(const QByteArray &report);
    void completeFrame();
    void nextStepOfExchange();
    void sendFrame(const QString &text);
    void sendControl(char byte, const QString &logText);

    QString spliceString_;
    std::int32_t addInt_ = 0;
    QString sendMessage_;
    bool isCheck_ = false;
    std::shared_ptr<OCMCustInfo> currentCustInfo_;
    std::shared_ptr<TYTestInfo> testInfo_;
    bool isBurnRom_ = false;
    bool isConnect_ = false;
    std::atomic<std::int32_t> mode_{-1};
    QString deviceMainVersion_;
    QString deviceDispVersion_;
    QString pcMainVersion_;
    QString pcDispVersion_;
};
