#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstdint>

// One ROM record of the firmware description: the flash blocks it may erase and the ROM data
// files it writes, by index. The fields the description does not fill keep their initial
// values; they mirror PrjInf_t for the writer's sake.
struct RomInf_t {
    QString sTitle;
    std::int32_t bErsNum = 0;  // erase blocks, at most kMaxEraseBlocks
    QString sCommSetting;
    bool yCnctCmd = false;
    std::int32_t iDatBlkSize = 0;
    QString sBootName;
    std::int32_t bRomNum = 0;
    QList<qint64> qWrtPrgEndAdr;  // per ROM file: the lower bound that chooses its erase block
    QList<qint64> aqVerBgnAdr;
    QList<qint64> aqVerEndAdr;
    std::int32_t bRomNo = 0;
    QString sWrtPrgFile;
    std::int32_t bWrtPrgBlock = 0;
    QList<qint64> aqWrtPrgBgnAdr;
    QList<qint64> qErsBgnAdr;  // per erase block
    QList<qint64> qErsEndAdr;
    std::int32_t bWrtRomNum = 0;    // number of ROM files
    QStringList asWrtRomFile;       // per ROM file: its name under "USB/Data/"
    QStringList abWrtRomBlock;      // per ROM file: block text, kept as written
    QList<qint64> aaqWrtRomBgnAdr;  // per ROM file: its address range
    QList<qint64> aaqWrtRomEndAdr;

    // The writer keeps one erased-flag per block.
    static constexpr std::int32_t kMaxEraseBlocks = 15;

    bool operator==(const RomInf_t &) const = default;
};
