#pragma once

#include <QString>
#include <QStringList>

// Posted (no object) by a work window as it closes; the main menu restarts its clock on each.
namespace shell {

inline const QString kBackMainMenuObject = QStringLiteral("BackMainMenuObject");
inline const QString kBackMainMenuObjectFromOutput = QStringLiteral("BackMainMenuObjectFromOutput");
inline const QString kBackMainMenuObjectFromResult = QStringLiteral("BackMainMenuObjectFromResult");
inline const QString kBackMainMenuObjectFromSet = QStringLiteral("BackMainMenuObjectFromSet");
inline const QString kBackMainMenuObjectFromHospSet = QStringLiteral("BackMainMenuObjectFromHospSet");
inline const QString kBackMainMenuObjectFromLinkSet = QStringLiteral("BackMainMenuObjectFromLinkSet");
inline const QString kBackMainMenuObjectFromResultpSet = QStringLiteral("BackMainMenuObjectFromResultpSet");
inline const QString kBackSetMenuObjectFromOperation = QStringLiteral("BackSetMenuObjectFromOperation");
inline const QString kBackSetMenuObjectFromOptDetail = QStringLiteral("BackSetMenuObjectFromOptDetail");
inline const QString kBackMainMenuFromTotal = QStringLiteral("BackMainMenuFromTotal");

// Those the main menu listens to, in the order it registers them.
inline QStringList mainMenuBackNotifications() {
    return {kBackMainMenuObject,
            kBackMainMenuObjectFromOutput,
            kBackMainMenuObjectFromResult,
            kBackMainMenuObjectFromSet,
            kBackMainMenuObjectFromHospSet,
            kBackMainMenuObjectFromLinkSet,
            kBackMainMenuObjectFromResultpSet,
            kBackSetMenuObjectFromOperation,
            kBackSetMenuObjectFromOptDetail,
            kBackMainMenuFromTotal};
}

}  // namespace shell
