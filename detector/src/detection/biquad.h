#pragma once

namespace thwack {

// A second-order IIR section (transposed direct form II).
class Biquad final {
public:
    static Biquad lowPass(double sampleRate, double cutoffHz, double q);
    static Biquad highPass(double sampleRate, double cutoffHz, double q);

    float process(float x);

private:
    Biquad(double b0, double b1, double b2, double a1, double a2);

    double b0, b1, b2, a1, a2;
    double z1 = 0.0;
    double z2 = 0.0;
};

} // namespace thwack
