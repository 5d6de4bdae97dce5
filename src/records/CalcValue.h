#pragma once

#include "records/RangeData.h"

// One pad's ranges: SrcData in the domain of the value the chart position is computed
// from, ChgData in chart positions (0 to 100).
class CalcValue {
public:
    const RangeData &SrcData() const { return srcData_; }
    RangeData &SrcData() { return srcData_; }
    const RangeData &ChgData() const { return chgData_; }
    RangeData &ChgData() { return chgData_; }

private:
    RangeData srcData_;
    RangeData chgData_;
};
