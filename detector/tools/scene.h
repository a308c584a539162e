#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "input/accel_source.h"

namespace thwack {

// A labelled recording made by the scene generator: accelerometer readings or microphone
// samples, and the true onsets of the hits in it.
struct Scene {
    std::string kind;
    std::uint32_t seed = 0;
    double seconds = 0.0;
    // The daemon's sound heard in the scene (own-sound scenes), else "default".
    std::string sound = "default";

    bool isAudio = false;
    double sampleRate = 0.0;
    std::vector<AccelSample> accel;
    std::vector<float> audio;

    std::vector<double> hits;

    // Writes base.csv or base.wav, and base.json with the labels. Returns the data file.
    std::filesystem::path write(const std::filesystem::path& base) const;
};

} // namespace thwack
