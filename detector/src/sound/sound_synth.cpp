#include "sound/sound_synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

#include "sound/formant_voice.h"

namespace thwack::sound_synth {

namespace {

constexpr float soundPeak = 0.8f;
constexpr double fadeSeconds = 0.005;
constexpr double twoPi = 2.0 * std::numbers::pi;

double uniform(std::mt19937& random) {
    return static_cast<double>(random()) / std::mt19937::max() * 2.0 - 1.0;
}

} // namespace

void normalize(std::vector<float>& samples, float peak, int sampleRate) {
    float largest = 0.0f;
    for (float s : samples) {
        largest = std::max(largest, std::abs(s));
    }
    if (largest > 0.0f) {
        for (float& s : samples) {
            s *= peak / largest;
        }
    }
    const auto fade = std::min(samples.size(), static_cast<std::size_t>(fadeSeconds * sampleRate));
    for (std::size_t i = 0; i < fade; ++i) {
        samples[samples.size() - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade);
    }
}

std::vector<float> thump(int sampleRate) {
    constexpr double seconds = 0.35;
    constexpr double bodyDecay = 0.07;
    constexpr double clickDecay = 0.004;
    constexpr double attack = 0.002;
    std::mt19937 random(1);
    const double rate = sampleRate;
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    double phase = 0.0;
    double click = 0.0;
    for (std::size_t n = 0; n < out.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        // A drum-like body whose pitch drops as it rings out.
        const double frequency = 50.0 + 70.0 * std::exp(-t / 0.03);
        phase += twoPi * frequency / rate;
        const double body = std::sin(phase) * std::exp(-t / bodyDecay) * std::min(1.0, t / attack);
        click += 0.2 * (uniform(random) - click); // soft low-pass on the noise
        out[n] = static_cast<float>(body + 1.5 * click * std::exp(-t / clickDecay));
    }
    normalize(out, soundPeak, sampleRate);
    return out;
}

std::vector<float> animeAhh(int sampleRate) {
    // An open "a" sung high and gliding down, with a little breath and growing vibrato.
    const std::array<VoicePoint, 6> points{{
        {0.00, 800, 1250, 2600, 520, 1.0, 0.05, 0.0},
        {0.05, 820, 1250, 2650, 515, 1.0, 0.05, 1.0},
        {0.30, 820, 1230, 2650, 480, 1.0, 0.04, 1.0},
        {0.80, 760, 1150, 2550, 300, 1.0, 0.04, 0.9},
        {1.05, 740, 1120, 2500, 230, 1.0, 0.06, 0.6},
        {1.20, 720, 1100, 2500, 210, 1.0, 0.06, 0.0},
    }};
    FormantVoice voice(sampleRate, 2);
    voice.setVibrato(5.5, 0.025);
    auto out = voice.render(points);
    normalize(out, soundPeak, sampleRate);
    return out;
}

std::vector<float> fart(int sampleRate) {
    constexpr double seconds = 0.9;
    std::mt19937 random(3);
    const double rate = sampleRate;
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    // Two low resonances give the buzz its body.
    std::array<double, 2> frequencies{250.0, 600.0};
    std::array<double, 2> bandwidths{150.0, 300.0};
    std::array<std::array<double, 3>, 2> coefficients{};
    for (std::size_t i = 0; i < 2; ++i) {
        const double r = std::exp(-std::numbers::pi * bandwidths[i] / rate);
        const double c = -r * r;
        const double b = 2.0 * r * std::cos(twoPi * frequencies[i] / rate);
        coefficients[i] = {1.0 - b - c, b, c};
    }
    std::array<std::array<double, 2>, 2> state{};
    double phase = 0.0;
    double jitter = 0.0;
    for (std::size_t n = 0; n < out.size(); ++n) {
        const double t = static_cast<double>(n) / rate;
        if (phase < 0.01) {
            jitter = 0.15 * uniform(random); // each pulse a little off: the flutter
        }
        const double pitch = (95.0 - 35.0 * t / seconds + 12.0 * std::sin(twoPi * 7.0 * t)) * (1.0 + jitter);
        phase += pitch / rate;
        phase -= std::floor(phase);
        double x = (phase < 0.3 ? 1.0 : -0.43) + 0.15 * uniform(random);
        for (std::size_t i = 0; i < 2; ++i) {
            const double y =
                coefficients[i][0] * x + coefficients[i][1] * state[i][0] + coefficients[i][2] * state[i][1];
            state[i][1] = state[i][0];
            state[i][0] = y;
            x = y;
        }
        double envelope = std::min(1.0, t / 0.02) * std::min(1.0, (seconds - t) / 0.08);
        if (t > 0.6) {
            envelope *= 0.55 + 0.45 * std::sin(twoPi * 17.0 * t); // the sputter at the end
        }
        out[n] = static_cast<float>(x * envelope);
    }
    normalize(out, soundPeak, sampleRate);
    return out;
}

std::vector<float> whatDaDogDoing(int sampleRate) {
    // t, F1, F2, F3, pitch, voicing, noise, gain. Stops are a closure (gain 0) then a burst.
    const std::array<VoicePoint, 30> points{{
        {0.000, 300, 700, 2200, 180, 1.0, 0.0, 0.0}, // w
        {0.040, 320, 750, 2250, 185, 1.0, 0.0, 0.8},
        {0.100, 680, 1150, 2500, 190, 1.0, 0.0, 1.0}, // "wha"
        {0.200, 680, 1300, 2550, 175, 1.0, 0.0, 1.0},
        {0.230, 500, 1600, 2600, 170, 1.0, 0.0, 0.0}, // closure
        {0.270, 500, 1600, 2600, 170, 1.0, 0.0, 0.0},
        {0.275, 400, 1700, 2600, 165, 0.6, 0.8, 0.5}, // d burst
        {0.290, 650, 1250, 2500, 165, 1.0, 0.05, 0.9},
        {0.380, 700, 1200, 2500, 160, 1.0, 0.0, 1.0}, // "da"
        {0.410, 450, 1600, 2600, 155, 1.0, 0.0, 0.0}, // closure
        {0.460, 450, 1600, 2600, 155, 1.0, 0.0, 0.0},
        {0.465, 400, 1700, 2600, 160, 0.6, 0.8, 0.5}, // d burst
        {0.490, 600, 950, 2450, 170, 1.0, 0.05, 1.0},
        {0.620, 580, 880, 2400, 150, 1.0, 0.0, 1.0},  // "do"
        {0.660, 350, 1500, 2200, 140, 1.0, 0.0, 0.0}, // g closure
        {0.710, 350, 1500, 2200, 140, 1.0, 0.0, 0.0},
        {0.715, 350, 1600, 2100, 140, 0.3, 0.9, 0.5}, // g burst
        {0.730, 350, 1600, 2200, 140, 0.0, 0.0, 0.0},
        {0.760, 450, 1600, 2600, 140, 1.0, 0.0, 0.0}, // closure
        {0.765, 400, 1700, 2600, 150, 0.6, 0.8, 0.5}, // d burst
        {0.790, 320, 900, 2300, 160, 1.0, 0.03, 1.0}, // "doo"
        {0.880, 330, 1000, 2300, 175, 1.0, 0.0, 1.0},
        {0.980, 400, 1900, 2600, 200, 1.0, 0.0, 1.0}, // "i"
        {1.060, 380, 2000, 2650, 215, 1.0, 0.0, 0.9},
        {1.120, 250, 1100, 2300, 220, 1.0, 0.0, 0.5}, // "ng", rising like a question
        {1.200, 250, 1100, 2300, 215, 1.0, 0.0, 0.45},
        {1.300, 250, 1100, 2300, 200, 1.0, 0.0, 0.35},
        {1.350, 250, 1100, 2300, 195, 1.0, 0.0, 0.2},
        {1.400, 250, 1100, 2300, 190, 1.0, 0.0, 0.0},
        {1.420, 250, 1100, 2300, 190, 0.0, 0.0, 0.0},
    }};
    FormantVoice voice(sampleRate, 4);
    auto out = voice.render(points);
    normalize(out, soundPeak, sampleRate);
    return out;
}

} // namespace thwack::sound_synth
