#pragma once

#include <optional>

#include "accel_sample.h"

namespace zonkle {

struct JerkTuning {
    // Fixed threshold T(s) = clamp(base * s^-exponent, min, max), in g per sample step.
    double baseG = 0.12;
    double exponent = 0.7;
    double minG = 0.05;
    double maxG = 1.5;
    // The threshold is never below noiseFactor times the running noise estimate, scaled by
    // sensitivity the same way as the fixed part.
    double noiseFactor = 15.0;
    double noiseTimeConstant = 2.0; // seconds
    // Hits and bumps feed the noise estimate at most this multiple of it, so one hit does not deafen.
    double noiseClipFactor = 3.0;
    double initialNoiseG = 0.005;
    double refractorySeconds = 0.3;
    // No hits at first, while the noise estimate learns quickly (and unclipped) what the
    // device is doing: it may be started while being carried.
    double warmupSeconds = 0.5;
    double warmupTimeConstant = 0.2;
    // A pause in the readings longer than this starts the difference afresh.
    double gapSeconds = 0.2;

    double thresholdG(double sensitivity) const;
    double noiseScale(double sensitivity) const;
};

// Accelerometer hits: the jerk magnitude |a[n] - a[n-1]| against a threshold that follows
// both the sensitivity and the current vibration level.
class JerkDetector final {
public:
    explicit JerkDetector(JerkTuning tuning = {});

    void setSensitivity(double sensitivity);

    // True when this sample completes a hit.
    bool process(const AccelSample& sample);

    double noiseEstimate() const { return noise; }

private:
    JerkTuning tuning;
    double threshold;
    double noiseMultiple;
    std::optional<AccelSample> previous;
    std::optional<double> firstTime;
    std::optional<double> lastHit;
    double noise;
};

} // namespace zonkle
