#include "jerk_detector.h"

#include <algorithm>
#include <cmath>

#include "sensitivity.h"

namespace zonkle {

double JerkTuning::thresholdG(double sensitivity) const {
    return std::clamp(baseG * std::pow(sensitivity, -exponent), minG, maxG);
}

double JerkTuning::noiseScale(double sensitivity) const {
    return noiseFactor * std::pow(sensitivity, -exponent);
}

JerkDetector::JerkDetector(JerkTuning tuning)
    : tuning(tuning), threshold(tuning.thresholdG(defaultSensitivity)),
      noiseMultiple(tuning.noiseScale(defaultSensitivity)), noise(tuning.initialNoiseG) {}

void JerkDetector::setSensitivity(double sensitivity) {
    threshold = tuning.thresholdG(sensitivity);
    noiseMultiple = tuning.noiseScale(sensitivity);
}

bool JerkDetector::process(const AccelSample& sample) {
    if (!firstTime) {
        firstTime = sample.t;
    }
    const auto last = previous;
    previous = sample;
    const double dt = last ? sample.t - last->t : 0.0;
    if (!last || dt <= 0.0 || dt > tuning.gapSeconds) {
        return false;
    }
    const double jerk = std::hypot(sample.x - last->x, sample.y - last->y, sample.z - last->z);
    const double limit = std::max(threshold, noiseMultiple * noise);

    const bool warm = sample.t - *firstTime >= tuning.warmupSeconds;
    const double alpha = 1.0 - std::exp(-dt / (warm ? tuning.noiseTimeConstant : tuning.warmupTimeConstant));
    noise += alpha * ((warm ? std::min(jerk, tuning.noiseClipFactor * noise) : jerk) - noise);

    const bool ready = !lastHit || sample.t - *lastHit >= tuning.refractorySeconds;
    if (warm && ready && jerk >= limit) {
        lastHit = sample.t;
        return true;
    }
    return false;
}

} // namespace zonkle
