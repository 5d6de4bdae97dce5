#pragma once

#include <QString>

// Posted (no object) by the maintenance screen as it closes; the settings menu restarts its
// clock on it. The settings layer declares the same name for its own listeners.
namespace maintenance {

inline const QString kBackSetMenuObjectFromPutPutPW = QStringLiteral("BackSetMenuObjectFromPutPutPW");

}  // namespace maintenance
