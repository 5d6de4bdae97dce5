#pragma once

#include <QPointer>

#include <memory>

#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
namespace Ui {
class SettingMainController;
}

// The settings menu, opened from the main menu. The editors of the hospital and dentist
// lists, the comments and the maintenance screen join it later; for now it offers the way back
// to the main menu.
class SettingMainController : public TYWindowController {
    Q_OBJECT
public:
    explicit SettingMainController(QObject *parent = nullptr);
    ~SettingMainController() override;

    // The main window; set by the main menu once the window is loaded.
    TYWindow *rootWind() const { return rootWind_; }
    void setRootWind(TYWindow *window) { rootWind_ = window; }

    BBTime *zbbtime() const;
    CustomButton *backButton() const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObjectFromSet" and brings lastWindow back.
    void windowWillClose() override;

private:
    std::unique_ptr<Ui::SettingMainController> ui_;
    QPointer<TYWindow> rootWind_;
};
