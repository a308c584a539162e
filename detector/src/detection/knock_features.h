#pragma once

#include <array>
#include <cstddef>
#include <span>

namespace thwack {

// What the microphone detector measures about one onset, over its decision window (the whole
// onset) and the moments before it. Levels are in dB. The order is the order of the trained
// model's inputs (knock_model.h); the bands are under 400 Hz, 400 Hz-2.5 kHz and over 2.5 kHz.
struct KnockFeatures {
    enum Index : std::size_t {
        peakOverFloor,    // loudest frame of the window against the noise floor, whole band
        rise,             // loudest frame against the frames just before the onset
        preOverFloor,     // those frames against the floor: something was already sounding
        contextOverFloor, // the last 200 ms against the floor: talk or music around the onset
        lowShare,         // energy under 400 Hz against all of it
        highShare,        // energy over 2.5 kHz against all of it
        decay,            // the window's last frames against its loudest
        peakPosition,     // where in the window the loudest frame lies, 0 to 1: a vowel builds up
        periodicity,      // best normalized autocorrelation at 2.5-8 ms: a voice repeats itself
        crest,            // peak sample against the window's RMS: an impact is one spike
        decaySlope,       // dB per frame from the loudest frame on: a knock keeps falling
        reRise,           // largest climb out of a dip after the loudest frame: a vowel after a consonant
        brightening,      // high share of the window's second half against its first
        activity,         // share of the last seconds spent well over the floor: talk, music, typing
        longContext,      // mean energy of the last second against the floor
        lowRise,          // per band: the window's loudest frame against the band's frames before the onset
        midRise,
        highRise,
        lowOverFloor, // per band: the window's loudest frame against the band's own floor
        midOverFloor,
        highOverFloor,
        count
    };

    std::array<double, count> values{};

    // The largest normalized autocorrelation of samples over lags minLag..maxLag.
    static double periodicityOf(std::span<const float> samples, std::size_t minLag, std::size_t maxLag);
    // Peak sample against RMS, in dB.
    static double crestOf(std::span<const float> samples);
};

} // namespace thwack
