#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
namespace kit {
class PictureView;
}
namespace Ui {
class MainMenuObject;
}

// The main menu: the application's main window (the first work window made) with the four
// buttons that open the work windows one at a time, minimise, and the quit panel.
//
// The work windows live in libraries above the shell, so the application hands the menu one
// factory per window. A factory makes the controller (the menu takes it over) and sets on it
// what it needs of the main window (the result review's mWindow, the settings menu's
// rootWind); the menu then sets lastWindow, shows the new window and hides itself.
class MainMenuObject : public QObject {
    Q_OBJECT
public:
    using WindowFactory = std::function<TYWindowController *(TYWindow *mainWindow)>;

    // Makes the main window, laid out with the quit panel hidden and centred on the screen,
    // not yet shown. Make the menu before any other work window: the others take their place
    // from the first window.
    explicit MainMenuObject(QObject *parent = nullptr);
    ~MainMenuObject() override;

    TYWindow *mainWindow() const;
    BBTime *zbbtime() const;
    // The menu's buttons: patient entry, result review, data management, settings,
    // minimise, quit.
    CustomButton *testBtn() const;
    CustomButton *outputBtn() const;
    CustomButton *managerBtn() const;
    CustomButton *settingBtn() const;
    CustomButton *minBtn() const;
    CustomButton *deleBtn() const;

    // The quit panel: background, message panel, message picture, OK, Cancel.
    kit::PictureView *bacImg() const;
    kit::PictureView *messSubImg() const;
    kit::PictureView *messImg() const;
    CustomButton *okTap() const;
    CustomButton *caBtn() const;

    // The controller of each work window last opened (null before the first tap).
    TYWindowController *opretionCon() const { return opretionCon_; }
    TYWindowController *outputCon() const { return outputCon_; }
    TYWindowController *managerMainCon() const { return managerMainCon_; }
    TYWindowController *settingMainCon() const { return settingMainCon_; }

    // Patient entry ("OpretionController"), result review ("OutputController"), data
    // management ("ManagerMainController"), settings menu ("SettingMainController"). A button
    // without a factory does nothing.
    void setOpretionFactory(WindowFactory factory) { opretionFactory_ = std::move(factory); }
    void setOutputFactory(WindowFactory factory) { outputFactory_ = std::move(factory); }
    void setManagerFactory(WindowFactory factory) { managerFactory_ = std::move(factory); }
    void setSettingFactory(WindowFactory factory) { settingFactory_ = std::move(factory); }
    // Starts the data-link import of patients in the background; the patient-entry button runs
    // it first whenever a data-link mode is set.
    void setDataLinkImport(std::function<void()> import) { dataLinkImport_ = std::move(import); }
    // Ends the application once the main window closed; QCoreApplication::quit unless set.
    void setQuitApplication(std::function<void()> quit) { quitApplication_ = std::move(quit); }

    // Restarts the clock (on every Back notification).
    void mytest();
    // The four buttons; `sender` is the tapped button, which drops its hover picture.
    void testTap(CustomButton *sender = nullptr);
    void outputTap(CustomButton *sender = nullptr);
    void managerTap(CustomButton *sender = nullptr);
    void settingTap(CustomButton *sender = nullptr);
    void minTap();
    // Shows the quit panel; CTap hides it, OTap stops the clock and closes the main window.
    void deleTap();
    void CTap();
    void OTap();

private:
    enum class Kind { Opretion, Output, Manager, Setting };
    void openWorkWindow(Kind kind, CustomButton *sender);
    void setQuitPanelVisible(bool visible);
    void windowWillClose();

    std::unique_ptr<Ui::MainMenuObject> ui_;
    QPointer<TYWindow> mainWindow_;
    QPointer<TYWindowController> opretionCon_, outputCon_, managerMainCon_, settingMainCon_;
    WindowFactory opretionFactory_, outputFactory_, managerFactory_, settingFactory_;
    std::function<void()> dataLinkImport_;
    std::function<void()> quitApplication_;
};
