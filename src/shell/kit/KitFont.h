#pragma once

#include <QFont>
#include <QString>

namespace kit {

// The Japanese face every screen uses. Sizes are in pixels, the unit the window layouts
// are measured in (a 960 x 720 window is 960 x 720 pixels).
QString appFontFamily();
QFont appFont(qreal pixelSize = 13);
// Makes the face the application's default font; call once after QApplication exists.
void installAppFont();

}  // namespace kit
