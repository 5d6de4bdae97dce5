#pragma once

#include <QPixmap>
#include <QString>

namespace kit {

// The bundle picture of that name (message codes, button states, screens); a null pixmap
// when the bundle has none. Every picture the kit shows comes through here.
QPixmap picture(const QString &name);
// File or resource path of the named picture, for readers that need the file itself
// (the animated picture's frames); empty when the bundle has none.
QString picturePath(const QString &name);

}  // namespace kit
