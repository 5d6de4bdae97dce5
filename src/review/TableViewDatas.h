#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

#include "platform/XmlDocument.h"

// The comment choices of the result screen: for the shown measurement, each item's stock
// comments of the level it reached with the tick of the chosen row, and the overall comments
// with theirs; the saving of edited lists to "Comment.xml" with the defaults kept in the user
// defaults; and the writing of the chosen values into the patient file.
//
// Lists are numbered 1..7 for the items MS, pH, BFC, BLD, LEU, ALB, NH3 and 8 for the overall
// comments. Every tick list holds "1" (ticked) or "0" per row and is kept as long as its list.
// Main thread, except the item-list saves, which run one after another on a queue of their
// own.
class TableViewDatas {
public:
    // The pull-down table as the model sees it; the screen adapts its own widgets.
    class Table {
    public:
        virtual ~Table() = default;
        virtual int rowCount() const = 0;
        // The text of the row's "conCell" view, created if needed; nothing when the row has no
        // view.
        virtual std::optional<QString> rowText(int row) = 0;
        virtual void reloadData() = 0;
        virtual void setAddButtonHidden(bool hidden) = 0;
    };

    static constexpr int kItemCount = 7;
    static constexpr int kTotalList = 8;
    // The add button keeps a list at this many rows (a stored list may hold more).
    static constexpr int kMaxRows = 10;

    // Loads the 21 stock-comment lists from "Comment.xml" (empty when it is missing).
    TableViewDatas();

    // Level 0..2 of an item's level word: 0 for "多め"/"高め"/"強め" (per item), 2 for
    // "少なめ"/"低め"/"弱め", 1 for any other word. Item n 1..7.
    static int levelOfWord(int n, const QString &word);
    // The "Comment.xml" key of item n's level ("ms0", ..., BFC reversed: level 0 is "bfc2").
    static QString keyOf(int n, int level);

    // The loaded list of item n (1..7) under the key ending in keyDigit (0..2): data1a is
    // storedList(1, 0), data3c (BFC's level 0) storedList(3, 2). Empty outside those ranges.
    const QStringList &storedList(int n, int keyDigit) const;
    // The shown list and its ticks; a number outside 1..8 reads list 1.
    const QStringList &data(int n) const;
    const QStringList &ck(int n) const;
    // Replaces the overall list by the table's texts; its ticks follow its length.
    void setData8(const QStringList &texts);
    // 1 when the last scan of the table met a row without text.
    int ifBlank() const { return ifBlank_; }

    // Shows, for each item, its stored list of the level of words[i] (item order) with the
    // default flags of "zsignData" as ticks.
    void getNineDadas(const QStringList &words);
    // Ticks every row equal to texts[i] (item order; a missing text counts as ""), then adds
    // an empty typing row to each list of fewer than kMaxRows rows.
    void getCK(const QStringList &texts);
    // Loads the overall list from "Comment.xml", nothing ticked.
    void getTotal();
    // Ticks the overall rows equal to the text and adds the typing row.
    void getTOCK(const QString &total);

    // A click on a row of list `sele` (1..8): a row with stored text becomes the only ticked
    // one; an empty row is unticked alone. Then the table's texts are taken over (update).
    void checkSele(int row, int sele, Table &table);
    // Takes over the texts typed into the table and shows the add button only while every row
    // has text and the list has fewer than kMaxRows rows.
    void update(int sele, Table &table);
    // Appends an empty, unticked row, reloads the table and takes it over.
    void addRow(int sele, Table &table);
    // Replaces list[index] by the text when there is one (a row with a view) and the index is
    // in the list.
    static void array(QStringList &list, qint64 index, const std::optional<QString> &text);
    // The text of the last ticked row of item list 1..7; "" when none is ticked or for any
    // other number.
    QString getDataSeleRow(int sele) const;

    // Queues the save of item list `seleCout` (1..7) under the key it was loaded from by
    // getNineDadas: every non-empty row, in order, becomes the list in "Comment.xml" (empty
    // when none), the stored default flags of that list (not the screen's ticks) stay with
    // their rows with "0" for new rows, and "zcontent" takes the text of the last flagged row
    // (unchanged when none). Returns at once; a list that was never shown is not saved.
    void setAllTableXML(int seleCout);
    // Saves the overall list the same way, at once: nothing when no row has text; otherwise
    // the list and, once it is written, "ztotAry" and "ztotal" (see saveCKAryAndData).
    void setTotals();
    // "ztotAry" = flags; "ztotal" = the text of the last row flagged "1", or "" when no flag is
    // "1" (a flag beyond the texts names no text and leaves "ztotal" as it is).
    static void saveCKAryAndData(const QStringList &flags, const QStringList &texts);
    // "hos1" ("hos2") = "1" for each name equal to the chosen one, else "0";
    // "zhospital" ("zdoctor") = the chosen name.
    static void setHospitalFromData(const QStringList &names, const QString &chosen);
    static void setDoctorFromData(const QStringList &names, const QString &chosen);
    // Returns once every queued save has finished.
    static void waitForSaves();

    // ---- The patient file (TableViewDatas_PatientFile.cpp) --------------------------------
    // Each writer puts the text into the child of every result element whose "date time"
    // equals dateStr: Hospital, Doctor, TotalComment, or Content<k> of item k (1..7). The child
    // is the one at its place in the stored layout, or else the first of its name, or else a
    // new one inserted at that place; other children keep their order. The file at `path` is
    // read again and changed, so that what others wrote since the screen read it stays; it is
    // then written atomically and becomes `document`. A missing file is written from
    // `document`. False, with nothing written and `document` unchanged, for a path that is
    // not a patient file as UsbUtils::getXmlPath names it, a file that cannot be read, no
    // matching result, an item outside 1..7, or a failed write; *writeFailed tells the last.
    static bool setHospitalXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                               const QString &dateStr, const QString &path, bool *writeFailed = nullptr);
    static bool setDoctorXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                             const QString &dateStr, const QString &path, bool *writeFailed = nullptr);
    static bool setTotalXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                            const QString &dateStr, const QString &path);
    static bool setTabelXML(std::optional<cvx::XmlDocument> &document, const QString &text,
                            const QString &dateStr, const QString &path, int seleCount);
    // The patient file of the chart number (UsbUtils::getCustomerXml): nothing when it is
    // missing, unreadable or the chart number is refused.
    static std::optional<cvx::XmlDocument> bbgetXMLZ(const QString &chartNo);

private:
    QStringList &shown(int n);
    QStringList &ticks(int n);
    // Pads with "0" or cuts the ticks of list n to its length.
    void matchTicks(int n);
    void scan(int n, Table &table);

    // [item][level]
    std::array<std::array<QStringList, 3>, kItemCount> stored_;
    // Level of the stored list each item shows; -1 before getNineDadas.
    std::array<int, kItemCount> shownLevel_{-1, -1, -1, -1, -1, -1, -1};
    // The shown lists while not bound to a stored one, and the overall list (index 7).
    std::array<QStringList, kTotalList> own_;
    std::array<QStringList, kTotalList> ck_;
    int ifBlank_ = 0;
};
