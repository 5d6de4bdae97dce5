#pragma once

#include "shell/kit/TYWindowController.h"
#include "ui_KitSampleController.h"

// A work window laid out from its .ui file the way every window controller is.
class KitSampleController : public TYWindowController {
    Q_OBJECT
public:
    explicit KitSampleController(QObject *parent = nullptr)
        : TYWindowController(QStringLiteral("KitSampleController"), parent) {}

    Ui::KitSampleController ui;
    int willCloseCount = 0;
    bool refusesClose = false;

protected:
    void setupUi(TYWindow *window) override { ui.setupUi(window); }
    bool windowShouldClose() override { return !refusesClose; }
    void windowWillClose() override {
        ++willCloseCount;
        ui.zbbtime->zstop();
        TYWindowController::windowWillClose();
    }
};
