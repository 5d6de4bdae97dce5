#pragma once

// Whether the labels of a screen show their whole texts at the fonts the program gives them.
#include <QFontMetrics>
#include <QLabel>
#include <QStringList>
#include <QTextDocument>
#include <QWidget>

namespace cvxtest {

// Every label shown under `root` whose text needs more room than the label has, as
// "objectName: text". A plain one-line label is measured with QFontMetrics of its font; a label
// that wraps or shows rich text by the height it needs at its width.
inline QStringList clippedLabels(const QWidget *root) {
    QStringList clipped;
    for (const QLabel *label : root->findChildren<QLabel *>()) {
        const QString text = label->text();
        if (text.isEmpty() || !label->isVisibleTo(root)) continue;
        const bool rich = label->textFormat() == Qt::RichText ||
                          (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                          -label->margin());
        bool fits;
        if (label->wordWrap()) {
            fits = label->heightForWidth(label->width()) <= label->height();
        } else if (rich) {
            QTextDocument document;
            document.setDefaultFont(label->font());
            document.setDocumentMargin(0);
            document.setHtml(text);
            fits = document.idealWidth() <= room.width() + 0.5 &&
                   document.size().height() <= room.height() + 0.5;
        } else {
            const QSize need = QFontMetrics(label->font()).size(Qt::TextExpandTabs, text);
            fits = need.width() <= room.width() && need.height() <= room.height();
        }
        if (!fits) clipped << label->objectName() + QStringLiteral(": ") + text;
    }
    return clipped;
}

}  // namespace cvxtest
