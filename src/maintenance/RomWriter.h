#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtGlobal>

#include <cstdint>
#include <functional>

#include "maintenance/OutputPWController.h"

// The ROM write engine: loads the write program into the instrument, then erases and writes
// each ROM data file of the carried firmware, one frame at a time over the HID link, and
// logs every frame to "$HOME/RomConvert.log". Driven by the maintenance screen or, without a
// window, by the automatic update. The step, the phase and the last frame text exist once
// per process: one write runs at a time. Main thread only.
//
// Exchange: "S", "B" (boot reply), "P" and the version areas (version-area reply, two
// reports), "W" and the write program's lines (program sum), then after the instrument's
// restart "S" and for every ROM file "E" with its erase block (erase reply) when it needs
// one, "T" with the block and the file's lines (ROM sum); "Q" ends it.
class RomWriter : public QObject {
    Q_OBJECT
public:
    enum BurnStatus : quint64 { Armed = 1, Removed = 2, Connected = 3, WasReset = 5 };

    // What the maintenance screen lets the engine touch. A windowless engine has none: it
    // changes no maintenance mode and stops no clock.
    struct Screen {
        // The state line; the screen shows the progress texts in the label's face at size 57.
        std::function<void(const QString &text)> setConfirmConnectLabel;
        std::function<void()> showBurnRomOkButton;
        std::function<void()> hideWidgets;  // the reset hides the screen's panels
        std::function<bool()> isKeyWindow;
        std::function<void()> stopClock;
    };

    explicit RomWriter(QObject *parent = nullptr);
    ~RomWriter() override;

    // Makes this the screen's engine: takes the shared maintenance mode as its own.
    void setScreen(Screen screen);
    bool hasWindow() const { return hasWindow_; }
    // Observes "deviceConnectNotification", "deviceRemoveNotification" and
    // "pcReciveDataNotification" (the screen's set-up; the automatic update observes itself).
    void observeLink();

    // Arms a windowless engine for the automatic update.
    void initUpdateSystemInfo();
    // Arms the engine (the screen, at its load and at its second OK).
    void arm();
    // A newly attached instrument: starts the write when armed, or resumes after a removal.
    void deviceConnect();
    void deviceRemove();
    // One input report, exactly as received.
    void reciveData(const QByteArray &report);
    // The reset; also the action of the screen's final OK.
    void burnRomOkButtonClicked();

    // The screen's ten-second wait for the instrument, ending in showAlert().
    void startConnectionWait();
    void showAlert();

    bool isBurnROM() const { return isBurnROM_; }
    quint64 burnStatus() const { return burnStatus_; }
    bool isBurning() const { return isBurning_; }
    // Frames are being exchanged, or the instrument is restarting into the write program.
    bool isWriting() const { return active_ && !finished_; }
    std::int32_t isCou() const { return isCou_; }
    void setIsCou(std::int32_t value) { isCou_ = value; }
    // The state line: "接続確認中", "転送中", the progress, "終了".
    QString confirmConnectLabel() const { return confirmConnectLabel_; }
    QString sClientName() const { return sClientName_; }
    QString sWrtRcvSum() const { return sWrtRcvSum_; }
    QString sRomRcvSum() const { return sRomRcvSum_; }

    OutputPWController &controller() { return controller_; }

    // The engine whose write runs, null when none: only one write runs at a time, and an
    // engine armed meanwhile is refused with "rom_busy" when its instrument attaches.
    static RomWriter *writingEngine();

    static int step();
    static int phase();

    // Timings: the pause before the write program is addressed, the longest silence of the
    // instrument during a write, the screen's wait for the instrument, the longest silence
    // while a flash block is erased. Tests shorten them; a value below zero restores the
    // default.
    static void setTimingsForTesting(int restartMs, int replyTimeoutMs, int connectionWaitMs,
                                     int eraseTimeoutMs = -1);

    // Transmit buffer size; a longer frame is refused.
    static constexpr int kTxBuffSize = 1040;
    static constexpr int kMaxLineDigits = int(FirmwareFiles::kMaxLineDigits);
    static constexpr int kRxBuffSize = 4096;

private:
    bool anotherWrites() const;
    void sndBgn();
    void makeData();
    QByteArray makeCmd(char letter, bool withoutBcc);
    QByteArray makeParam(const QList<std::pair<qint64, qint64>> &pairs);
    bool makeDataPrg();
    void sndData(const QByteArray &frame);
    void sndStr();
    void sendAck();
    void vWrtNextRom();
    void onAck();
    void onReply();
    void restartAfterProgram();
    void sumError(const QString &method, const QString &expected, const QString &received);
    void finish();
    void fail(const QString &code);
    void addLog(bool sent, const QString &text);
    void setLabel(const QString &text);
    void setMode(std::uint8_t mode);
    std::uint8_t mode() const;
    void stopClock();
    void armWatchdog();
    std::pair<qint64, qint64> eraseBlock() const;
    int expectedReplyLength() const;

    OutputPWController controller_;
    Screen screen_;
    bool hasWindow_ = false;

    QByteArray txBuff_;  // the frame outstanding
    std::uint8_t bRetry_ = 0;
    std::int16_t iSndCnt_ = 0;
    std::int16_t iSndMax_ = 0;
    QStringList asSendData_;
    QString sClientName_;
    QString sWrtRcvSum_;
    QString sRomRcvSum_;
    QList<bool> ayErsBlk_;
    std::uint8_t bErsBlk_ = 0;
    bool blnSndRcv_ = false;  // first report of the version-area reply seen
    QByteArray reply_;        // the reply being gathered from its reports
    QString strConvertLogData_;

    bool isBurnROM_ = false;
    quint64 burnStatus_ = 0;
    bool isBurning_ = false;
    std::int32_t isCou_ = 0;
    QString confirmConnectLabel_;

    bool active_ = false;        // a write started and has not been reset
    bool finished_ = false;      // "Q" sent
    bool framePending_ = false;  // the last frame was dropped while the instrument was away

    QTimer watchdog_;
    QTimer timer_;                // the screen's connection wait
    QObject *restart_ = nullptr;  // context of the pending restart; deleting it cancels it
};
