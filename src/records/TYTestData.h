#pragma once

#include <QString>

#include "records/Property.h"

// The readings of one pad as the instrument sent them (texts, unconverted). A pad never
// reported keeps every text "".
class TYTestData {
    CVX_PROPERTY(QString, tyName, setTyName) = QStringLiteral("");  // e.g. "BFC", "PH", "I_LEU", "[Cal]"
    CVX_PROPERTY(QString, tySample565, setTySample565) = QStringLiteral("");
    CVX_PROPERTY(QString, tyReference565, setTyReference565) = QStringLiteral("");
    CVX_PROPERTY(QString, tySample635, setTySample635) = QStringLiteral("");
    CVX_PROPERTY(QString, tyReference635, setTyReference635) = QStringLiteral("");
    CVX_PROPERTY(QString, tySample760, setTySample760) = QStringLiteral("");
    CVX_PROPERTY(QString, tyReference760, setTyReference760) = QStringLiteral("");
    // Reflectance before correction, after the temperature correction (the pad's result), and
    // after the wavelength correction.
    CVX_PROPERTY(QString, tyRefBefor, setTyRefBefor) = QStringLiteral("");
    CVX_PROPERTY(QString, tyRefTempBefor, setTyRefTempBefor) = QStringLiteral("");
    CVX_PROPERTY(QString, tyRefnmBefor, setTyRefnmBefor) = QStringLiteral("");
    CVX_PROPERTY(QString, tyDark, setTyDark) = QStringLiteral("");
    // The older instrument generation named the pad "LEU" or "NH3" instead of "I_LEU", "I_NH3".
    CVX_PROPERTY(bool, isOldData, setIsOldData) = false;
};
