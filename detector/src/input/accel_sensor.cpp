#include "input/accel_sensor.h"

namespace thwack {

namespace {
// Samples handled per pump, so settings changes are picked up often during a replay.
constexpr int samplesPerPump = 64;
} // namespace

AccelSensor::AccelSensor(std::unique_ptr<AccelSource> source, JerkTuning tuning)
    : source(std::move(source)), detector(tuning) {}

ReadStatus AccelSensor::pump(std::vector<double>& hitTimes) {
    // Live sources block until their next reading, so one per pump keeps stopping prompt.
    const int count = source->isReplay() ? samplesPerPump : 1;
    for (int i = 0; i < count; ++i) {
        AccelSample sample;
        const ReadStatus status = source->read(sample);
        if (status == ReadStatus::pending) {
            return ReadStatus::ok;
        }
        if (status != ReadStatus::ok) {
            return status;
        }
        if (detector.process(sample)) {
            hitTimes.push_back(sample.t);
        }
    }
    return ReadStatus::ok;
}

} // namespace thwack
