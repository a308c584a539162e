#pragma once

#include <memory>
#include <vector>

#include "detection/onset_detector.h"
#include "input/audio_source.h"
#include "input/sensor.h"

namespace thwack {

class MicSensor final : public Sensor {
public:
    MicSensor(std::unique_ptr<AudioSource> source, OnsetTuning tuning = {});

    std::string description() const override { return source->description(); }
    bool isReplay() const override { return source->isReplay(); }
    bool hearsOwnSounds() const override { return true; }
    void setSensitivity(double sensitivity) override { detector.setSensitivity(sensitivity); }
    void muteUntil(double streamSeconds) override { detector.muteUntil(streamSeconds); }
    ReadStatus pump(std::vector<double>& hitTimes) override;

private:
    std::unique_ptr<AudioSource> source;
    OnsetDetector detector;
    std::vector<float> block;
};

} // namespace thwack
