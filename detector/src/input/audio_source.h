#pragma once

#include <string>
#include <vector>

#include "input/sensor.h"

namespace thwack {

// Mono samples in [-1, 1].
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual std::string description() const = 0;
    virtual bool isReplay() const = 0;
    virtual double sampleRate() const = 0;
    // Replaces block with the next samples.
    virtual ReadStatus read(std::vector<float>& block) = 0;
};

} // namespace thwack
