#include "shell/kit/KitPictures.h"

#include "platform/Pictures.h"

namespace kit {

QPixmap picture(const QString &name) {
    return name.isEmpty() ? QPixmap() : cvx::Pictures::pixmap(name);
}

QString picturePath(const QString &name) {
    return name.isEmpty() ? QString() : cvx::Pictures::pathFor(name);
}

}  // namespace kit
