#include "detection/sensitivity.h"

#include <algorithm>
#include <cmath>

namespace thwack {

double clampSensitivity(double sensitivity) {
    if (std::isnan(sensitivity)) {
        return -1.0;
    }
    return std::clamp(sensitivity, minSensitivity, maxSensitivity);
}

} // namespace thwack
