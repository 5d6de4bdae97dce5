#include "settings/EditorListView.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include "shell/entry/FieldRules.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/TYDelButton.h"

namespace {
constexpr int kFieldX = 45;
constexpr int kFieldWidth = 560;
constexpr int kDeleteX = kFieldX + kFieldWidth + 12;
}  // namespace

ListTextField::ListTextField(int limit, QWidget *parent) : QPlainTextEdit(parent), limit_(limit) {
    setFrameShape(QFrame::NoFrame);
    setFont(kit::appFont(15));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);
    document()->setDocumentMargin(8);
    setStyleSheet(QStringLiteral("QPlainTextEdit { background: white; color: #1f2d35; }"));
    connect(this, &QPlainTextEdit::textChanged, this, &ListTextField::cutToLimit);
}

void ListTextField::setStringValue(const QString &text) {
    const QSignalBlocker blocker(this);
    setPlainText(text);
}

void ListTextField::keyPressEvent(QKeyEvent *event) {
    // One line of text per entry: the settings files and the sheet have no line breaks.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return event->ignore();
    QPlainTextEdit::keyPressEvent(event);
}

void ListTextField::insertFromMimeData(const QMimeData *source) {
    QString text = source->text();
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    insertPlainText(text);
}

void ListTextField::cutToLimit() {
    const QString text = toPlainText();
    if (text.size() <= limit_) return;
    const QSignalBlocker blocker(this);
    setPlainText(entry::cutToLength(text, limit_));
    moveCursor(QTextCursor::End);
}

EditorListView::EditorListView(int rowHeight, int textLimit, QWidget *parent)
    : QWidget(parent), rowHeight_(rowHeight), textLimit_(textLimit) {}

void EditorListView::reloadData(const QStringList &texts, const QStringList &flags) {
    // The old rows may be inside one of their own handlers right now.
    for (const Row &row : rows_) {
        row.view->hide();
        row.view->deleteLater();
    }
    rows_.clear();
    for (qsizetype r = 0; r < texts.size(); ++r) {
        Row row;
        row.view = new QWidget(this);
        row.view->setGeometry(0, int(r) * (rowHeight_ + 2), width(), rowHeight_);
        row.view->setObjectName(QStringLiteral("listRow"));
        row.view->setAttribute(Qt::WA_StyledBackground);
        row.view->setStyleSheet(
            QStringLiteral("QWidget#listRow { background: white; border-bottom: 1px solid #d6e2e6; }"));
        row.view->installEventFilter(this);

        row.check = new QCheckBox(row.view);
        row.check->setGeometry(10, (rowHeight_ - 20) / 2, 20, 20);
        row.check->setChecked(r < flags.size() && flags.at(r) == QLatin1String("1"));
        connect(row.check, &QCheckBox::clicked, this, [this, check = row.check] {
            if (const int at = rowOf(check); at >= 0) emit checkTapped(at);
        });

        row.field = new ListTextField(textLimit_, row.view);
        row.field->setGeometry(kFieldX, 5, kFieldWidth, rowHeight_ - 10);
        row.field->setProperty("tag", int(1000 + r));
        row.field->setStringValue(texts.at(r));
        connect(row.field, &QPlainTextEdit::textChanged, this, [this, field = row.field] {
            if (const int at = rowOf(field); at >= 0) emit textEdited(at);
        });

        row.del = new TYDelButton(QRect(kDeleteX, (rowHeight_ - 40) / 2, 30, 40), row.view);
        connect(row.del, &QAbstractButton::clicked, this, [this, del = row.del] {
            if (const int at = rowOf(del); at >= 0) emit deleteTapped(at);
        });
        row.view->show();
        rows_.append(row);
    }
}

QStringList EditorListView::shownTexts() const {
    QStringList texts;
    for (const Row &row : rows_) texts.append(row.field->stringValue());
    return texts;
}

QCheckBox *EditorListView::checkBox(int row) const {
    return row >= 0 && row < rows_.size() ? rows_.at(row).check : nullptr;
}

ListTextField *EditorListView::textField(int row) const {
    return row >= 0 && row < rows_.size() ? rows_.at(row).field : nullptr;
}

TYDelButton *EditorListView::deleteButton(int row) const {
    return row >= 0 && row < rows_.size() ? rows_.at(row).del : nullptr;
}

QWidget *EditorListView::rowView(int row) const {
    return row >= 0 && row < rows_.size() ? rows_.at(row).view : nullptr;
}

int EditorListView::rowOf(QObject *sender) const {
    for (qsizetype r = 0; r < rows_.size(); ++r) {
        const Row &row = rows_.at(r);
        if (sender == row.view || sender == row.check || sender == row.field || sender == row.del)
            return int(r);
    }
    return -1;
}

bool EditorListView::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (const int at = rowOf(watched); at >= 0) {
            emit rowClicked(at);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
