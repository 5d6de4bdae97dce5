#pragma once

#include <QString>

#include "records/Property.h"

// One stored measurement of a patient as read back from the patient file. Every field starts
// null: a field whose element is missing from the stored result stays null, apart from "".
// Items are numbered 1 MS, 2 pH, 3 BFC, 4 BLD, 5 LEU, 6 ALB, 7 NH3 (Datavalue<n>). The comment
// texts are changed in place by the reader, which appends to a fresh "" per element.
class OCMCustomerComment {
    CVX_PROPERTY(QString, zno, setZno);  // chart number
    CVX_PROPERTY(QString, age, setAge);
    CVX_PROPERTY(QString, zname, setZname);
    CVX_PROPERTY(QString, zsex, setZsex);  // sex as a display word
    CVX_PROPERTY(QString, date, setDate);
    CVX_PROPERTY(QString, date1, setDate1);
    CVX_PROPERTY(QString, dateT, setDateT);  // date and time as one display text
    CVX_PROPERTY(QString, time, setTime);
    CVX_PROPERTY(QString, hospital, setHospital);
    CVX_PROPERTY(QString, doctor, setDoctor);
    CVX_PROPERTY(QString, ms, setMs);  // level words and comment texts, item by item
    CVX_MUTABLE_PROPERTY(QString, contentMs, setContentMs);
    CVX_PROPERTY(QString, ph, setPh);
    CVX_MUTABLE_PROPERTY(QString, contentPh, setContentPh);
    CVX_PROPERTY(QString, bfc, setBfc);
    CVX_MUTABLE_PROPERTY(QString, contentBfc, setContentBfc);
    CVX_PROPERTY(QString, bld, setBld);
    CVX_MUTABLE_PROPERTY(QString, contentBld, setContentBld);
    CVX_PROPERTY(QString, leu, setLeu);
    CVX_MUTABLE_PROPERTY(QString, contentLeu, setContentLeu);
    CVX_PROPERTY(QString, alb, setAlb);
    CVX_MUTABLE_PROPERTY(QString, contentAlb, setContentAlb);
    CVX_PROPERTY(QString, nh3, setNh3);
    CVX_MUTABLE_PROPERTY(QString, contentNh3, setContentNh3);
    CVX_PROPERTY(QString, rsvData, setRsvData);    // the raw data line
    CVX_PROPERTY(QString, Sheetflg, setSheetflg);  // "-" not printed yet, "済" printed
    CVX_PROPERTY(QString, remark, setRemark);
    CVX_PROPERTY(QString, Totalcomment, setTotalcomment);
    // Value, "|", chart position.
    CVX_PROPERTY(QString, Datavalue1, setDatavalue1);
    CVX_PROPERTY(QString, Datavalue2, setDatavalue2);
    CVX_PROPERTY(QString, Datavalue3, setDatavalue3);
    CVX_PROPERTY(QString, Datavalue4, setDatavalue4);
    CVX_PROPERTY(QString, Datavalue5, setDatavalue5);
    CVX_PROPERTY(QString, Datavalue6, setDatavalue6);
    CVX_PROPERTY(QString, Datavalue7, setDatavalue7);
};
