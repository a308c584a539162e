#include "sensitivity.h"

#include <algorithm>
#include <cmath>

namespace zonkle {

double clampSensitivity(double sensitivity) {
    if (std::isnan(sensitivity)) {
        return -1.0;
    }
    return std::clamp(sensitivity, minSensitivity, maxSensitivity);
}

} // namespace zonkle
