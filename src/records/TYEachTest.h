#pragma once

#include <QList>
#include <QString>

#include "records/Property.h"
#include "records/TYTestData.h"

// One photometry pass as the instrument sent it: header values, white reference and one record
// per strip position. Texts start "", pad records empty, the check list empty.
class TYEachTest {
    CVX_PROPERTY(QString, tyResltAD, setTyResltAD) = QStringLiteral("");
    CVX_PROPERTY(QString, tyData, setTyData) = QStringLiteral("");  // date
    CVX_PROPERTY(QString, tyTime, setTyTime) = QStringLiteral("");
    CVX_PROPERTY(QString, tyTemp, setTyTemp) = QStringLiteral("");  // tenths of a degree
    CVX_PROPERTY(QString, tyTestNO, setTyTestNO) = QStringLiteral("");
    CVX_PROPERTY(QString, tyStrep, setTyStrep) = QStringLiteral("");
    CVX_PROPERTY(QString, tyCount, setTyCount) = QStringLiteral("");  // "0" first pass
    CVX_PROPERTY(QString, tyType, setTyType) = QStringLiteral("");    // "1" check measurement
    CVX_PROPERTY(QString, tyWhite565, setTyWhite565) = QStringLiteral("");
    CVX_PROPERTY(QString, tyWhite635, setTyWhite635) = QStringLiteral("");
    CVX_PROPERTY(QString, tyWhite760, setTyWhite760) = QStringLiteral("");
    CVX_MUTABLE_PROPERTY(TYTestData, bfcTestData, setBfcTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, phTestData, setPhTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, msTestData, setMsTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, dummyTestData, setDummyTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, bldTestData, setBldTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, calTestData, setCalTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, leuTestData, setLeuTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, albTestData, setAlbTestData);
    CVX_MUTABLE_PROPERTY(TYTestData, nh3TestData, setNh3TestData);
    // A check measurement's pad records in arrival order.
    CVX_MUTABLE_PROPERTY(QList<TYTestData>, checkArray, setCheckArray);
};
