#include "detection/sensing_loop.h"

namespace thwack {

SensingLoop::SensingLoop(Sensor& sensor, HitHandler onHit) : sensor(sensor), onHit(std::move(onHit)) {}

ReadStatus SensingLoop::step(double wanted) {
    if (wanted != sensitivity) {
        sensitivity = wanted;
        sensor.setSensitivity(sensitivity);
    }
    hits.clear();
    const ReadStatus status = sensor.pump(hits);
    for (double t : hits) {
        const double soundSeconds = onHit(t);
        if (soundSeconds > 0.0 && sensor.hearsOwnSounds()) {
            sensor.muteUntil(t + soundSeconds + ownSoundGuardSeconds);
        }
    }
    return status;
}

} // namespace thwack
