#pragma once

#include <QString>

#include "records/Property.h"

// The master data of one patient. Every field starts as "" (never null), so a reader always
// finds a text.
class OCMCustInfo {
    // The stored patient name is firstname, one blank, lastname.
    CVX_PROPERTY(QString, firstname, setFirstname) = QStringLiteral("");
    CVX_PROPERTY(QString, lastname, setLastname) = QStringLiteral("");
    // Chart number: names the patient file Customer/<chart number>.xml.
    CVX_PROPERTY(QString, customerNo, setCustomerNo) = QStringLiteral("");
    // Year, month and day joined by "-", or "" when not given.
    CVX_PROPERTY(QString, birthday, setBirthday) = QStringLiteral("");
    CVX_PROPERTY(QString, age, setAge) = QStringLiteral("");
    // "0" male, "1" female, "2" not given.
    CVX_PROPERTY(QString, sex, setSex) = QStringLiteral("");
    CVX_PROPERTY(QString, remark, setRemark) = QStringLiteral("");
};
