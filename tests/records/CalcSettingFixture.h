#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include "platform/FileManager.h"
#include "records/CalcSettingDatas.h"

namespace calcfixture {

// Every range differs from the others, so a flag or index that reads the wrong range
// gives a visibly wrong number. More maps its axis onto positions 70..100.
inline const QString kXml = QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<CalcData>
    <DATA title="SrcData">
        <range title="NH3">
            <AvgData>1.5</AvgData>
            <DataRange>1.1|1.9</DataRange>
            <AvgRange>1.3|1.7</AvgRange>
        </range>
        <range title="I_NH3">
            <AvgData>1.6</AvgData>
            <DataRange>1.2|2.0</DataRange>
            <AvgRange>1.4|1.8</AvgRange>
        </range>
        <range title="LEU">
            <AvgData>1.4</AvgData>
            <DataRange>0.9|1.9</DataRange>
            <AvgRange>1.2|1.6</AvgRange>
        </range>
        <range title="I_LEU">
            <Threshold>20</Threshold>
            <Datas use="threshold">
                <Data use="more">
                    <AvgData>1.0</AvgData>
                    <DataRange>0.35|1.65</DataRange>
                    <AvgRange>0.8|1.2</AvgRange>
                    <coefC>30</coefC>
                    <coefD>70</coefD>
                </Data>
                <Data use="less">
                    <AvgData>1.5</AvgData>
                    <DataRange>1.0|2.0</DataRange>
                    <AvgRange>1.3|1.7</AvgRange>
                </Data>
            </Datas>
        </range>
    </DATA>
    <DATA title="ChgData">
        <range title="NH3">
            <AvgData>50</AvgData>
            <DataRange>0|100</DataRange>
            <AvgRange>40|60</AvgRange>
        </range>
        <range title="I_NH3">
            <AvgData>53</AvgData>
            <DataRange>0|100</DataRange>
            <AvgRange>43|63</AvgRange>
        </range>
        <range title="LEU">
            <AvgData>49</AvgData>
            <DataRange>0|100</DataRange>
            <AvgRange>39|59</AvgRange>
        </range>
        <range title="I_LEU">
            <Datas>
                <Data use="more">
                    <AvgData>55</AvgData>
                    <DataRange>0|100</DataRange>
                    <AvgRange>45|65</AvgRange>
                </Data>
                <Data use="less">
                    <AvgData>40</AvgData>
                    <DataRange>0|100</DataRange>
                    <AvgRange>30|50</AvgRange>
                </Data>
            </Datas>
        </range>
    </DATA>
</CalcData>
)");

inline QString path() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix/CalcSetting.xml");
}

inline void makeDataFolder() {
    QDir().mkpath(cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix"));
}

// Writes the data folder's calculation settings; ranges already loaded stay.
inline void write(const QString &xml) {
    makeDataFolder();
    QFile f(path());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(xml.toUtf8());
}

// Writes them and forgets any ranges loaded before, as a fresh process would.
inline void install(const QString &xml) {
    write(xml);
    CalcSettingDatas::discardSharedForTesting();
}

}  // namespace calcfixture
