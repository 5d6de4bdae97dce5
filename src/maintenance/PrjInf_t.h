#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <cstdint>

// The project part of the firmware description "USB/FileInf.txt": how to talk to the boot
// loader and where the write program goes. Addresses are unsigned 32-bit values.
struct PrjInf_t {
    QString sCommSetting;
    bool yCnctCmd = false;
    std::int32_t iDatBlkSize = 0;  // data bytes per data line
    QString sBootName;             // the name the instrument's boot reply must carry
    std::int32_t bRomNum = 0;      // number of version areas
    QList<qint64> aqVerBgnAdr;     // per version area
    QList<qint64> aqVerEndAdr;
    QString sWrtPrgFile;  // under "USB/Data/"
    std::int32_t bWrtPrgBlock = 0;
    qint64 qWrtPrgEndAdr = 0;
    QList<qint64> aqWrtPrgBgnAdr;  // begin of program blocks 2 to bWrtPrgBlock
    std::int32_t bSpWriter = 0;

    bool operator==(const PrjInf_t &) const = default;
};
