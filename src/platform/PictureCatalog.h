#pragma once

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

namespace cvx {

// One row of the picture catalogue (resources/pictures/pictures.tsv). The drawing tool and
// the run-time lookup read the same rows, so a picture's name, file and size have one source.
struct PictureEntry {
    QString name;       // as the program asks for it, NFC
    QString file;       // ASCII file name under ":/pictures/"
    QSize size;         // pixels
    QString kind;       // message, panel, button-normal, ..., animation, ...
    QStringList style;  // drawing hints, e.g. "round", "icon=home", "step=2"
    QString text;       // the words on the picture, with real line breaks

    bool hasStyle(const QString &token) const { return style.contains(token); }
    // Value of a "key=value" hint; null when absent.
    QString styleValue(const QString &key) const;
};

struct PictureCatalogue {
    QList<PictureEntry> entries;
    QStringList errors;  // one line per rejected row, with its line number
};

// Kinds the catalogue may use.
const QStringList &pictureKinds();

// Parses the UTF-8 catalogue text. Rows with errors are left out and reported; duplicate
// names (after NFC) and duplicate files are errors too.
PictureCatalogue parsePictureCatalogue(const QByteArray &utf8);

}  // namespace cvx
