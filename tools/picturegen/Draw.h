#pragma once

#include <QImage>
#include <QList>

#include "Style.h"
#include "platform/PictureCatalog.h"

namespace picturegen {

// Draws one still picture of the catalogue at its declared size.
QImage drawPicture(const cvx::PictureEntry &e, const Typesetter &ts);
// Draws the frames of an animated picture ("frames=" hint, 12 by default).
QList<QImage> drawFrames(const cvx::PictureEntry &e, const Typesetter &ts);

}  // namespace picturegen
