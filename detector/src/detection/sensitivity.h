#pragma once

namespace thwack {

// The sensitivity range the daemon accepts; values outside it are clamped.
inline constexpr double minSensitivity = 0.1;
inline constexpr double maxSensitivity = 2.0;
inline constexpr double defaultSensitivity = 1.0;

// Clamps to [minSensitivity, maxSensitivity]; +inf gives the maximum, -inf the minimum.
// Returns a negative value for NaN, which callers reject.
double clampSensitivity(double sensitivity);

} // namespace thwack
