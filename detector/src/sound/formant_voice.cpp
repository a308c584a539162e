#include "sound/formant_voice.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace thwack {

namespace {

// Klatt's digital resonator, unity gain at 0 Hz.
class Resonator {
public:
    void tune(double frequency, double bandwidth, double sampleRate) {
        const double r = std::exp(-std::numbers::pi * bandwidth / sampleRate);
        c = -r * r;
        b = 2.0 * r * std::cos(2.0 * std::numbers::pi * frequency / sampleRate);
        a = 1.0 - b - c;
    }
    double process(double x) {
        const double y = a * x + b * y1 + c * y2;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    double a = 1.0, b = 0.0, c = 0.0, y1 = 0.0, y2 = 0.0;
};

// Rosenberg's glottal pulse over one period (phase 0..1): open, closing, closed.
double glottalPulse(double phase) {
    constexpr double opening = 0.4;
    constexpr double closing = 0.16;
    if (phase < opening) {
        return 0.5 * (1.0 - std::cos(std::numbers::pi * phase / opening));
    }
    if (phase < opening + closing) {
        return std::cos(std::numbers::pi * (phase - opening) / (2.0 * closing));
    }
    return 0.0;
}

constexpr std::array<double, 3> bandwidthsHz{90.0, 110.0, 160.0};
constexpr double f4Hz = 3500.0;
constexpr double f4BandwidthHz = 250.0;
constexpr int retuneEvery = 16; // samples between resonator updates

} // namespace

FormantVoice::FormantVoice(int sampleRate, std::uint32_t seed) : sampleRate(sampleRate), seed(seed) {}

void FormantVoice::setVibrato(double rateHz, double depth) {
    vibratoHz = rateHz;
    vibratoDepth = depth;
}

std::vector<float> FormantVoice::render(std::span<const VoicePoint> points) {
    std::vector<float> out;
    if (points.size() < 2) {
        return out;
    }
    std::mt19937 random(seed);
    const double rate = sampleRate;
    const double start = points.front().t;
    const auto count = static_cast<std::size_t>((points.back().t - start) * rate);
    out.reserve(count);
    std::array<Resonator, 4> formants;
    double phase = 0.0;
    double previousPulse = 0.0;
    std::size_t segment = 0;
    VoicePoint p = points.front();
    for (std::size_t n = 0; n < count; ++n) {
        const double t = start + static_cast<double>(n) / rate;
        while (segment + 2 < points.size() && t >= points[segment + 1].t) {
            ++segment;
        }
        const auto& from = points[segment];
        const auto& to = points[segment + 1];
        const double span = to.t - from.t;
        const double k = span > 0.0 ? std::clamp((t - from.t) / span, 0.0, 1.0) : 1.0;
        auto mix = [k](double a, double b) { return a + k * (b - a); };
        p = VoicePoint{t,
                       mix(from.f1, to.f1),
                       mix(from.f2, to.f2),
                       mix(from.f3, to.f3),
                       mix(from.pitchHz, to.pitchHz),
                       mix(from.voicing, to.voicing),
                       mix(from.noise, to.noise),
                       mix(from.gain, to.gain)};
        if (n % retuneEvery == 0) {
            formants[0].tune(p.f1, bandwidthsHz[0], rate);
            formants[1].tune(p.f2, bandwidthsHz[1], rate);
            formants[2].tune(p.f3, bandwidthsHz[2], rate);
            formants[3].tune(f4Hz, f4BandwidthHz, rate);
        }
        const double pitch = p.pitchHz * (1.0 + vibratoDepth * std::sin(2.0 * std::numbers::pi * vibratoHz * t));
        phase += pitch / rate;
        phase -= std::floor(phase);
        const double pulse = glottalPulse(phase);
        // The lips radiate the derivative of the glottal flow.
        const double voiced = (pulse - previousPulse) * rate / (pitch * 4.0);
        previousPulse = pulse;
        const double white = static_cast<double>(random()) / std::mt19937::max() * 2.0 - 1.0;
        double y = p.voicing * voiced + p.noise * white;
        for (auto& formant : formants) {
            y = formant.process(y);
        }
        out.push_back(static_cast<float>(p.gain * y));
    }
    return out;
}

} // namespace thwack
