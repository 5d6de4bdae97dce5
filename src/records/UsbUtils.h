#pragma once

#include <QString>
#include <cstdint>

// Class-level utilities that every part of the program calls. Each topic has its own
// section here and its own UsbUtils_<Topic>.cpp.
class UsbUtils {
public:
    UsbUtils() = delete;

    // ---- Level words and chart positions (UsbUtils_Levels.cpp) ------------------------
    // Chart flags (getAxiYValue) and word indexes (getResultValue) name the item and case:
    //  0 MS (NH3 pad I_NH3; word index 0 for MS always), 1 pH, 2 BFC, 3 BLD (log10 value),
    //  4 I_LEU "more" (log10), 5 ALB, 6 I_NH3 (log10), 7 I_LEU "less" (log10),
    //  8 older LEU (log10), 9 older NH3 (log10), 10 MS (NH3 pad of the older generation).
    // Both fetch CalcSettingDatas::getInst() first, so they throw its LoadError; a chart
    // position also throws cvx::DecimalDivideByZero when the axis has zero width.

    // Chart position 0..100 of a value on the flag's axis; 0 for an unknown flag.
    static double getAxiYValue(double value, std::int32_t flg);
    // The same on an axis of maxLen; only getAxiYValue calls it.
    static double getChartAxiYValue(double value, std::int32_t flg, std::int64_t maxLen);
    // The level word of a chart position ("多め", "平均レベル", "少なめ", or for pH
    // "高め"/"低め", for BFC "強め"/"弱め"); "" for an unknown index.
    static QString getResultValue(double value, std::int64_t index);
    // The comment chosen (user default "zcontent") for a level word of item 0..6; "" when
    // the item or its chosen text is missing.
    static QString getContent(const QString &word, std::int32_t index);
    // ---- end of level words and chart positions ----------------------------------------

    // ---- Communication and transfer logs (link/UsbUtils_Log.cpp, library cvx_link) -----
    // Day-named logs in $HOME/CommLog ("CommData_yyyyMMdd.log", one file per connection)
    // and $HOME/TransferLog ("TransferLog_yyyyMMdd.log"), UTF-8, lines ending in CR LF.
    // Every entry purges logs older than two years from both folders. Write and delete
    // errors are ignored.

    // One communication-log entry: a line of 22 em dashes with the time stamp
    // "yyyy-MM-dd HH:mm:ss SSS", then the text. Main thread.
    static void myWriteLogCallback(const QString &text);
    // The communication log when `folder` is exactly $HOME/CommLog, else one transfer-log
    // line in `folder`; then the purge of both log folders. Any thread.
    static void writeLogToPath(const QString &folder, const QString &text);
    // Deletes the folder's *.log files whose names sort before "CommData_" (for
    // $HOME/CommLog) or "TransferLog_" (any other folder) followed by the date two years
    // ago plus one day.
    static void deleteLogTwoYearsAgo(const QString &folder);
    // Control bytes named for the logs: STX -> "<STX>", also ETX, EOT, ENQ, ACK, LF, CR,
    // NAK, ETB.
    static QString replaceAsciiStr(const QString &text);
    // ---- end of communication and transfer logs ----------------------------------------

    // ---- Link checksums and firmware versions (link/UsbUtils_Link.cpp, library cvx_link) -
    // Defined in cvx_link, since they read and write the link's session: only code that
    // links cvx_link may call them. Main thread. (QStringList: include <QStringList>.)

    // Whether an instrument frame may be accepted. `frame` is the text after STX, ending in
    // the two checksum digits and the terminator. Until the instrument's identity is known
    // (versionID of UsbHID empty), a frame whose field 4 reads "<x>^<serial> <version>"
    // (version of at least five characters) sets UsbHID's deviceNo and versionID (the last
    // five characters) and UsbManager's deviceMainVersion, good checksum or not. NO while
    // versionID reads as a number of 0.0801 or less, for a text shorter than three
    // characters, or when the byte sum of the text before the digits, modulo 256, is not
    // written there as two upper-case hexadecimal digits.
    static bool bolSetRcvCheckSum(const QString &frame);
    // `bytes` holds one decimal text per byte: STX, the message, CR. Appends the two
    // checksum characters (sum of all but the first, modulo 256, as upper-case hex), each
    // as the decimal text of its character code; returns `bytes`.
    static QStringList &vSetSndCheckSum(QStringList &bytes);
    // The last `size` upper-case hexadecimal digits of the number (zero-padded to `size`);
    // all of them for a size of 0 or less. Size 1 gives the digit of 0..15.
    static QString sNumToHex(qint64 number, qint16 size);
    // Start-up: reads the versions of the carried firmware files into UsbManager's
    // pcMainVersion and pcDispVersion through UsbManager::firmwareVersionReader(); until
    // one is installed, or when a file is missing, both stay as they are (null).
    static void parseFileVersion();
    // ---- end of link checksums and firmware versions -----------------------------------
};
