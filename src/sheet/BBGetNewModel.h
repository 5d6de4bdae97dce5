#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "platform/XmlDocument.h"
#include "records/OCMCustomerComment.h"
#include "records/Property.h"

// One stored result of one patient laid out for the result sheet: three item tables of three
// rows (1: MS, pH, BFC; 2: BLD, LEU, ALB; 3: NH3 and two empty rows), each with the columns
// name (tabN1), chart position (tabN2), level word (tabN3a), reference average (tabN3b) and
// comment (tabN4); and the patient's name in parts. Main thread.
class BBGetNewModel {
    CVX_PROPERTY(QList<OCMCustomerComment>, customerComments, setCustomerComments);
    CVX_PROPERTY(OCMCustomerComment, tabData, setTabData);
    CVX_PROPERTY(QStringList, tab11, setTab11);
    CVX_PROPERTY(QStringList, tab21, setTab21);
    CVX_PROPERTY(QStringList, tab31, setTab31);
    CVX_PROPERTY(QStringList, tab12, setTab12);
    CVX_PROPERTY(QStringList, tab22, setTab22);
    CVX_PROPERTY(QStringList, tab32, setTab32);
    CVX_PROPERTY(QStringList, tab14, setTab14);
    CVX_PROPERTY(QStringList, tab24, setTab24);
    CVX_PROPERTY(QStringList, tab34, setTab34);
    CVX_PROPERTY(QStringList, tab13a, setTab13a);
    CVX_PROPERTY(QStringList, tab13b, setTab13b);
    CVX_PROPERTY(QStringList, tab23a, setTab23a);
    CVX_PROPERTY(QStringList, tab23b, setTab23b);
    CVX_PROPERTY(QStringList, tab33a, setTab33a);
    CVX_PROPERTY(QStringList, tab33b, setTab33b);
    // In modes 3 and 4 the whole stored name as one part, else the name split at every blank;
    // empty when the file has no name.
    CVX_PROPERTY(QStringList, nameStr, setNameStr);

public:
    BBGetNewModel() = default;

    // Loads the result named "<date> <time>" of Customer/<chartNo>.xml (a file with a single
    // result shows that one whatever its date). A load that reads no result (no file, a file
    // that does not parse, no matching result) leaves tabData, nameStr and the columns as
    // they were; customerComments is always replaced.
    void getDatas(const QString &chartNo, const QString &dateStr);
    // Reads the result element at the index into the record (date and time are the caller's)
    // and appends the record to customerComments.
    void findXML(const QList<cvx::XmlElement> &list, OCMCustomerComment &cust, qsizetype index);
    // Fills the fifteen columns from the record; every absent value is "".
    void setData(const OCMCustomerComment &record);
    // Rewrites the patient's name (without trailing blanks) in the file, keeping birthday,
    // age and sex, then loads again. Makes no file for a chart number without one. True when
    // the file was written.
    bool setDatas(const QString &chartNo, const QString &dateStr, const QString &name);

    // Whether a load has found a result since the model was made.
    bool hasTabData() const { return hasTabData_; }
    // Row `row` of a column, "" outside it, so that a reader never indexes past a short list.
    static QString entry(const QStringList &column, qsizetype row);

private:
    bool hasTabData_ = false;
};
