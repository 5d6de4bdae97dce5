#include "platform/Pictures.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPixmapCache>

namespace cvx {

namespace {

struct Index {
    PictureCatalogue catalogue;
    QHash<QString, qsizetype> byName;
};

const Index &index() {
    static const Index idx = [] {
        Index i;
        QFile f(Pictures::cataloguePath());
        if (!f.open(QIODevice::ReadOnly)) {
            i.catalogue.errors << QStringLiteral("cannot open %1").arg(Pictures::cataloguePath());
            return i;
        }
        i.catalogue = parsePictureCatalogue(f.readAll());
        for (qsizetype n = 0; n < i.catalogue.entries.size(); ++n)
            i.byName.insert(i.catalogue.entries[n].name, n);
        return i;
    }();
    return idx;
}

const PictureEntry *find(const QString &name) {
    if (name.isEmpty()) return nullptr;
    const Index &idx = index();
    const QString key = name.normalized(QString::NormalizationForm_C);
    auto it = idx.byName.constFind(key);
    if (it != idx.byName.constEnd()) return &idx.catalogue.entries[*it];
    // "name.gif" finds the picture "name" when its file is a GIF, as a named-image lookup does.
    const qsizetype dot = key.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0) return nullptr;
    it = idx.byName.constFind(key.left(dot));
    if (it == idx.byName.constEnd()) return nullptr;
    const PictureEntry &e = idx.catalogue.entries[*it];
    const QString suffix = key.mid(dot + 1);
    return QFileInfo(e.file).suffix().compare(suffix, Qt::CaseInsensitive) == 0 ? &e : nullptr;
}

}  // namespace

QString Pictures::pathFor(const QString &name) {
    const PictureEntry *e = find(name);
    return e ? QStringLiteral(":/pictures/") + e->file : QString();
}

std::optional<PictureEntry> Pictures::entry(const QString &name) {
    const PictureEntry *e = find(name);
    return e ? std::optional<PictureEntry>(*e) : std::nullopt;
}

QImage Pictures::image(const QString &name) {
    const QString path = pathFor(name);
    return path.isNull() ? QImage() : QImage(path);
}

QPixmap Pictures::pixmap(const QString &name) {
    const QString path = pathFor(name);
    if (path.isNull()) return QPixmap();
    QPixmap pm;
    if (!QPixmapCache::find(path, &pm)) {
        pm = QPixmap(path);
        if (!pm.isNull()) QPixmapCache::insert(path, pm);
    }
    return pm;
}

bool Pictures::isAnimated(const QString &name) {
    const PictureEntry *e = find(name);
    return e && e->kind == QLatin1String("animation");
}

QStringList Pictures::names() {
    QStringList out;
    for (const PictureEntry &e : index().catalogue.entries) out << e.name;
    return out;
}

QStringList Pictures::catalogueErrors() {
    return index().catalogue.errors;
}

}  // namespace cvx
