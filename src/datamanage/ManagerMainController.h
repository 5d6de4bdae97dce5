#pragma once

#include <memory>

#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
namespace Ui {
class ManagerMainController;
}

// The data-management window. For now it offers only the way back to its last window; the
// export, import, patient-list and result-list work joins it later.
class ManagerMainController : public TYWindowController {
    Q_OBJECT
public:
    explicit ManagerMainController(QObject *parent = nullptr);
    ~ManagerMainController() override;

    // Controls of the window; null until window() made it.
    BBTime *zbbtime() const;
    CustomButton *backButton() const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObject" and brings the last window back.
    void windowWillClose() override;

private:
    std::unique_ptr<Ui::ManagerMainController> ui_;
};
