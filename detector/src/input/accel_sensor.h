#pragma once

#include <memory>

#include "detection/jerk_detector.h"
#include "input/accel_source.h"
#include "input/sensor.h"

namespace thwack {

class AccelSensor final : public Sensor {
public:
    AccelSensor(std::unique_ptr<AccelSource> source, JerkTuning tuning = {});

    std::string description() const override { return source->description(); }
    bool isReplay() const override { return source->isReplay(); }
    bool hearsOwnSounds() const override { return false; }
    void setSensitivity(double sensitivity) override { detector.setSensitivity(sensitivity); }
    void muteUntil(double) override {}
    ReadStatus pump(std::vector<double>& hitTimes) override;

private:
    std::unique_ptr<AccelSource> source;
    JerkDetector detector;
};

} // namespace thwack
