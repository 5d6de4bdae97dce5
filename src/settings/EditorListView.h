#pragma once

#include <QList>
#include <QPlainTextEdit>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class TYDelButton;

// The text of one row: a borderless field that wraps, takes no line breaks (typed or
// pasted) and keeps at most `limit` characters (UTF-16 units), cutting longer text.
class ListTextField : public QPlainTextEdit {
    Q_OBJECT
public:
    ListTextField(int limit, QWidget *parent = nullptr);

    QString stringValue() const { return toPlainText(); }
    void setStringValue(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void cutToLimit();

    int limit_;
};

// The list of a settings editor: one row per text, each a tick box, the text field and a
// delete button, stacked at a fixed pitch. Every reload makes new rows from the lists, so an
// editor takes the typed texts (shownTexts) back into its list before it changes the list.
class EditorListView : public QWidget {
    Q_OBJECT
public:
    // Rows of `rowHeight` points at a pitch of rowHeight + 2, texts of at most `textLimit`.
    EditorListView(int rowHeight, int textLimit, QWidget *parent = nullptr);

    void reloadData(const QStringList &texts, const QStringList &flags);
    int numberOfRows() const { return int(rows_.size()); }
    // The texts as the rows show them now, row by row.
    QStringList shownTexts() const;
    // The list's height for `rows` rows.
    int listHeight(int rows) const { return rows * (rowHeight_ + 2); }

    QCheckBox *checkBox(int row) const;
    ListTextField *textField(int row) const;
    TYDelButton *deleteButton(int row) const;
    QWidget *rowView(int row) const;

signals:
    void checkTapped(int row);
    // A click on the row outside its controls.
    void rowClicked(int row);
    void deleteTapped(int row);
    // The row's text changed through the user.
    void textEdited(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Row {
        QWidget *view;
        QCheckBox *check;
        ListTextField *field;
        TYDelButton *del;
    };
    int rowOf(QObject *sender) const;

    int rowHeight_;
    int textLimit_;
    QList<Row> rows_;
};
