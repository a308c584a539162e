#include "detection/onset_detector.h"

#include <algorithm>
#include <cmath>

#include "detection/knock_model.h"
#include "detection/sensitivity.h"

namespace thwack {

namespace {

// Q values of a fourth-order Butterworth response built from two sections.
constexpr double butterworthQ1 = 0.5412;
constexpr double butterworthQ2 = 1.3066;
// A filter's cutoff must stay clear of the Nyquist frequency.
constexpr double maxCutoffFraction = 0.45;
constexpr double silenceDb = -120.0;
constexpr double tiny = 1e-20;
// The sub-bands: thuds and voices below, clicks and slaps above.
constexpr double lowSplitHz = 400.0;
constexpr double highSplitHz = 2500.0;
// Before the onset: the frames just before it (7.5-22.5 ms) and the context (200 ms).
constexpr std::size_t preNearFrames = 3;
constexpr std::size_t preFarFrames = 9;
constexpr double contextSeconds = 0.2;
// Something sounds when a frame is this far over the floor; the share of such frames, and the
// mean energy, are followed with these time constants.
constexpr double activeDb = 6.0;
constexpr double activitySeconds = 1.5;
constexpr double longContextSeconds = 1.0;
// A voice's pitch period, 125-400 Hz.
constexpr double minPitchLagSeconds = 0.0025;
constexpr double maxPitchLagSeconds = 0.008;
// The decay is read off the window's last frames.
constexpr std::size_t tailFrames = 2;

double decibels(double ratio) {
    return 10.0 * std::log10(ratio + tiny);
}

void addButterworth(std::vector<Biquad>& chain, double sampleRate, double cutoffHz, bool high) {
    if (cutoffHz >= maxCutoffFraction * sampleRate) {
        return; // a low-pass there does nothing; a high-pass would pass nothing useful
    }
    for (const double q : {butterworthQ1, butterworthQ2}) {
        chain.push_back(high ? Biquad::highPass(sampleRate, cutoffHz, q) : Biquad::lowPass(sampleRate, cutoffHz, q));
    }
}

float run(std::vector<Biquad>& chain, float sample) {
    for (auto& filter : chain) {
        sample = filter.process(sample);
    }
    return sample;
}

} // namespace

double OnsetTuning::triggerDb(double sensitivity) const {
    return baseDb - slopeDb * std::log10(sensitivity);
}

double OnsetTuning::decisionThreshold(double sensitivity) const {
    return decisionBase - decisionSlope * std::log2(sensitivity);
}

OnsetDetector::OnsetDetector(double sampleRate, OnsetTuning tuning)
    : tuning(tuning), sampleRate(sampleRate),
      frameLength(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(sampleRate * tuning.frameSeconds)))),
      historyFrames(static_cast<std::size_t>(std::lround(contextSeconds / tuning.frameSeconds)) + preFarFrames +
                    static_cast<std::size_t>(std::max(tuning.windowFrames, tuning.riseFrames))),
      trigger(tuning.triggerDb(defaultSensitivity)), decisionThreshold(tuning.decisionThreshold(defaultSensitivity)),
      floorUpAlpha(1.0 - std::exp(-tuning.frameSeconds / tuning.floorUpSeconds)),
      floorDownAlpha(1.0 - std::exp(-tuning.frameSeconds / tuning.floorDownSeconds)),
      activityAlpha(1.0 - std::exp(-tuning.frameSeconds / activitySeconds)),
      longContextAlpha(1.0 - std::exp(-tuning.frameSeconds / longContextSeconds)) {
    // Every band is taken from the whole band, after its high-pass.
    addButterworth(filters[whole], sampleRate, tuning.lowHz, true);
    addButterworth(filters[low], sampleRate, lowSplitHz, false);
    addButterworth(filters[mid], sampleRate, lowSplitHz, true);
    addButterworth(filters[mid], sampleRate, highSplitHz, false);
    addButterworth(filters[high], sampleRate, highSplitHz, true);
    if (filters[high].empty()) {
        filters[high] = {Biquad::lowPass(sampleRate, 1.0, butterworthQ1)}; // nothing up there to hear
    }
    frameSamples.reserve(frameLength);
}

