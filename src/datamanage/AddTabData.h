#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Merges the lists of an imported "Comment.xml" or "HisSetting.xml" (as the export writes them)
// into the local settings files, and carries the ticks into the user defaults: an entry marked
// with the attribute `select` becomes the ticked entry; without a mark the local tick stays on
// its entry. Imported texts that the local list lacks (exact comparison) are appended in their
// order; local entries keep their places and nothing is removed.
//
// Runs on the import's worker thread. Each merge returns false only when a local file that
// exists could not be written; a missing local file leaves its lists and ticks as they are.
class AddTabData {
public:
    // What a reader found in an imported file: list key -> texts, and list key -> the text of
    // its last entry carrying `select` (of any value). A key is absent when the file lacks the
    // list; `exists` is false when there is no file at the path.
    struct Imported {
        QMap<QString, QStringList> lists;
        QMap<QString, QString> select;
        bool exists = false;
    };

    // The 21 stock-comment lists ("ms0" .. "nh32"), with their ticks in "zsignData" and the
    // ticked texts in "zcontent".
    static bool addTabDataFromPath(const QString &path);
    // The overall comments ("ztotAry", "ztotal").
    static bool addTotalDataFromPath(const QString &path);
    // The hospital list ("hos1", "zhospital"), then the dentist list ("hos2", "zdoctor").
    static bool addHisDataFromPath(const QString &path);

    // Readers of the imported files. An entry counts only where its name is the list's prefix
    // and its position from 1 ("data1", "hospital2", ...).
    static Imported getTableDetail(const QString &path);
    static Imported getTotal(const QString &path);
    static Imported getHospital(const QString &path);

    // The local list followed by the imported texts it lacks.
    static QStringList merged(const QStringList &local, const QStringList &imported);

    // Ticks of a stock-comment list (item 0..6, level 0 high .. 2 low) after its merge: the
    // imported choice when the merged list holds it (its text also into "zcontent" when not
    // empty), else the earlier tick's position; nothing changes without either.
    static void updateSelectItem(const QStringList &list, const QMap<QString, QString> &selectDic,
                                 const QString &nodeName, int nodeIndex, int currentIndex);
    // The same for the overall comments ("total" / "ztotAry" -> "ztotal") and the hospital
    // and dentist lists ("hospital" / "hos1" -> "zhospital", "doctor" / "hos2" -> "zdoctor").
    static void updateListSelectItem(const QStringList &list, const QMap<QString, QString> &selectDic,
                                     const QString &nodeName, const QString &saveKey);
};
