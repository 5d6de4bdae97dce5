#pragma once

#include <QString>
#include <cstdint>
#include <functional>

// For the patient-file, raw-data-line and check-file section.
#include <QList>
#include <QStringList>
#include <optional>

#include "platform/XmlDocument.h"
#include "records/OCMCustomerComment.h"
#include "records/TYTestInfo.h"

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

    // ---- Patient files, raw data line, check-measurement file -------------------------
    // In records/UsbUtils_PatientFile.cpp and records/UsbUtils_RawData.cpp, except those
    // marked [cvx_link] (link/UsbUtils_PatientStore.cpp, link/UsbUtils_CheckFile.cpp):
    // they read the link's session and transport, so only code that links cvx_link may
    // call them. Main thread, except isOldData, compareComment, getItemStatus and the
    // pure line builders (any thread).
    //
    // Patient file: $HOME/.Corvadenix/Customer/<chart number>.xml, UTF-8; root DATA with
    // name, birthday, age, sex; one `comment` (date, time) per result, newest first, its
    // children Hospital, Doctor, SheetFlg, Remark, TotalComment, then per item MS, pH,
    // BFC, BLD, LEU, ALB, NH3 (n = 1..7): <item>, DataValue<n> ("%.1f|%.0f": value and
    // chart position), Content<n>; then RsvData (the raw data line) and SaveDate.
    // A chart number that isSafeChartNumber() refuses names no file: getXmlPath() gives a
    // null text and every operation here treats it as a file that cannot be read or written.

    // Whether a chart number may become a file name in the Customer folder: not empty; no
    // "/", NUL or other control character, no unpaired surrogate; not "." or ".." and not
    // starting with "."; at most 255 UTF-8 bytes with ".xml"; and, for a patient file,
    // not "Check_Measure_Result" in any case. Every text NSStringExt::validateDBCS accepts
    // passes (but for that name when forPatientFile).
    static bool isSafeChartNumber(const QString &text, bool forPatientFile);
    // $HOME/.Corvadenix/Customer; creates nothing.
    static QString customerFolder();
    // The patient file's path; null for a refused chart number. Looks at nothing on disk.
    static QString getXmlPath(const QString &chartNo);
    // The check-measurement file's path, Customer/Check_Measure_Result.xml.
    static QString getCheckXmlPath();
    // Creates the Customer folder when missing and loads the patient file (tidy parsing);
    // nothing when it is missing, unreadable or the chart number is refused.
    static std::optional<cvx::XmlDocument> getCustomerXml(const QString &chartNo);
    // A patient or check-measurement file read to be written back
    // (XmlDocument::fromFileToRewrite); nothing also when its root is not "DATA" (no writer
    // writes into a file of another kind that stands in a patient file's place) or it holds
    // a character XML 1.0 cannot hold (SettingsFiles::toRewrite).
    static std::optional<cvx::XmlDocument> patientFileToRewrite(const QString &path);

    enum class StoreResult {
        Stored,
        Duplicate,          // a result with the same date and time is stored already
        Refused,            // chart number refused, or a pass header or item pad is missing
        Unreadable,         // the existing file cannot be read or written back (patientFileToRewrite)
        CalculationFailed,  // calculation ranges or a chart position threw
        WriteFailed,
    };
    // [cvx_link] Stores the measurement as the newest result of the patient file named by
    // its userID. deviceStatus 2: the measuring window stores it, and the root takes the
    // patient of the link's currentCustInfo when the chart numbers agree; 5: the link
    // stores it. Hospital, Doctor and TotalComment come from the user defaults "zhospital",
    // "zdoctor", "ztotal"; level words, chart positions and comments from getAxiYValue,
    // getResultValue, getContent. A character XML cannot hold is left out of the texts written.
    // What is written must read back as the file read with the result in front (and the
    // root's attributes set for the window's patient), else the file is Unreadable for this
    // store. Anything but Stored writes nothing; an exception of the calculations is caught
    // here (the exception hook has logged it).
    static StoreResult storeCustomerComment(const TYTestInfo &testInfo, qint64 deviceStatus);
    // [cvx_link] storeCustomerComment() == Stored.
    static bool saveCustomerComment(const TYTestInfo &testInfo, qint64 deviceStatus);

    // Fills `cust` from the children of list[index] by name (every reader refuses a result that
    // holds a name twice, so each child fills a field of its own; the Content<n> fields get a
    // fresh text; missing children leave fields as they are; date and time are not read) and
    // returns it. An index outside the list changes nothing.
    static OCMCustomerComment &findXML(const QList<cvx::XmlElement> &list, OCMCustomerComment &cust,
                                       qsizetype index);
    // A new record filled by findXML.
    static OCMCustomerComment getCustComment(const QList<cvx::XmlElement> &list, qsizetype index);
    // Marks the first result with that date and time as printed: its first SheetFlg child
    // gets "済" (a result without one is left as it is); the file is rewritten, also when no
    // result matched. Nothing when the file is missing or unreadable. True when written.
    static bool savePrintInfo(const QString &chartNo, const QString &date, const QString &time);
    // Layout class of a patient file: 1 root with fewer than four attributes (oldest);
    // 2 first result ends with RsvData (before SaveDate existed); 0 current, and also for a
    // missing or unreadable file, a root without results, or a first result without children.
    static int isOldData(const QString &path);
    // The same for a document already read.
    static int layoutClass(const cvx::XmlDocument &doc);
    // The elements sorted oldest first: by the date attribute's text, then the time's.
    static QList<cvx::XmlElement> compareComment(const QList<cvx::XmlElement> &list);

    // Raw data line: 286 comma-separated fields. 0 "<deviceNo>:V<versionID>", 1 date,
    // 2 time, 3 test number (second pass), 4 mean temperature "%.1f ℃"; 5..40 nine result
    // blocks (name, "0", level word, value) and 49..237 nine reading blocks (name, then each
    // reading of the first and the second pass) in the pad order BFC, PH, MS, DUMMY, BLD,
    // [Cal], LEU, ALB, NH3; 41..48 and 238..279 empty; 280..285 the white readings. A comma
    // inside an instrument text is dropped so that no field moves.

    // [cvx_link] The line for the link's current measurement and its device number and
    // version. `entries`: seven "%.1f|<level word>" texts in item order MS..NH3.
    static QString spliceRsvData(const QStringList &entries);
    // The same for a given device and measurement. The DUMMY and [Cal] positions are
    // reference pads whatever their name (a pad never sent has none).
    static QString rsvDataLine(const QString &deviceNo, const QString &versionID, const TYTestInfo &test,
                               const QStringList &entries);
    // One result block, each field followed by ",": name, "0", then for DUMMY or [Cal]
    // (trimmed) "---" and tyRefTempBefor / 10 as "%.1f", else the word and the value of the
    // "<value>|<word>" entry (missing parts empty).
    static QString getBasicInfo(const TYTestData &data, const QString &entry);
    // One reading block, each of its 21 fields followed by ",".
    static QString getNumberInfo(const TYTestData &first, const TYTestData &second);
    // LEU generation and range of a stored line: 0 no "I_LEU" field; 1 one and !flag; with
    // flag, from the I_LEU ranges: 2 More, 3 Less (UseData 2: the integer 15 fields after
    // the rightmost "LEU"/"I_LEU" field, / 10, below Threshold is More; a missing field
    // reads as empty). -1 with flag when no LEU name field is found, or when the
    // calculation ranges fail to load. Never throws.
    static int getItemStatus(bool flag, const QString &line);
    // The same for a line already split at ",".
    static int getItemStatus(bool flag, const QList<QStringView> &fields);

    // Check-measurement file: Customer/Check_Measure_Result.xml, declared "shift-jis" and
    // written in CP932; root DATA (name, birthday, age "", sex "0"); results `comment`
    // (date, time) newest first, each holding only RsvData with the check line:
    // fields 0..3 as the raw data line, 4 the second pass's temperature "%.1f ℃", then per
    // check record "CHECK", "0", "---", value; per record a 21-field block "CHECK" with the
    // readings at the second-pass positions; one empty field; the white readings of the
    // second pass with empty fields between. 11 + 25 N fields.

    // [cvx_link] Stores the measurement's check records (of its second pass) as the newest
    // result; no duplicate check. False when the file is unreadable or the write failed.
    static bool saveCheckMeasureResult(const TYTestInfo &testInfo);
    // [cvx_link] The check line of the link's current measurement.
    static QString spliceCheckRsvData(const QList<TYTestData> &records);
    // The same for a given device and pass.
    static QString checkRsvDataLine(const QString &deviceNo, const QString &versionID,
                                    const TYEachTest &second, const QList<TYTestData> &records);
    // ---- end of patient files, raw data line, check-measurement file -------------------

    // ---- Single-value settings (UsbUtils_Settings.cpp; isHaveMODE in link/UsbUtils_Mode.cpp)
    // Files of the data folder with the root DATA, one child per value: "ModeSetting.xml"
    // (MODE, DeleteBLD), "USBSetting.xml" (Timeout), "DataTransfer.xml" (INPUT, OUTPUT).
    // Every call reads the file again (tidy parsing); a missing or unreadable file reads as
    // if the element were missing. Any thread.

    // [cvx_link] The data-link mode 0, 3, 4 or 5: UsbManager's cached mode when it is 0 or
    // more, else modeSetting(), which is then cached.
    static std::int32_t isHaveMODE();
    // The mode that "ModeSetting.xml" holds: the first /DATA/MODE trimmed, "3", "4" or "5"
    // give that number, anything else or no element 0. Not cached.
    static std::int32_t modeSetting();
    // The six-item mode: the first /DATA/DeleteBLD holds exactly "1" (untrimmed).
    static bool isDeleteBLD();
    // The text of the first /DATA/DeleteBLD, untrimmed; null with no element.
    static QString deleteBLDValue();
    // The measuring time-out in whole seconds: the integer value of the first /DATA/Timeout
    // in milliseconds divided by 1000 when it lies from 1000 to 60000, else 10.
    static std::int32_t timeoutNum();
    // The data link's input or output folder: the text of the only /DATA/INPUT or
    // /DATA/OUTPUT, untrimmed; "" with no element or several, and "" for a folder that
    // isRefusedLinkFolder() refuses (noted once in Error.txt).
    static QString inputValue();
    static QString outputValue();
    // A folder that may not serve the data link: the file-system root, the home folder, any
    // folder holding the data folder, the data folder or a folder inside it (links resolved).
    // The import deletes what it took from its INPUT folder; the results land in OUTPUT.
    static bool isRefusedLinkFolder(const QString &path);
    // Replace the text of the only /DATA/INPUT or /DATA/OUTPUT ("" clears it) and write the
    // file back whole. False, and nothing written, when the file is missing or unreadable or
    // holds no such element or several, or isRefusedLinkFolder() refuses the path; false also
    // when the write failed.
    static bool saveInput(const QString &path);
    static bool saveOutput(const QString &path);
    // ---- end of single-value settings --------------------------------------------------

    // ---- Data link (datamanage/UsbUtils_DataLinkImport.cpp and UsbUtils_ResultCsv.cpp,
    //      library cvx_datamanage) -----------------------------------------------------------
    // Defined above the shell: the shell reaches them through callbacks that the application
    // installs (e.g. AppDelegate::setDataLinkImport). Main thread.

    // Starts the import of patients from the data link's input folder in modes 3, 4 and 5
    // (datamanage/DataLinkImport.h) and returns at once; always true. The completion, when
    // given, gets the outcome on the main thread, at most once; it is not called when nothing
    // was started.
    static bool readCsvOrTxt(std::function<void(bool)> readCsvBlock = {});
    // Writes the result CSV of the patient's result at selectRow (0 the newest) into the data
    // link's output folder, in modes 3, 4 and 5 only (datamanage/UsbUtils_ResultCsv.cpp).
    // True when the file was written; false in mode 0, without an absolute output folder
    // that exists, for a refused chart number, a missing patient file or result, a result
    // that fails a check, and a failed write.
    static bool csvSave(const QString &chartNo, std::int64_t selectRow);
    // Writes the text backup of the result at selectRow, or of every result for a negative
    // row, into $HOME/ResultData (created when missing). Results that fail a check are
    // skipped and the walk goes on. True when every asked-for backup was written (also for
    // a negative row on a file without results).
    static bool csvBackup(const QString &chartNo, std::int64_t selectRow);
    // ---- end of data link ----------------------------------------------------------------

    // ---- Result CSV and text backups (datamanage/UsbUtils_ResultCsv.cpp, cvx_datamanage) --
    // One result of a patient file written as text: lines "name,...", "date,y/m/d,time,...",
    // "Hospital", "Doctor", one line per item with its level word and quoted comment, "総合",
    // (CSV layouts) the three fixed "N/A" lines, and "RsvData" with the reworked raw data
    // line followed by 158 commas; CR LF line ends. File name
    // "<chart number>_<yyyyMMddHHmmss of SaveDate>_<first 8 characters of RsvData>".
    // A free field holding a comma, a double quote or a line break is written between double
    // quotes, and a double quote inside a quoted field is doubled, so that no field spills
    // into the next. Main thread.

    enum class ResultLayout {
        LinkCsv,     // the data link's CSV: BLD "-"/"N/A" in the six-item mode, I_LEU/I_NH3 as LEU/NH3
        SheetCsv,    // the sheet's CSV: as LinkCsv, but the pad names stay as stored
        TextBackup,  // the backup: BLD always, no "N/A" lines, Hospital/Doctor from the elements
    };
    struct ResultFile {
        QString name;  // without extension
        QString text;
    };
    // The file of the result at `row` of the patient file; nothing for a refused chart
    // number, a missing or unreadable file, a row outside its results, or a result without a
    // "yyyy-MM-dd HH:mm:ss" SaveDate, an RsvData of at least 42 fields after its ninth
    // character (date in three "-" parts), a "yyyy-MM-dd"-like date attribute, value pairs
    // with a "|", or whose name would not be a safe file name.
    static std::optional<ResultFile> resultFile(const QString &chartNo, std::int64_t row,
                                                ResultLayout layout);
    // Writes the file as UTF-16 little-endian with byte-order mark, atomically, as
    // "<name>.csv" in the data link's output folder. False when outputValue() is empty, not
    // absolute or not a folder, or the write failed (the failure is logged to Error.txt).
    static bool writeLinkCsv(const ResultFile &file);
    // $HOME/ResultData.
    static QString resultDataFolder();
    // Deletes the patient's text backups: the *.txt files directly in $HOME/ResultData named
    // "<chart number>_<14 digits>_<8 characters>", so that the backups of chart number "12_3"
    // survive deleting those of "12". True when all of them are gone (also with no folder);
    // false for a refused chart number or a failed deletion.
    static bool delTxtBackup(const QString &chartNo);
    // ---- end of result CSV and text backups ----------------------------------------------

    // ---- Conversion of imported patient files (datamanage/UsbUtils_Conversion.cpp) -------
    // Library cvx_datamanage. Merge the results of an imported patient file (`from`, never
    // changed) into the local patient file `to` (made when missing), bringing the converter's
    // own layout to the current one: oldest (isOldData 1), old (2) or current (any other).
    // Chart positions and level words are recomputed from the raw data line with this
    // computer's calculation ranges. A local result and an imported one with the same date
    // and time keep the local one; a root detail (name, birthday, age, sex) that the imported
    // file leaves empty keeps the local value; the file is written newest first. Results too short for
    // their layout are copied unconverted. Any thread; holds SettingsFiles::writeMutex()
    // around the read and write of the local file.
    enum class ConvertResult {
        Written,
        NothingToRead,      // the imported file is missing or unreadable; nothing written
        LocalUnreadable,    // the local file exists but cannot be read; left as it is
        CalculationFailed,  // the calculation ranges failed; nothing written
        WriteFailed,
        LocalIsLink,  // saveConverted only: the local path is a symbolic link; left as it is
    };
    static ConvertResult saveFromOldOldDataPath(const QString &from, const QString &to);
    static ConvertResult saveFromOldDataPath(const QString &from, const QString &to);
    static ConvertResult saveFromCurrentDataPath(const QString &from, const QString &to);
    // The converter that isOldData(from) picks, reading the imported file once.
    static ConvertResult saveFromImportedPath(const QString &from, const QString &to,
                                              cvx::Durability durability = cvx::Durability::Synced);
    // The same in two steps, so that many files can be converted at once: reading and
    // converting touches no local file (any thread, no lock); saving merges with the local
    // file under the write lock.
    // When the caller saw no local file, the converted file is made ready to write, as bytes,
    // in place of the tree.
    struct ConvertedFile {
        QString from;
        std::optional<cvx::XmlDocument> doc;  // with neither tree nor bytes, `failure` says why
        ConvertResult failure = ConvertResult::NothingToRead;
        bool current = true;  // of the current layout
        std::optional<QByteArray> bytes;
        std::function<std::optional<QByteArray>()> read;  // convertImportedFile's
    };
    static ConvertedFile convertImportedPath(const QString &from, bool noLocalFile = false);
    // The same for the imported file that `read` reads (nothing when it cannot be read). It is
    // kept to read the file again should a local file come before the save.
    // `source` names the file in reports.
    static ConvertedFile convertImportedFile(std::function<std::optional<QByteArray>()> read,
                                             const QString &source, bool noLocalFile = false);
    static ConvertResult saveConverted(ConvertedFile file, const QString &to, cvx::Durability durability);
    // The same for the local file `name` in the folder held as `folder`: it is looked at, read
    // and written there, never through a link. `path` names it in reports.
    static ConvertResult saveConverted(ConvertedFile file, const cvx::OpenFolder &folder, const QString &name,
                                       const QString &path, cvx::Durability durability);
    // A tidy reading of the bytes of the file `source`, which are to be written back, as
    // XmlDocument::fromFileToRewrite reads a file.
    static std::optional<cvx::XmlDocument> documentToRewrite(const std::optional<QByteArray> &bytes,
                                                             const QString &source);
    // ---- end of conversion of imported patient files --------------------------------------
};
