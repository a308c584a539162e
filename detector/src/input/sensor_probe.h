#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "daemon/daemon_options.h"
#include "detection/jerk_detector.h"
#include "detection/onset_detector.h"
#include "input/accel_sensor.h"
#include "input/sensor.h"

namespace thwack {

// Finds the sensor THWACK_INPUT asks for; automatically: accelerometers first, in the order
// IIO, lis3lv02d, hdaps, applesmc, then the microphone.
class SensorProbe final {
public:
    explicit SensorProbe(std::filesystem::path sysfsRoot = "/", JerkTuning jerkTuning = {},
                         OnsetTuning onsetTuning = {});

    // Null with why (every place that was tried) when nothing is there.
    std::unique_ptr<Sensor> probe(const InputChoice& choice, std::string& why) const;

private:
    std::unique_ptr<Sensor> accelerometer(InputChoice::Kind kind, std::string& why) const;
    std::unique_ptr<Sensor> microphone(std::string& why) const;

    std::filesystem::path sysfsRoot;
    JerkTuning jerkTuning;
    OnsetTuning onsetTuning;
};

} // namespace thwack
