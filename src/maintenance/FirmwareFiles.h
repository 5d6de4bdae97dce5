#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QtGlobal>

#include <cstdint>
#include <optional>

#include "maintenance/PrjInf_t.h"
#include "maintenance/RomInf_t.h"
#include "records/OCMDataInfo.h"

// The firmware the application carries: the description "USB/FileInf.txt" and the write
// program and ROM data files under "USB/Data/", found among the bundle's resources. Reads
// the description into PrjInf_t and RomInf_t records, checks that the files it names are
// there and sound, and takes the versions and expected sums from the ROM data files. Only
// ROM record 0 is written by the firmware writer. Main thread only.
//
// Data files are ASCII lines: a header line (8 hex digits of address, then 48 information
// bytes as 96 hex digits: name 0-15, version 16-25, date 26-41), data lines (address and
// data bytes in hex) and an end line starting "FFFFFFFF" whose characters 24-31 are the sum.
// A ROM data file may start with "/* ROM-WRITER TYPE = NEW */" and then hold the write
// program between "/* PRG-DAT START */" and "/* PRG-DAT END */" (the last 8 characters of
// its last data line are the program's sum) and the ROM data between "/* ROM-DAT START */"
// and "/* ROM-DAT END */".
class FirmwareFiles {
public:
    // What the check found wrong; messageCode() names the message picture.
    enum class Fault {
        None,
        SettingsFile,  // "T501": description missing, unreadable or malformed
        ProgramFile,   // "T502": write program missing or empty
        RomFile,       // "T503": a ROM data file missing or damaged
    };
    static QString messageCode(Fault fault);

    static constexpr std::int32_t kRomRecordCount = 10;
    // The most a data file may hold: lines that fit the writer's transmit buffer with their
    // check byte, and no more lines than its 16-bit counters count.
    static constexpr qsizetype kMaxLineDigits = 2076;
    static constexpr qsizetype kMaxLines = 32767;

    // Path of a firmware file by its bundle-relative name ("USB/FileInf.txt"), or a null
    // text when there is none.
    static QString resourcePath(const QString &relative);
    // Tests: look firmware files up in this folder instead of the bundle; empty restores
    // the bundle.
    static void setResourceRootForTesting(const QString &folder);

    // Reads the description and checks, in this order, the description, the write
    // program and ROM files 0 and 1, then every ROM file of record 0 in full. On None the
    // records hold the description. In full means every line the writer would send: a header
    // line, data lines of hex digit pairs each within the description's block size and the
    // file's address range, in ascending order, and the end line last, with the sums the file
    // states matching its data; so a damaged file is refused before the instrument is touched.
    Fault fileExitChk_USB();

    // Fills a new tPrjInf() and fresh records of atRomInf() from the description's lines.
    // False, changing nothing, when a value is missing or malformed, a hex pair lacks its
    // end, a count is out of range or the records overflow the table.
    bool vReadFileSetting_USB(const QStringList &lines);

    // Reads every ROM data file of record 0 for the carried versions (file 0 main, file 1
    // display) and the expected sums. RomFile, changing nothing, when record 0 names fewer
    // than two files or one of them is missing or damaged.
    Fault getDataRomInf();

    // Paths of the write program and of ROM file iRomCnt() + n of record iRomFileNo(); null
    // when the name is missing or no such file exists.
    QString sGetFileNameWrtPrg() const;
    QString sGetFileNameRomDat(std::int32_t n) const;

    // The lines a data file sends: read as Shift-JIS, double quotes removed, trimmed, empty
    // lines dropped; only those between "/* ROM-DAT START */" and "/* ROM-DAT END */" when
    // the file has that section. Nothing when the file is unreadable or the section has no
    // end.
    static std::optional<QStringList> sendLines(const QString &path);

    // Name, version and date of 96 hex digits of header information, one character a byte,
    // untrimmed.
    static OCMDataInfo getPrgInf(QStringView info);
    // Two hex digits as a byte; any other character counts as 0.
    static quint8 hexToByte(QStringView digits);
    // A decimal number's upper-case hex text, padded with "0" to `length`; longer stays.
    static QString numToHex(const QString &decimal, std::int32_t length);

    // The writer's reset: drops the ROM records (the next use makes fresh ones) and the
    // counters; the project record and the sums stay.
    void reset();

    const PrjInf_t &tPrjInf() const { return prjInf_; }
    // Made with kRomRecordCount initial records on first use.
    QList<RomInf_t> &atRomInf();
    const QList<RomInf_t> &atRomInf() const;
    std::int32_t iRomFileNo() const { return iRomFileNo_; }
    void setIRomFileNo(std::int32_t value) { iRomFileNo_ = value; }
    std::int32_t iRomCnt() const { return iRomCnt_; }
    void setIRomCnt(std::int32_t value) { iRomCnt_ = value; }
    // Expected sums, 8 upper-case hex digits; the program's is null until a new-layout
    // ROM file has been read.
    const QString &sWrtPrgSum() const { return sWrtPrgSum_; }
    const QStringList &asRomPrgSum() const { return asRomPrgSum_; }
    // Versions of ROM files 0 and 1 as last read, trimmed; null before.
    const QString &mainVersion() const { return mainVersion_; }
    const QString &dispVersion() const { return dispVersion_; }

private:
    void ensureRomInf() const;

    PrjInf_t prjInf_;
    mutable std::optional<QList<RomInf_t>> romInf_;
    std::int32_t iRomFileNo_ = 0;
    std::int32_t iRomCnt_ = 0;
    QString sWrtPrgSum_;
    QStringList asRomPrgSum_;
    QString mainVersion_;
    QString dispVersion_;
};
