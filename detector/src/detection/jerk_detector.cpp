#include "detection/jerk_detector.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "detection/sensitivity.h"

namespace thwack {

double JerkTuning::thresholdG(double sensitivity) const {
    return std::clamp(baseG * std::pow(sensitivity, -exponent), minG, maxG);
}

double JerkTuning::noiseScale(double sensitivity) const {
    return noiseFactor * std::pow(sensitivity, -exponent);
}

double JerkTuning::motionScale(double sensitivity) const {
    return motionFactor * std::pow(sensitivity, -exponent);
}

JerkDetector::JerkDetector(JerkTuning tuning)
    : tuning(tuning), threshold(tuning.thresholdG(defaultSensitivity)),
      noiseMultiple(tuning.noiseScale(defaultSensitivity)), motionMultiple(tuning.motionScale(defaultSensitivity)),
      noise(tuning.initialNoiseG), motion(tuning.initialMotionG) {}

void JerkDetector::setSensitivity(double sensitivity) {
    threshold = tuning.thresholdG(sensitivity);
    noiseMultiple = tuning.noiseScale(sensitivity);
    motionMultiple = tuning.motionScale(sensitivity);
}

void JerkDetector::updateMotion(const AccelSample& sample, double dt, bool warm) {
    const auto follow = [](Vector& v, const Vector& target, double alpha) {
        v.x += alpha * (target.x - v.x);
        v.y += alpha * (target.y - v.y);
        v.z += alpha * (target.z - v.z);
    };
    const Vector input{sample.x, sample.y, sample.z};
    if (!slow) {
        slow = slower = baseline = input;
        return;
    }
    const double lowPass = 1.0 - std::exp(-dt * 2.0 * std::numbers::pi * tuning.motionCutoffHz);
    follow(*slow, input, lowPass);
    follow(slower, *slow, lowPass);
    follow(baseline, slower, 1.0 - std::exp(-dt / tuning.motionBaselineSeconds));
    const double stray = std::hypot(slower.x - baseline.x, slower.y - baseline.y, slower.z - baseline.z);
    const double alpha = 1.0 - std::exp(-dt / (warm ? tuning.motionTimeConstant : tuning.warmupTimeConstant));
    motion += alpha * ((warm ? std::min(stray, tuning.motionClipFactor * motion) : stray) - motion);
}

bool JerkDetector::process(const AccelSample& sample) {
    if (!firstTime) {
        firstTime = sample.t;
    }
    const auto last = previous;
    previous = sample;
    const double dt = last ? sample.t - last->t : 0.0;
    if (!last || dt <= 0.0 || dt > tuning.gapSeconds) {
        slow.reset(); // the device may have been moved meanwhile
        candidate.reset();
        return false;
    }
    const double jerk = std::hypot(sample.x - last->x, sample.y - last->y, sample.z - last->z);
    const double limit = std::max({threshold, noiseMultiple * noise, motionMultiple * motion});

    const bool warm = sample.t - *firstTime >= tuning.warmupSeconds;
    const double alpha = 1.0 - std::exp(-dt / (warm ? tuning.noiseTimeConstant : tuning.warmupTimeConstant));
    noise += alpha * ((warm ? std::min(jerk, tuning.noiseClipFactor * noise) : jerk) - noise);
    updateMotion(sample, dt, warm);

    if (!warm) {
        return false;
    }
    if (candidate) {
        return judgeCandidate(sample.t, jerk);
    }
    const bool ready = !lastHit || sample.t - *lastHit >= tuning.refractorySeconds;
    if (!ready || jerk < limit) {
        return false;
    }
    if (jerk >= tuning.clearFactor * limit) {
        return confirm(sample.t);
    }
    candidate = Candidate{sample.t, limit, sample.t, jerk, 0.0};
    return false;
}

bool JerkDetector::judgeCandidate(double t, double jerk) {
    Candidate& c = *candidate;
    if (jerk >= tuning.clearFactor * c.limit) {
        return confirm(t);
    }
    if (t - c.start <= tuning.peakWindowSeconds && jerk > c.peak) {
        c.peakTime = t;
        c.peak = jerk;
        c.tailSquares = 0.0;
        return false;
    }
    const double sincePeak = t - c.peakTime;
    if (sincePeak >= tuning.tailStartSeconds) {
        c.tailSquares += jerk * jerk;
    }
    if (sincePeak < tuning.tailEndSeconds) {
        return false;
    }
    const bool ringsOn = std::sqrt(c.tailSquares) >= tuning.tailRatio * c.peak;
    candidate.reset();
    return ringsOn && confirm(t);
}

bool JerkDetector::confirm(double t) {
    lastHit = t;
    candidate.reset();
    return true;
}

} // namespace thwack
