#pragma once

#include <string>

#include "sensitivity.h"

namespace zonkle {

// What the last "config" command asked for.
struct DetectorSettings {
    double sensitivity = defaultSensitivity;
    std::string sound = "default";
    bool paused = false;
};

} // namespace zonkle
