#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "detection/biquad.h"
#include "detection/knock_features.h"

namespace thwack {

struct OnsetTuning {
    double lowHz = 80.0; // below this is handling noise and hum, never a knock
    double frameSeconds = 0.0025;
    // A candidate opens when, in the whole band or in the middle or top band, a frame is
    // triggerDb(s) = baseDb - slopeDb * log10(s) over that band's noise floor and at least riseDb
    // louder than riseFrames earlier. The top band finds a bright slap under speech. The trigger
    // does not move with the sensitivity: every setting then judges the same candidates, so a
    // higher one never loses a knock to a candidate opened a frame earlier.
    double baseDb = 8.0;
    double slopeDb = 0.0;
    double riseDb = 6.0;
    int riseFrames = 4;
    // The candidate is judged on this many frames from its first (the whole onset), by the
    // trained model: a hit when the score reaches decisionBase - decisionSlope * log2(s), plus
    // up to busyPenalty as the recent activity (share of time something sounded) nears busyActivity.
    // A busy room (talk, music, typing) needs more evidence than a quiet one.
    int windowFrames = 6;
    double decisionBase = 1.3;
    double decisionSlope = 1.0;
    double busyPenalty = 1.5;
    double busyActivity = 0.3;
    // The floors follow quiet stretches quickly and loud ones slowly.
    double floorUpSeconds = 3.0;
    double floorDownSeconds = 0.1;
    double refractorySeconds = 0.3;
    double warmupSeconds = 0.25;

    double triggerDb(double sensitivity) const;
    double decisionThreshold(double sensitivity) const;
};

// Microphone hits: a sharp rise of 2.5 ms frame levels over adaptive noise floors opens a
// candidate; after a short window over the whole onset, a small trained model of its features
// (levels, rises, spectrum, decay, periodicity, crest, recent activity) tells knocks from key
// clicks, syllables and music. Hits are reported at the end of that window.
class OnsetDetector final {
public:
    // For training the model: every candidate with its features and score.
    using CandidateListener = std::function<void(double streamSeconds, const KnockFeatures&, double score)>;

    OnsetDetector(double sampleRate, OnsetTuning tuning = {});

    void setSensitivity(double sensitivity);
    void setCandidateListener(CandidateListener listener) { candidateListener = std::move(listener); }

    // No hit is detected before this stream time (the daemon hearing its own sound).
    void muteUntil(double streamSeconds);

    // Feeds samples; returns the stream times at which hits were confirmed.
    std::vector<double> process(std::span<const float> samples);

    double floorDb() const { return floors[whole].value_or(0.0); }

private:
    enum Band : std::size_t { whole, low, mid, high, bandCount };
    using Levels = std::array<double, bandCount>;

    struct Frame {
        Levels energy{}; // summed squares
        Levels level{};  // dB of the mean square
    };
    struct Candidate {
        Levels preDb;
        double contextDb;
        double activity;
        double longContextDb;
        int frames = 0;
        std::vector<float> samples;
    };

    void endFrame(std::vector<double>& hits);
    void openCandidate();
    bool decide(double now);
    double levelOf(Band band, std::size_t first, std::size_t last) const; // mean over history[first, last)

    OnsetTuning tuning;
    double sampleRate;
    std::array<std::vector<Biquad>, bandCount> filters;
    std::size_t frameLength;
    std::size_t historyFrames;
    double trigger;
    double decisionThreshold;
    double floorUpAlpha;
    double floorDownAlpha;
    double activityAlpha;
    double longContextAlpha;

    Frame current{};
    std::vector<float> frameSamples;
    std::size_t samplesSeen = 0;
    std::deque<Frame> history; // newest last
    std::array<std::optional<double>, bandCount> floors;
    double activity = 0.0;
    double longContextEnergy = 0.0;
    std::optional<Candidate> candidate;
    std::optional<double> lastHit;
    double mutedUntil = 0.0;
    CandidateListener candidateListener;
};

} // namespace thwack
