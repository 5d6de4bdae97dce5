#pragma once

#include <QString>
#include <QStringList>

#include <array>

// The stock-comment editor's lists: for each of the seven items (1 MS, 2 pH, 3 BFC, 4 BLD,
// 5 LEU, 6 ALB, 7 NH3) its three level tables (1, 2, 3) of texts with a tick flag per text.
// Table k of an item shows the list key prefix + (k - 1), so BFC's first table is "bfc0",
// its low ("弱め") list, while every other item's first table is its high list.
//
// The texts are read once from "Comment.xml"; the editor writes the changed lists at OK. The
// ticks go to the user defaults "zsignData" and "zcontent" as soon as they are made, in the
// item's entry and the table's level slot there (high, average, low; BFC's tables 1 and 3
// are slots 2 and 0). No views: the editor hands in the texts its tables show.
class ResultInitOne {
public:
    using Shown = std::array<QStringList, 3>;

    // Reads the 21 lists; a list that the file lacks is empty. No flags yet (afterSetting).
    ResultInitOne();

    static bool isItem(int item) { return item >= 1 && item <= 7; }
    static bool isTable(int table) { return table >= 1 && table <= 3; }
    // "ms0" .. "nh32"; null outside the items and tables.
    static QString keyOf(int item, int table);
    // The table's level slot in "zsignData" and "zcontent"; -1 outside.
    static int slotOf(int item, int table);

    // The list and its flags; outside the items and tables a scratch list that nothing reads.
    QStringList &data(int item, int table);
    QStringList &dataCHK(int item, int table);
    const QStringList &data(int item, int table) const;
    const QStringList &dataCHK(int item, int table) const;

    // Leaving an item (and at OK): takes in the shown texts of its three tables, writes its
    // flags to "zsignData" and the last ticked text of each table ("" when none) to "zcontent".
    // A tick beyond the last text gives the last text in pH's and BFC's tables 1 and 3, and
    // nothing in the other lists.
    void beforeSetting(int item, const Shown &shown);
    // Showing an item: its flags from "zsignData" as stored, whatever their length.
    void afterSetting(int item);
    // A tick: the row becomes the only ticked one of its table (a row beyond the flags leaves
    // none ticked); takes in the table's shown texts and records the flags and the row's text
    // at once.
    void selectRow(int table, int item, int row, const QStringList &shown);
    // Takes in the table's shown texts and appends a blank row, ticked when the list was empty.
    void addRow(int table, int item, const QStringList &shown);
    // Takes in the table's shown texts.
    void saveRows(int table, int item, const QStringList &shown);
    // Removes the row's text and flag; nothing is written.
    void deleRow(int table, int item, int row);

    // 1 when the list holds 10 or more texts (its add button hides), else 0.
    int setHiddFromAry(int table, int item) const;
    // The list's height in points, 62 per text; 0 for an empty list or outside.
    double setMinHei(int table, int item) const;

private:
    // Replaces the item's slots in "zsignData" and "zcontent" by the given tables' flags and
    // ticked texts; the key's other entries keep their values.
    void writeChoices(int item, const QList<int> &tables, bool keepUntickedText);
    QString tickedText(int item, int table) const;

    std::array<std::array<QStringList, 3>, 7> texts_;
    std::array<std::array<QStringList, 3>, 7> flags_;
    QStringList scratch_;
};
