#pragma once

#include <QString>

namespace kit {

// Posted (no object) when the OK of a message view is pressed, before the view goes.
inline const QString kErrorOKClicked = QStringLiteral("errorOKClicked");

}  // namespace kit
