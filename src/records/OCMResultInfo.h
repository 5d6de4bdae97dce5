#pragma once

#include <QString>

#include "records/OCMCustInfo.h"
#include "records/Property.h"

// One row of the result output list: a patient (starting as a fresh empty record) and a
// measurement date (starting null).
class OCMResultInfo {
    CVX_MUTABLE_PROPERTY(OCMCustInfo, custInfo, setCustInfo);
    CVX_PROPERTY(QString, measureDate, setMeasureDate);
    CVX_PROPERTY(QString, measureNo, setMeasureNo);
};
