#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include <optional>

#include "platform/PictureCatalog.h"

namespace cvx {

// The bundle's pictures, looked up by the name the program asks for: message codes ("W301"),
// named messages ("update_success"), panels, button states ("ボタン_OK_ON"), state pictures,
// backgrounds. Names are compared after NFC normalisation, since the same name arrives both
// composed and decomposed. A name with the extension of its file ("..._測定中.gif") also
// finds it. The catalogue is the bundle's ":/pictures/pictures.tsv".
class Pictures {
public:
    // ":/pictures/<file>" of the named picture; null when the bundle has no such picture.
    static QString pathFor(const QString &name);
    // The catalogue row of the named picture.
    static std::optional<PictureEntry> entry(const QString &name);
    // The picture itself (the first frame of an animation); null when unknown. image() may be
    // called from any thread, pixmap() only from the GUI thread.
    static QImage image(const QString &name);
    static QPixmap pixmap(const QString &name);
    // Whether the named picture is an animated picture (read its frames through pathFor()).
    static bool isAnimated(const QString &name);
    // Every name of the catalogue, in catalogue order.
    static QStringList names();
    // Problems found in the bundle's catalogue (empty when it is sound).
    static QStringList catalogueErrors();

    static QString cataloguePath() { return QStringLiteral(":/pictures/pictures.tsv"); }
};

}  // namespace cvx
