#pragma once

#include <string>

#include "input/sensor.h"

namespace thwack {

// One accelerometer reading: time in seconds on the sensor's own clock, acceleration in g.
struct AccelSample {
    double t = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

class AccelSource {
public:
    virtual ~AccelSource() = default;
    virtual std::string description() const = 0;
    virtual bool isReplay() const = 0;
    virtual ReadStatus read(AccelSample& sample) = 0;
};

} // namespace thwack
