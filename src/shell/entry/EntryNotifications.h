#pragma once

#include <QString>

// Notification between the measuring window and the patient-entry window.
namespace entry {

// No object: the measuring window closed; the patient-entry window starts its clock again.
inline const QString kBackOprationFromTest = QStringLiteral("BackOprationFromTest");

}  // namespace entry
