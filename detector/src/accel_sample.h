#pragma once

namespace zonkle {

// One accelerometer reading: time in seconds on the sensor's own clock, acceleration in g.
struct AccelSample {
    double t = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

} // namespace zonkle
