#pragma once

#include <QString>
#include <cstdint>

#include "records/CalcValue.h"

// The I_LEU pad, which has a "more" and a "less" range set.
class CalcValues {
public:
    // 1: always More; 0: always Less; 2: More below Threshold.
    std::int32_t UseData() const { return useData_; }
    void setUseData(std::int32_t v) { useData_ = v; }
    const CalcValue &More() const { return more_; }
    CalcValue &More() { return more_; }
    const CalcValue &Less() const { return less_; }
    CalcValue &Less() { return less_; }
    const QString &Threshold() const { return threshold_; }
    void setThreshold(const QString &v) { threshold_ = v; }

    // Whether an I_LEU pad value (the plain value, not its logarithm) takes the More set.
    bool usesMore(double leuValue) const;

private:
    std::int32_t useData_ = 0;
    CalcValue more_;
    CalcValue less_;
    QString threshold_;
};