void OnsetDetector::setSensitivity(double sensitivity) {
    trigger = tuning.triggerDb(sensitivity);
    decisionThreshold = tuning.decisionThreshold(sensitivity);
}

void OnsetDetector::muteUntil(double streamSeconds) {
    mutedUntil = std::max(mutedUntil, streamSeconds);
    candidate.reset();
}

std::vector<double> OnsetDetector::process(std::span<const float> samples) {
    std::vector<double> hits;
    for (const float input : samples) {
        const float band = run(filters[whole], input);
        current.energy[whole] += static_cast<double>(band) * band;
        for (const Band sub : {low, mid, high}) {
            const float part = run(filters[sub], band);
            current.energy[sub] += static_cast<double>(part) * part;
        }
        frameSamples.push_back(band);
        ++samplesSeen;
        if (frameSamples.size() == frameLength) {
            endFrame(hits);
        }
    }
    return hits;
}

double OnsetDetector::levelOf(Band band, std::size_t first, std::size_t last) const {
    double energy = 0.0;
    for (std::size_t i = first; i < last; ++i) {
        energy += history[i].energy[band];
    }
    return std::max(silenceDb, decibels(energy / static_cast<double>((last - first) * frameLength)));
}

void OnsetDetector::endFrame(std::vector<double>& hits) {
    for (std::size_t b = 0; b < bandCount; ++b) {
        current.level[b] = std::max(silenceDb, decibels(current.energy[b] / static_cast<double>(frameLength)));
        if (!floors[b]) {
            floors[b] = current.level[b];
        }
    }
    history.push_back(current);
    if (history.size() > historyFrames) {
        history.pop_front();
    }
    const double now = static_cast<double>(samplesSeen) / sampleRate;
    const bool muted = now < mutedUntil;

    if (candidate) {
        candidate->samples.insert(candidate->samples.end(), frameSamples.begin(), frameSamples.end());
        if (muted) {
            candidate.reset();
        } else if (++candidate->frames >= tuning.windowFrames) {
            if (decide(now)) {
                hits.push_back(now);
                lastHit = now;
            }
            candidate.reset();
        }
    } else {
        const bool warm = now >= tuning.warmupSeconds;
        const bool ready = !lastHit || now - *lastHit >= tuning.refractorySeconds;
        const auto riseFrames = static_cast<std::size_t>(tuning.riseFrames);
        bool sharp = false;
        if (history.size() > std::max(riseFrames, preFarFrames)) {
            const Frame& before = history[history.size() - 1 - riseFrames];
            // A 2.5 ms frame holds about one period under 400 Hz: that band's level is too
            // jittery to trigger on, and the whole band covers thuds.
            for (const Band b : {whole, mid, high}) {
                sharp = sharp || (current.level[b] - before.level[b] >= tuning.riseDb &&
                                  current.level[b] - *floors[b] >= trigger);
            }
        }
        if (!muted && warm && ready && sharp) {
            openCandidate();
            if (tuning.windowFrames <= 1 && decide(now)) {
                hits.push_back(now);
                lastHit = now;
            }
            if (tuning.windowFrames <= 1) {
                candidate.reset();
            }
        }
    }

    const double meanEnergy = current.energy[whole] / static_cast<double>(frameLength);
    activity += activityAlpha * ((current.level[whole] - *floors[whole] >= activeDb ? 1.0 : 0.0) - activity);
    longContextEnergy += longContextAlpha * (meanEnergy - longContextEnergy);
    // Frames of a possible hit and of our own sound stay out of the floors.
    if (!candidate && !muted) {
        for (std::size_t b = 0; b < bandCount; ++b) {
            const double alpha = current.level[b] < *floors[b] ? floorDownAlpha : floorUpAlpha;
            *floors[b] += alpha * (current.level[b] - *floors[b]);
        }
    }
    current = Frame{};
    frameSamples.clear();
}

void OnsetDetector::openCandidate() {
    const std::size_t newest = history.size() - 1;
    Candidate opened;
    for (const Band b : {whole, low, mid, high}) {
        opened.preDb[b] = levelOf(b, newest - preFarFrames, newest - preNearFrames);
    }
    opened.contextDb = levelOf(whole, 0, newest - preNearFrames);
    opened.activity = activity;
    opened.longContextDb = decibels(longContextEnergy);
    opened.frames = 1;
    opened.samples = frameSamples;
    candidate = std::move(opened);
}

