#include "link/MaintenanceMode.h"

MaintenanceMode &MaintenanceMode::sharedMode() {
    static MaintenanceMode mode;
    return mode;
}
