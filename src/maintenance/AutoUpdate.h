#pragma once

#include <QString>

#include <functional>

class RomWriter;

// The automatic firmware update offered when the instrument's firmware differs from the
// firmware the application carries: panel 1 offers it (shown by the start-up's version
// check), panel 2 waits for the instrument to be attached again, panel 3 shows the write's
// progress, panel 4 its end. A failed write's message leads back to the version check. The
// update flag in "CommSetting.xml" stays set until a write succeeds, so an interrupted update
// is offered again at the next launch. Main thread only.
class AutoUpdate {
public:
    // Installs the steps into the application delegate: OK on panel 1 runs step 2.
    static void install();

    static void updateSystemStep2();
    // A newly attached instrument while an update waits for it.
    static void deviceConnect();
    static void updateSystemStep3();
    static void retryUpdate();
    // Called by the engine when a write has ended successfully.
    static void updateSystemFinish();

    // Puts the write's progress line into the panel's text field, when one is shown.
    static void showProgress(const QString &text);

    // Every state the update shows, in order: the picture name of each panel from step 2 on,
    // and each progress line shown. An empty function stops the recording.
    using StateRecorder = std::function<void(const QString &state)>;
    static void setStateRecorder(StateRecorder recorder);

    // The engine of the current update; null when none.
    static RomWriter *engine();
    // Test only: drops the engine and the update's observers.
    static void resetForTesting();
};
