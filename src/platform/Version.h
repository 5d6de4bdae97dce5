#pragma once

namespace cvx {

// The application's short version string, recorded under "appVersion" and compared at
// start-up to decide how an existing data folder is backed up.
inline constexpr const char *kAppShortVersion = "1.0.0";

}  // namespace cvx
