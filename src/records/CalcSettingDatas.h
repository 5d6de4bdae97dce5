#pragma once

#include <QString>
#include <stdexcept>

#include "records/CalcValue.h"
#include "records/CalcValues.h"

// The calculation ranges of "CalcSetting.xml" in the data folder: the limits of the LEU
// and NH3 pads in both pad generations. Read once per process, then only read.
class CalcSettingDatas {
public:
    // The file was read but lacks a node or child the ranges need (or a range text has
    // no "|"). No instance is kept, so the next getInst() reads the file again.
    class LoadError : public std::out_of_range {
    public:
        explicit LoadError(const std::string &what) : std::out_of_range(what) {}
    };

    // The shared instance, loaded on the first call; thread-safe. Throws LoadError.
    // A missing or unreadable file is no error: every number then reads as 0.
    static const CalcSettingDatas &getInst();

    const CalcValue &I_NH3() const { return iNH3_; }
    const CalcValues &I_LEU() const { return iLEU_; }
    const CalcValue &NH3() const { return nh3_; }
    const CalcValue &LEU() const { return leu_; }
    // The number texts are read with cvx::doubleValue (level bands, threshold, averages)
    // or cvx::floatValue (chart-axis ends and coefficients) of platform/Numbers.h.

    // Drops the shared instance so that the next getInst() reads the file again. Only for
    // tests that load several files in one process.
    static void discardSharedForTesting();

    CalcSettingDatas(const CalcSettingDatas &) = delete;
    CalcSettingDatas &operator=(const CalcSettingDatas &) = delete;

private:
    CalcSettingDatas();  // reads the file; throws LoadError

    CalcValue iNH3_;
    CalcValues iLEU_;
    CalcValue nh3_;
    CalcValue leu_;
};
