#pragma once

#include <cstdint>

// The maintenance mode: 1 while a firmware write is being prepared or under way, when the
// HID transport must not take up a newly attached instrument; 0 otherwise. The maintenance
// screen and the firmware writer switch it. Main thread only.
class MaintenanceMode {
public:
    static MaintenanceMode &sharedMode();

    MaintenanceMode(const MaintenanceMode &) = delete;
    MaintenanceMode &operator=(const MaintenanceMode &) = delete;

    std::uint8_t getMode() const { return mode_; }
    void setMode(std::uint8_t mode) { mode_ = mode; }

private:
    MaintenanceMode() = default;
    std::uint8_t mode_ = 0;
};
