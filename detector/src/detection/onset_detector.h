#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "detection/biquad.h"

namespace thwack {

struct OnsetTuning {
    double lowHz = 80.0;
    double highHz = 2000.0;
    double frameSeconds = 0.005;
    // Threshold above the noise floor T(s) = baseDb - slopeDb * log10(s).
    double baseDb = 20.0;
    double slopeDb = 14.0;
    // A knock reaches its level at once: the frame must be this much louder than riseFrames ago.
    double riseDb = 10.0;
    int riseFrames = 2;
    // ... and falls away quickly: this far below its peak within decayWindowSeconds.
    double decayDb = 10.0;
    double decayWindowSeconds = 0.06;
    // The decay is judged on the loudest of this many recent frames: a low voice's pitch
    // period spans two frames, and its level dips between glottal pulses.
    int decayFrames = 2;
    // Key clicks are bright, knocks on the case are dull: a candidate whose energy above the
    // band exceeds its energy in the band by more than this is not a hit.
    double maxBrightnessDb = -9.0;
    // The floor follows quiet stretches quickly and loud ones slowly.
    double floorUpSeconds = 3.0;
    double floorDownSeconds = 0.1;
    double refractorySeconds = 0.3;
    double warmupSeconds = 0.25;

    double thresholdDb(double sensitivity) const;
};

// Microphone hits: band-limited 5 ms frame levels against an adaptive noise floor, with a
// sharp rise and a quick decay. Hits are confirmed once the decay is seen.
class OnsetDetector final {
public:
    OnsetDetector(double sampleRate, OnsetTuning tuning = {});

    void setSensitivity(double sensitivity);

    // No hit is detected before this stream time (the daemon hearing its own sound).
    void muteUntil(double streamSeconds);

    // Feeds samples; returns the stream times at which hits were confirmed.
    std::vector<double> process(std::span<const float> samples);

    double floorDb() const { return floor.value_or(0.0); }

private:
    void endFrame(std::vector<double>& hits);

    struct Candidate {
        double start;
        double peakDb;
        double bandEnergy;
        double highEnergy;
    };

    OnsetTuning tuning;
    double sampleRate;
    std::vector<Biquad> filters;
    std::vector<Biquad> highFilters; // above the band, for the brightness check
    std::size_t frameLength;
    double threshold;
    double floorUpAlpha;
    double floorDownAlpha;

    double energy = 0.0;
    double highEnergy = 0.0;
    std::size_t inFrame = 0;
    std::size_t samplesSeen = 0;
    std::deque<double> recentLevels;                      // newest last
    std::deque<std::pair<double, double>> recentEnergies; // band and above, over the rise
    std::optional<double> floor;
    std::optional<Candidate> candidate;
    std::optional<double> lastHit;
    double mutedUntil = 0.0;
};

} // namespace thwack
