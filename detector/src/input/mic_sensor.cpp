#include "input/mic_sensor.h"

namespace thwack {

MicSensor::MicSensor(std::unique_ptr<AudioSource> source, OnsetTuning tuning)
    : source(std::move(source)), detector(this->source->sampleRate(), tuning) {}

ReadStatus MicSensor::pump(std::vector<double>& hitTimes) {
    const ReadStatus status = source->read(block);
    if (status != ReadStatus::ok) {
        return status;
    }
    const auto hits = detector.process(block);
    hitTimes.insert(hitTimes.end(), hits.begin(), hits.end());
    return ReadStatus::ok;
}

} // namespace thwack
