#pragma once

#include <QPointer>

#include <functional>
#include <memory>

#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class LinkSetController;
class QLabel;
class ResultSetController;
class SettingHospitalController;
namespace Ui {
class SettingMainController;
}

// The settings menu, opened from the main menu: its buttons open the hospital and dentist
// editor, the stock-comment editor, the overall-comment editor and the maintenance screen,
// one at a time, hiding the menu meanwhile. Each of them goes back to the menu or, by its
// Back button, to the main menu (rootWind), leaving the menu hidden.
//
// Opened by the main menu: `con = new SettingMainController; con->window(); con->setRootWind(menu);
// con->window()->setLastWindow(menu); con->showWindow();`. Closing posts "BackMainMenuObjectFromSet".
class SettingMainController : public TYWindowController {
    Q_OBJECT
public:
    // Makes the maintenance screen's controller, given the menu's window as the window it goes
    // back to; the menu sets the screen's window's lastWindow to rootWind and shows it. The
    // screen posts "BackSetMenuObjectFromPutPutPW" when it closes. Until one is installed the
    // maintenance button is disabled and says so.
    using MaintenanceFactory = std::function<TYWindowController *(TYWindow *settingsMenuWindow)>;
    static void setMaintenanceFactory(MaintenanceFactory factory);

    explicit SettingMainController(QObject *parent = nullptr);
    ~SettingMainController() override;

    // The main window; set by the main menu once the window is loaded.
    TYWindow *rootWind() const { return rootWind_; }
    void setRootWind(TYWindow *window) { rootWind_ = window; }
    // The menu's own window.
    TYWindow *mainWindow() { return window(); }

    // The window opened last from each button (null before).
    SettingHospitalController *settingHospitalCon() const;
    ResultSetController *resultSetCon() const;
    LinkSetController *linkSetCon() const;
    TYWindowController *outputPWCon() const { return outputPWCon_; }

    BBTime *zbbtime() const;
    CustomButton *backButton() const;
    CustomButton *hospitalButton() const;
    CustomButton *resultSetButton() const;
    CustomButton *linkSetButton() const;
    CustomButton *bsButton() const;
    QLabel *maintenanceNote() const;

    // Restarts the clock (when a window opened from the menu comes back to it).
    void mytest();
    void hospitalTap();
    void resultSetTap();
    void linkSetTap();
    void BSTap();
    // Back to the main menu.
    void backTap();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObjectFromSet" and brings lastWindow back.
    void windowWillClose() override;

private:
    template <typename Controller>
    void open(QPointer<Controller> &slot, Controller *controller, CustomButton *sender);
    void showMaintenanceAvailability();

    std::unique_ptr<Ui::SettingMainController> ui_;
    QPointer<TYWindow> rootWind_;
    QPointer<SettingHospitalController> settingHospitalCon_;
    QPointer<ResultSetController> resultSetCon_;
    QPointer<LinkSetController> linkSetCon_;
    QPointer<TYWindowController> outputPWCon_;
};
