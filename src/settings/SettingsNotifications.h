#pragma once

#include <QString>

// Posted (no object) by the settings editors and the maintenance screen as they close towards
// the settings menu, which restarts its clock on each. Their ways back to the main menu post
// the main menu's notifications (shell/BackNotifications.h).
namespace settings {

inline const QString kBackSetMenuObjectFromHospSet = QStringLiteral("BackSetMenuObjectFromHospSet");
inline const QString kBackSetMenuObjectFromResultpSet = QStringLiteral("BackSetMenuObjectFromResultpSet");
inline const QString kBackSetMenuObjectFromLinkSet = QStringLiteral("BackSetMenuObjectFromLinkSet");
inline const QString kBackSetMenuObjectFromPutPutPW = QStringLiteral("BackSetMenuObjectFromPutPutPW");

}  // namespace settings