bool OnsetDetector::decide(double now) {
    const auto window = std::min(history.size(), static_cast<std::size_t>(std::max(1, tuning.windowFrames)));
    const auto first = history.size() - window;
    Levels energy{};
    Levels peak{silenceDb, silenceDb, silenceDb, silenceDb};
    std::size_t loudest = first;
    for (std::size_t i = first; i < history.size(); ++i) {
        for (std::size_t b = 0; b < bandCount; ++b) {
            energy[b] += history[i].energy[b];
            peak[b] = std::max(peak[b], history[i].level[b]);
        }
        if (history[i].level[whole] > history[loudest].level[whole]) {
            loudest = i;
        }
    }
    const double floor = *floors[whole];

    KnockFeatures f;
    auto& v = f.values;
    v[KnockFeatures::peakOverFloor] = peak[whole] - floor;
    v[KnockFeatures::rise] = peak[whole] - candidate->preDb[whole];
    v[KnockFeatures::preOverFloor] = candidate->preDb[whole] - floor;
    v[KnockFeatures::contextOverFloor] = candidate->contextDb - floor;
    v[KnockFeatures::lowShare] = decibels(energy[low] / (energy[whole] + tiny));
    v[KnockFeatures::highShare] = decibels(energy[high] / (energy[whole] + tiny));
    v[KnockFeatures::decay] =
        levelOf(whole, history.size() - std::min(tailFrames, window), history.size()) - peak[whole];
    v[KnockFeatures::peakPosition] =
        window > 1 ? static_cast<double>(loudest - first) / static_cast<double>(window - 1) : 0.0;
    v[KnockFeatures::periodicity] =
        KnockFeatures::periodicityOf(candidate->samples, static_cast<std::size_t>(minPitchLagSeconds * sampleRate),
                                     static_cast<std::size_t>(maxPitchLagSeconds * sampleRate));
    v[KnockFeatures::crest] = KnockFeatures::crestOf(candidate->samples);

    // From the loudest frame on: the fitted slope and the largest climb out of a dip.
    double sumX = 0.0;
    double sumY = 0.0;
    double sumXX = 0.0;
    double sumXY = 0.0;
    double lowest = peak[whole];
    double climb = 0.0;
    const auto after = static_cast<double>(history.size() - loudest);
    for (std::size_t i = loudest; i < history.size(); ++i) {
        const auto x = static_cast<double>(i - loudest);
        const double y = history[i].level[whole];
        sumX += x;
        sumY += y;
        sumXX += x * x;
        sumXY += x * y;
        lowest = std::min(lowest, y);
        climb = std::max(climb, y - lowest);
    }
    const double spread = after * sumXX - sumX * sumX;
    v[KnockFeatures::decaySlope] = spread > 0.0 ? (after * sumXY - sumX * sumY) / spread : 0.0;
    v[KnockFeatures::reRise] = climb;

    const std::size_t middle = first + window / 2;
    Levels early{};
    Levels late{};
    for (std::size_t i = first; i < history.size(); ++i) {
        for (const Band b : {whole, high}) {
            (i < middle ? early : late)[b] += history[i].energy[b];
        }
    }
    v[KnockFeatures::brightening] =
        decibels(late[high] / (late[whole] + tiny)) - decibels(early[high] / (early[whole] + tiny));
    v[KnockFeatures::activity] = candidate->activity;
    v[KnockFeatures::longContext] = candidate->longContextDb - floor;
    v[KnockFeatures::lowRise] = peak[low] - candidate->preDb[low];
    v[KnockFeatures::midRise] = peak[mid] - candidate->preDb[mid];
    v[KnockFeatures::highRise] = peak[high] - candidate->preDb[high];
    v[KnockFeatures::lowOverFloor] = peak[low] - *floors[low];
    v[KnockFeatures::midOverFloor] = peak[mid] - *floors[mid];
    v[KnockFeatures::highOverFloor] = peak[high] - *floors[high];

    const double score = KnockModel::score(f);
    if (candidateListener) {
        candidateListener(now, f, score);
    }
    const double busy = std::min(1.0, candidate->activity / tuning.busyActivity);
    return score >= decisionThreshold + tuning.busyPenalty * busy;
}

} // namespace thwack
