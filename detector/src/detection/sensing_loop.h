#pragma once

#include <functional>
#include <vector>

#include "input/sensor.h"

namespace thwack {

// Drives a sensor: feeds it the current sensitivity, reports its hits and keeps the
// microphone deaf while the daemon's own sound plays and for a moment after.
class SensingLoop final {
public:
    // Room echo and the output's latency outlast the sound itself by about this much.
    static constexpr double ownSoundGuardSeconds = 0.25;

    // Returns the length in seconds of the sound started for the hit, 0 when none.
    using HitHandler = std::function<double(double streamSeconds)>;

    SensingLoop(Sensor& sensor, HitHandler onHit);

    ReadStatus step(double sensitivity);

private:
    Sensor& sensor;
    HitHandler onHit;
    double sensitivity = -1.0;
    std::vector<double> hits;
};

} // namespace thwack
