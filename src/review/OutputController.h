#pragma once

#include <QPointer>

#include <memory>

#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
namespace Ui {
class OutputController;
}

// The result-review window, opened from the main menu. Finding and reprinting stored results
// joins it later; for now it offers the way back to the main menu.
class OutputController : public TYWindowController {
    Q_OBJECT
public:
    explicit OutputController(QObject *parent = nullptr);
    ~OutputController() override;

    // The main window; set by the main menu before the window is loaded.
    TYWindow *mWindow() const { return mWindow_; }
    void setMWindow(TYWindow *window) { mWindow_ = window; }

    BBTime *zbbtime() const;
    CustomButton *backButton() const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObjectFromOutput" and returns to the first window.
    void windowWillClose() override;

private:
    std::unique_ptr<Ui::OutputController> ui_;
    QPointer<TYWindow> mWindow_;
};
