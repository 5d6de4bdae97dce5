#include "shell/kit/KitFont.h"

#include <QApplication>
#include <QFontDatabase>

namespace kit {

namespace {
const char *const kFontFile = "/usr/share/fonts/opentype/ipaexfont-gothic/ipaexg.ttf";
const char *const kFontFamily = "IPAexGothic";
}  // namespace

QString appFontFamily() {
    // Loaded explicitly: without a Japanese face Qt draws empty boxes and says nothing.
    static const QString family = [] {
        int id = QFontDatabase::addApplicationFont(QString::fromLatin1(kFontFile));
        QStringList families = id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
        return families.isEmpty() ? QString::fromLatin1(kFontFamily) : families.first();
    }();
    return family;
}

QFont appFont(qreal pixelSize) {
    QFont font(appFontFamily());
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    return font;
}

void installAppFont() {
    QApplication::setFont(appFont());
}

}  // namespace kit
