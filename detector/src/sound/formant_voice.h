#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace thwack {

// One breakpoint of a voice: parameters change linearly from one point to the next.
struct VoicePoint {
    double t;          // seconds from the start
    double f1, f2, f3; // formant frequencies, Hz
    double pitchHz;
    double voicing; // glottal pulses, 0..1
    double noise;   // aspiration and bursts, 0..1
    double gain;    // 0..1
};

// A small source-filter speech synthesizer: glottal pulses and noise through a cascade of
// formant resonators. Enough for a vowel or a short phrase that sounds spoken.
class FormantVoice final {
public:
    FormantVoice(int sampleRate, std::uint32_t seed);

    void setVibrato(double rateHz, double depth);

    // Renders from the first point's time to the last point's time.
    std::vector<float> render(std::span<const VoicePoint> points);

private:
    int sampleRate;
    std::uint32_t seed;
    double vibratoHz = 0.0;
    double vibratoDepth = 0.0;
};

} // namespace thwack
