#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

#include "platform/Dates.h"
#include "platform/XmlDocument.h"
#include "records/OCMCustomerComment.h"
#include "records/Property.h"

// The settings store: the stock and overall comments ("Comment.xml"), the hospital and
// dentist lists ("HisSetting.xml"), the update flag ("CommSetting.xml") and the listing of a
// patient's stored results. Every file lies in the data folder "$HOME/.Corvadenix", which each
// operation creates when missing.
//
// The class-level operations are what callers use: each makes a fresh store, runs the
// instance operation of the same meaning (read.../write...) on it and returns its result, so
// nothing is cached between calls; the file is the state. No operation shows or logs a
// message. Writers replace the whole file in one atomic step and are serialised within the
// process; they never write into a file whose root is not the one of this program's file of
// that name ("Comments", "HisSetting", "DATA"), which they leave as it is.
class BBInitDatas {
public:
    // A dictionary of lists of texts, e.g. list key -> texts in file order.
    using Lists = QMap<QString, QStringList>;

    // The calendar the program computes dates in (ages, the instrument's clock, the on-screen
    // clock, the patient-entry date lists): the user's calendar, with a plain Gregorian one in
    // place of the Japanese era calendar. A new calendar per call.
    static cvx::Calendar getCalendar();

    // ---- Stock and overall comments ("Comment.xml") --------------------------------------
    // A list element of the root carries `title` (item name, or "TotalComment") and `type`
    // ("2" high, "1" average, "0" low; "0" for the overall list) and holds its entries as
    // data1, data2, ...; an entry counts only where its number equals its position.

    // Where a list key points: the list element's `title` and `type`, and the list's place
    // in the user defaults "zsignData" and "zcontent" (item 0..6, level 0 high .. 2 low).
    struct ListKey {
        QString title;
        QString type;
        int item = 0;
        int level = 0;
    };
    // The 21 item-list keys, item by item in item order and each item's lists from high to
    // low: "ms0", "ms1", "ms2", "ph0", ..., "bfc2", "bfc1", "bfc0", ..., "nh32". The digit is
    // the level except for BFC, whose digit is the `type` ("bfc2" is the high list).
    static const QStringList &listKeys();
    // Nothing for a text that is not one of the 21 keys (the overall key "total" included).
    static std::optional<ListKey> listKey(const QString &key);

    // List key -> texts, for every item list in the file; empty when the file is missing or
    // does not parse. Of two elements with the same title and type the later one counts.
    static Lists getTableDetail();
    // "total" -> the overall comments; empty when the file or that list is missing.
    static Lists getTotal();
    // Replaces the entries of the key's list element by data1.. holding the texts, and writes
    // the file. True when the file was written (also when the key or its element is unknown to
    // the file, which is then written unchanged); false when the file is missing, does not
    // parse, has another root or cannot be written, when the list holds what a read of it does
    // not show (SettingsFiles::holdsOnlyShownEntries) or the file holds two lists of its title
    // and type, or when what would be written does not read back with the saved lists as saved
    // and everything else as it was (SettingsFiles::writtenReadingBack); the file then stays as
    // it was. A comment or instruction in a list stays.
    static bool setTableContent(const QStringList &texts, const QString &key);
    // The same for several keys (key -> texts) with one write of the file.
    static bool setTableContents(const Lists &textsByKey);
    // The same for the overall list; only the key "total" changes anything.
    static bool setTotal(const QStringList &texts, const QString &key);
    // Saves an edited item list: drops the texts that are exactly "" together with their
    // flags (chkData, "0"/"1" parallel to the texts; a missing flag counts as "0"), saves the
    // kept texts with setTableContent and, where that wrote the file or there is none, stores the kept
    // flags as the list's entry of "zsignData" and the last kept text flagged "1" as its entry
    // of "zcontent" (unchanged when none is). A key outside the 21 changes nothing. Both
    // user-default keys are padded to 7 items of 3 levels first; other entries keep their
    // values. The answer is setTableContent's: false also for a key outside the 21.
    static bool deleteBlankData(const QStringList &texts, const QStringList &chkData, const QString &key);
    // The stored value of a choice key of 7 items x 3 levels ("zsignData", "zcontent"),
    // padded with `blank` where it is absent or another writer left it shorter; never shrunk.
    static QVariantList paddedChoices(const QString &key, const QVariant &blank);

    // ---- Hospital and dentist lists ("HisSetting.xml") -------------------------------------
    // The root holds a group with `name` "hospital" (entries hospital1, hospital2, ...) and
    // one with `name` "doctor" (doctor1, ...).

    // "hospital" and "doctor" -> the names in file order; a key is absent when its group is
    // missing; empty when the file is missing or does not parse.
    static Lists getHospital();
    // Rewrites the type's group ("hospital" or "doctor") with one entry per name and writes
    // the file. The group is the first one whose `name` is the type; when none is, the
    // group at the type's position (first for hospitals, second for dentists) unless that
    // one is named as the other type's group. False when there is no such group, or the file
    // is missing, does not parse, has another root or cannot be written, or when what would be
    // written does not read back with the list as saved and everything else as it was. Another type writes
    // the file unchanged and returns whether that succeeded.
    static bool setHospital(const QStringList &names, const QString &type);

    // ---- Update flag ("CommSetting.xml") --------------------------------------------------
    // True when a child `AutoVersionUp` of the root holds exactly "1".
    static bool getAutoVersionUp();
    // Sets every `AutoVersionUp` child to "1" or "0", appending one when there is none, and
    // writes the file; a missing file is not created. The outcome is not reported.
    static void setAutoVersionUp(bool flag);

    // ---- Result listing --------------------------------------------------------------------
    // One record per result (each element below the root; a comment or processing
    // instruction is none) of "Customer/<chart number>.xml", newest first, each with the
    // patient's name, age and sex word ("男", "女" or "") and the chart number. A patient
    // without results (or whose file does not parse) gives one blank record, or none when
    // isMode0. A missing file, or a chart number that UsbUtils::isSafeChartNumber refuses
    // for a patient file, gives none.
    static QList<OCMCustomerComment> getDatas(const QString &chartNo, bool isMode0);

    // ---- Instance forms --------------------------------------------------------------------
    // getTableDetail and getTotal into dic, getHospital into dicHospital, getDatas into
    // customerComments; each returns the field.
    const Lists &readTableDetail();
    const Lists &readTotal();
    bool writeTableContent(const QStringList &texts, const QString &key);
    bool writeTotal(const QStringList &texts, const QString &key);
    bool writeEditedList(const QStringList &texts, const QStringList &chkData, const QString &key);
    const Lists &readHospital();
    bool writeHospital(const QStringList &names, const QString &type);
    const QList<OCMCustomerComment> &readDatas(const QString &chartNo, bool isMode0);
    // Fills the record from the result element at the index, as the patient-file reader does,
    // and appends a copy of it to customerComments. An index out of range appends the record
    // as it is.
    void findXML(const QList<cvx::XmlElement> &elements, OCMCustomerComment &cust, qsizetype index);

    CVX_MUTABLE_PROPERTY(Lists, dic, setDic);
    CVX_MUTABLE_PROPERTY(Lists, dicHospital, setDicHospital);
    CVX_MUTABLE_PROPERTY(QList<OCMCustomerComment>, customerComments, setCustomerComments);

private:
    struct Replacement {
        QString title;  // null: nothing is replaced
        QString type;
        QStringList texts;
    };
    bool replaceLists(const QList<Replacement> &replacements);
};
