#pragma once

#include <QString>

#include "records/RangeValue.h"

// The values of one range element of the calculation settings. Numbers are kept as the
// file's text; each user converts them at the precision it needs.
class RangeData {
public:
    const QString &AvgData() const { return avgData_; }
    void setAvgData(const QString &v) { avgData_ = v; }
    // Only the "more" range of I_LEU in the value domain has coefficients.
    const QString &coefC() const { return coefC_; }
    void setCoefC(const QString &v) { coefC_ = v; }
    const QString &coefD() const { return coefD_; }
    void setCoefD(const QString &v) { coefD_ = v; }

    const RangeValue &DataRange() const { return dataRange_; }
    RangeValue &DataRange() { return dataRange_; }
    const RangeValue &AvgRange() const { return avgRange_; }
    RangeValue &AvgRange() { return avgRange_; }

private:
    QString avgData_;
    QString coefC_;
    QString coefD_;
    RangeValue dataRange_;
    RangeValue avgRange_;
};
