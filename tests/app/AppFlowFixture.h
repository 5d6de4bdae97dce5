#pragma once

// The program as main() wires it, with the instrument already plugged in and played by the
// simulator; shared by the whole-program flow tests.
#include <gtest/gtest.h>

#include <QTest>

#include <optional>

#include "app/WindowFactories.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/AutoUpdate.h"
#include "maintenance/OutputPWController.h"
#include "records/AppDelegate.h"
#include "records/UsbUtils.h"
#include "review/TableViewDatas.h"
#include "shell/MainMenuObject.h"
#include "shell/ManualCountdownClock.h"
#include "shell/kit/TYUpdateView.h"
#include "shell/kit/TYWindow.h"
#include "support/InstrumentSimulator.h"

namespace appflow {

// Typed key by key; QTest::keyClicks knows only ASCII keys.
inline void type(QWidget *field, const QString &text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

inline void click(QWidget *widget) {
    ASSERT_TRUE(widget);
    QTest::mouseClick(widget, Qt::LeftButton);
}

class LaunchedApp : public testing::Test {
protected:
    ~LaunchedApp() override {
        // The result screen's background saves end in this test's home.
        TableViewDatas::waitForSaves();
        AppDelegate::shared().setDataLinkImport({});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        sim.detach();
        sim.run();
        UsbManager::resetSharedForTesting();
        UsbHID::resetSharedForTesting();
    }

    // What main() does before and at the launch.
    void launch() {
        AppDelegate &delegate = AppDelegate::shared();
        delegate.setDataLinkImport([] { UsbUtils::readCsvOrTxt(); });
        OutputPWController::installFirmwareVersionReader();
        AutoUpdate::install();
        UsbManager::setIsUpdateViewShowing([] { return TYUpdateView::isExistUpdateView(); });
        sim.attach();

        installWindowFactories(menu);
        menu.mainWindow()->makeKeyAndOrderFront();
        delegate.applicationDidFinishLaunching(menu.mainWindow());
    }

    // A second after the launch the program asks the instrument for its state.
    void waitForStateRequest() {
        waitUntil([this] { return sim.stateRequests() > 0; });
    }

    // Runs events, the simulator and the background jobs until the condition holds.
    template <typename Condition>
    void waitUntil(Condition done) {
        for (int i = 0; i < 100 && !done(); ++i) {
            QTest::qWait(50);
            sim.run();
        }
        ASSERT_TRUE(done());
    }

    // First, so it outlives every window that counts with it.
    std::optional<shelltest::ManualCountdownClock> countdown;
    cvxtest::InstrumentSimulator sim;  // before the link's transport is first used
    MainMenuObject menu;               // the first window
};

}  // namespace appflow
