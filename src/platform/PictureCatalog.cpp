#include "platform/PictureCatalog.h"

#include <QSet>

namespace cvx {

namespace {

bool isPlainFileName(const QString &file) {
    if (file.isEmpty() || file.startsWith(QLatin1Char('.'))) return false;
    for (QChar c : file) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                        u == '_' || u == '-' || u == '.';
        if (!ok) return false;
    }
    return true;
}

QString unescapeText(const QString &raw) {
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size()) {
            const QChar next = raw[i + 1];
            if (next == QLatin1Char('n')) {
                out += QLatin1Char('\n');
                ++i;
                continue;
            }
            if (next == QLatin1Char('\\')) {
                out += QLatin1Char('\\');
                ++i;
                continue;
            }
        }
        out += raw[i];
    }
    return out;
}

}  // namespace

QString PictureEntry::styleValue(const QString &key) const {
    const QString prefix = key + QLatin1Char('=');
    for (const QString &token : style)
        if (token.startsWith(prefix)) return token.mid(prefix.size());
    return QString();
}

const QStringList &pictureKinds() {
    static const QStringList kinds{
        QStringLiteral("message"),      QStringLiteral("panel"),          QStringLiteral("button-normal"),
        QStringLiteral("button-hover"), QStringLiteral("button-pressed"), QStringLiteral("button-off"),
        QStringLiteral("state"),        QStringLiteral("animation"),      QStringLiteral("progress"),
        QStringLiteral("background"),   QStringLiteral("chart"),          QStringLiteral("page"),
    };
    return kinds;
}

PictureCatalogue parsePictureCatalogue(const QByteArray &utf8) {
    PictureCatalogue result;
    QSet<QString> names;
    QSet<QString> files;
    const QStringList lines = QString::fromUtf8(utf8).split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const auto fail = [&](const QString &why) {
            result.errors << QStringLiteral("line %1: %2").arg(i + 1).arg(why);
        };
        const QStringList cols = line.split(QLatin1Char('\t'));
        if (cols.size() != 7) {
            fail(QStringLiteral("expected 7 tab-separated columns, found %1").arg(cols.size()));
            continue;
        }
        PictureEntry e;
        e.name = cols[0].normalized(QString::NormalizationForm_C);
        e.file = cols[1];
        bool okW = false, okH = false;
        e.size = QSize(cols[2].toInt(&okW), cols[3].toInt(&okH));
        e.kind = cols[4];
        e.style = cols[5].split(QLatin1Char(','), Qt::SkipEmptyParts);
        e.text = unescapeText(cols[6]);
        if (e.name.isEmpty()) {
            fail(QStringLiteral("empty name"));
        } else if (!isPlainFileName(e.file)) {
            fail(QStringLiteral("file name \"%1\" is not a plain ASCII name").arg(e.file));
        } else if (!okW || !okH || e.size.width() <= 0 || e.size.height() <= 0) {
            fail(QStringLiteral("bad size for \"%1\"").arg(e.name));
        } else if (!pictureKinds().contains(e.kind)) {
            fail(QStringLiteral("unknown kind \"%1\"").arg(e.kind));
        } else if (names.contains(e.name)) {
            fail(QStringLiteral("duplicate name \"%1\"").arg(e.name));
        } else if (files.contains(e.file)) {
            fail(QStringLiteral("duplicate file \"%1\"").arg(e.file));
        } else {
            names.insert(e.name);
            files.insert(e.file);
            result.entries << e;
        }
    }
    return result;
}

}  // namespace cvx
