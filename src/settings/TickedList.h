#pragma once

#include <QString>
#include <QStringList>

// One editable list of texts with a tick flag ("1" ticked, "0" not) per text, as the hospital,
// dentist and overall-comment editors hold it until OK.
class TickedList {
public:
    TickedList() = default;
    // Stored flags are made parallel to the texts: a missing flag counts as "0", flags beyond
    // the last text are dropped.
    TickedList(QStringList texts, const QStringList &flags);

    const QStringList &texts() const { return texts_; }
    const QStringList &flags() const { return flags_; }
    qsizetype count() const { return texts_.size(); }

    // Flags as many as `count`, missing ones "0".
    static QStringList parallelFlags(QStringList flags, qsizetype count);

    // The texts as the rows show them now; rows beyond the list are ignored.
    void takeIn(const QStringList &shown);
    // The check box: a ticked row loses its tick, any other row becomes the only ticked one.
    void toggle(int row);
    // A click on the row: it becomes the only ticked one.
    void select(int row);
    // A blank row at the end, ticked when it is the only one.
    void append();
    void remove(int row);

    // What OK stores: the texts that are not "" with their flags, and the last kept text
    // that is ticked ("" when none is).
    struct Kept {
        QStringList texts;
        QStringList flags;
        QString ticked;
    };
    Kept kept() const;

private:
    bool isRow(int row) const { return row >= 0 && row < texts_.size(); }

    QStringList texts_;
    QStringList flags_;
};
