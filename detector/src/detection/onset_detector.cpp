#include "detection/onset_detector.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "detection/sensitivity.h"

namespace thwack {

namespace {

// Q values of a fourth-order Butterworth response built from two sections.
constexpr double butterworthQ1 = 0.5412;
constexpr double butterworthQ2 = 1.3066;
// The low-pass is left out where the band's top edge is too close to the Nyquist frequency.
constexpr double maxCutoffFraction = 0.45;
constexpr double silenceDb = -120.0;

} // namespace

double OnsetTuning::thresholdDb(double sensitivity) const {
    return baseDb - slopeDb * std::log10(sensitivity);
}

OnsetDetector::OnsetDetector(double sampleRate, OnsetTuning tuning)
    : tuning(tuning), sampleRate(sampleRate),
      frameLength(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(sampleRate * tuning.frameSeconds)))),
      threshold(tuning.thresholdDb(defaultSensitivity)),
      floorUpAlpha(1.0 - std::exp(-tuning.frameSeconds / tuning.floorUpSeconds)),
      floorDownAlpha(1.0 - std::exp(-tuning.frameSeconds / tuning.floorDownSeconds)) {
    filters.push_back(Biquad::highPass(sampleRate, tuning.lowHz, butterworthQ1));
    filters.push_back(Biquad::highPass(sampleRate, tuning.lowHz, butterworthQ2));
    if (tuning.highHz < maxCutoffFraction * sampleRate) {
        filters.push_back(Biquad::lowPass(sampleRate, tuning.highHz, butterworthQ1));
        filters.push_back(Biquad::lowPass(sampleRate, tuning.highHz, butterworthQ2));
        highFilters.push_back(Biquad::highPass(sampleRate, tuning.highHz, butterworthQ1));
        highFilters.push_back(Biquad::highPass(sampleRate, tuning.highHz, butterworthQ2));
    }
}

void OnsetDetector::setSensitivity(double sensitivity) {
    threshold = tuning.thresholdDb(sensitivity);
}

void OnsetDetector::muteUntil(double streamSeconds) {
    mutedUntil = std::max(mutedUntil, streamSeconds);
    candidate.reset();
}

std::vector<double> OnsetDetector::process(std::span<const float> samples) {
    std::vector<double> hits;
    for (const float input : samples) {
        float sample = input;
        for (auto& filter : filters) {
            sample = filter.process(sample);
        }
        energy += static_cast<double>(sample) * sample;
        if (!highFilters.empty()) {
            float high = input;
            for (auto& filter : highFilters) {
                high = filter.process(high);
            }
            highEnergy += static_cast<double>(high) * high;
        }
        ++samplesSeen;
        if (++inFrame == frameLength) {
            endFrame(hits);
        }
    }
    return hits;
}

void OnsetDetector::endFrame(std::vector<double>& hits) {
    const double level = std::max(silenceDb, 10.0 * std::log10(energy / static_cast<double>(frameLength)));
    const double frameEnergy = std::exchange(energy, 0.0);
    const double frameHighEnergy = std::exchange(highEnergy, 0.0);
    inFrame = 0;
    const double now = static_cast<double>(samplesSeen) / sampleRate;
    const bool muted = now < mutedUntil;
    if (!floor) {
        floor = level;
    }

    recentLevels.push_back(level);
    const auto kept = static_cast<std::size_t>(std::max(tuning.riseFrames + 1, tuning.decayFrames));
    if (recentLevels.size() > kept) {
        recentLevels.pop_front();
    }
    // The attack belongs to the onset: a click's bright frame may come just before the trigger.
    recentEnergies.emplace_back(frameEnergy, frameHighEnergy);
    if (recentEnergies.size() > static_cast<std::size_t>(tuning.riseFrames) + 1) {
        recentEnergies.pop_front();
    }
    const auto decayCount = std::min(recentLevels.size(), static_cast<std::size_t>(tuning.decayFrames));
    const double recentLoudest =
        *std::max_element(recentLevels.end() - static_cast<std::ptrdiff_t>(decayCount), recentLevels.end());

    if (candidate) {
        candidate->peakDb = std::max(candidate->peakDb, level);
        candidate->bandEnergy += frameEnergy;
        candidate->highEnergy += frameHighEnergy;
        if (muted) {
            candidate.reset();
        } else if (recentLoudest <= candidate->peakDb - tuning.decayDb) {
            const double brightnessDb =
                10.0 * std::log10((candidate->highEnergy + 1e-20) / (candidate->bandEnergy + 1e-20));
            if (brightnessDb <= tuning.maxBrightnessDb) {
                hits.push_back(now);
                lastHit = candidate->start;
            }
            candidate.reset();
        } else if (now - candidate->start > tuning.decayWindowSeconds) {
            candidate.reset(); // a sustained sound: speech, music
        }
    } else {
        const bool warm = now >= tuning.warmupSeconds;
        const bool ready = !lastHit || now - *lastHit >= tuning.refractorySeconds;
        const auto history = static_cast<std::size_t>(tuning.riseFrames);
        const bool sharp =
            recentLevels.size() > history && level - recentLevels[recentLevels.size() - 1 - history] >= tuning.riseDb;
        if (!muted && warm && ready && sharp && level - *floor >= threshold) {
            candidate = Candidate{now, level, 0.0, 0.0};
            for (const auto& [band, high] : recentEnergies) {
                candidate->bandEnergy += band;
                candidate->highEnergy += high;
            }
        }
    }

    // Frames of a possible hit and of our own sound stay out of the floor.
    if (!candidate && !muted) {
        const double alpha = level < *floor ? floorDownAlpha : floorUpAlpha;
        *floor += alpha * (level - *floor);
    }
}

} // namespace thwack
