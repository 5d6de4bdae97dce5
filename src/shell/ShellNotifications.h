#pragma once

#include <QString>

// Notifications of the application shell.
namespace shell {

// No object: whether the firmware versions agree (AppDelegate::isTest) may have changed; the
// patient-entry window updates its OK button.
inline const QString kChangeOkButtonStatus = QStringLiteral("changeOkButtonStatus");

}  // namespace shell
