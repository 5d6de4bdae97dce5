#include "records/CalcValues.h"

#include "platform/Numbers.h"

bool CalcValues::usesMore(double leuValue) const {
    switch (useData_) {
        case 1:
            return true;
        case 2:
            return cvx::doubleValue(threshold_) > leuValue;
        default:
            return false;
    }
}
