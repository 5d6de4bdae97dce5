#pragma once

#include <QString>

#include "records/Property.h"
#include "records/TYEachTest.h"

// One measurement as the instrument transfers it: the chart number and two photometry passes.
class TYTestInfo {
    CVX_PROPERTY(QString, versionNO, setVersionNO) = QStringLiteral("");
    // Chart number from the instrument's KARTE record; names the patient file.
    CVX_PROPERTY(QString, userID, setUserID) = QStringLiteral("");
    CVX_MUTABLE_PROPERTY(TYEachTest, firstTest, setFirstTest);
    // The only pass a check measurement uses.
    CVX_MUTABLE_PROPERTY(TYEachTest, secondTest, setSecondTest);
};
