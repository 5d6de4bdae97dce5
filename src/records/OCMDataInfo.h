#pragma once

#include <QString>

#include "records/Property.h"

// Header of one data block of a firmware-update file. All fields null until the reader fills
// them.
class OCMDataInfo {
    CVX_PROPERTY(QString, Name, setName);        // 16 characters
    CVX_PROPERTY(QString, Version, setVersion);  // 10 characters
    CVX_PROPERTY(QString, Date, setDate);        // 16 characters
    CVX_PROPERTY(QString, Sum, setSum);          // checksum, hexadecimal
    CVX_PROPERTY(QString, Bgn, setBgn);          // first address, 8 hexadecimal digits
    CVX_PROPERTY(QString, End, setEnd);          // last address, 8 hexadecimal digits
};
