#pragma once

#include <optional>

#include "input/accel_source.h"

namespace thwack {

struct JerkTuning {
    // Fixed threshold T(s) = clamp(base * s^-exponent, min, max), in g per sample step.
    double baseG = 0.09;
    double exponent = 0.5;
    double minG = 0.05;
    double maxG = 1.5;
    // The threshold is never below noiseFactor times the running noise estimate, scaled by
    // sensitivity the same way as the fixed part.
    double noiseFactor = 8.0;
    double noiseTimeConstant = 2.0; // seconds
    // Hits and bumps feed the noise estimate at most this multiple of it, so one hit does not deafen.
    double noiseClipFactor = 3.0;
    // Nor below motionFactor times the motion estimate (scaled the same way): the running mean of how
    // far the slow part of the acceleration (below motionCutoffHz) strays from its own average over
    // motionBaselineSeconds. Walking and handling move the whole device at a few hertz; a knock at
    // rest rings at tens of hertz and hardly moves it. Each sample feeds it at most
    // motionClipFactor times the current estimate, like the noise.
    double motionFactor = 8.0;
    double motionCutoffHz = 5.0;
    double motionBaselineSeconds = 0.5;
    double motionTimeConstant = 1.0; // seconds
    double motionClipFactor = 3.0;
    double initialMotionG = 0.002;
    double initialNoiseG = 0.005;
    double refractorySeconds = 0.3;
    // A jerk this many times the threshold is a hit at once. A smaller one must ring on: a knock
    // shakes the chassis for tens of milliseconds, a keystroke dies within a sample or two. Its
    // peak is the largest jerk within peakWindowSeconds of crossing the threshold, and the jerks
    // tailStartSeconds to tailEndSeconds after that peak must add up (root of the sum of
    // squares) to tailRatio times the peak.
    double clearFactor = 1.3;
    double peakWindowSeconds = 0.025;
    double tailStartSeconds = 0.015;
    double tailEndSeconds = 0.035;
    double tailRatio = 0.3;
    // No hits at first, while the noise estimate learns quickly (and unclipped) what the
    // device is doing: it may be started while being carried.
    double warmupSeconds = 0.5;
    double warmupTimeConstant = 0.2;
    // A pause in the readings longer than this starts the difference afresh.
    double gapSeconds = 0.2;

    double thresholdG(double sensitivity) const;
    double noiseScale(double sensitivity) const;
    double motionScale(double sensitivity) const;
};

// Accelerometer hits: the jerk magnitude |a[n] - a[n-1]| against a threshold that follows the
// sensitivity, the current vibration level and how much the device as a whole is moving.
class JerkDetector final {
public:
    explicit JerkDetector(JerkTuning tuning = {});

    void setSensitivity(double sensitivity);

    // True when this sample completes a hit.
    bool process(const AccelSample& sample);

    double noiseEstimate() const { return noise; }
    double motionEstimate() const { return motion; }

private:
    struct Vector {
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
    };

    // A jerk over the threshold but not clearly over it, waiting to show whether it rings on.
    struct Candidate {
        double start = 0.0;
        double limit = 0.0;
        double peakTime = 0.0;
        double peak = 0.0;
        double tailSquares = 0.0;
    };

    JerkTuning tuning;
    double threshold;
    double noiseMultiple;
    double motionMultiple;
    std::optional<AccelSample> previous;
    std::optional<double> firstTime;
    std::optional<double> lastHit;
    double noise;
    // Two one-pole low-passes in series, then the baseline they stray from; smoothing by time
    // constants keeps this right at any sample rate.
    std::optional<Vector> slow;
    Vector slower{};
    Vector baseline{};
    double motion;
    std::optional<Candidate> candidate;

    void updateMotion(const AccelSample& sample, double dt, bool warm);
    // True when the pending candidate is confirmed by this jerk; drops it once it is judged.
    bool judgeCandidate(double t, double jerk);
    bool confirm(double t);
};

} // namespace thwack
