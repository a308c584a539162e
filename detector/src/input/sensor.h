#pragma once

#include <string>
#include <vector>

namespace thwack {

// pending: nothing arrived within the read's short wait; ask again.
enum class ReadStatus { ok, pending, endOfData, failed };

// A source of readings together with the detector that suits it.
class Sensor {
public:
    virtual ~Sensor() = default;

    virtual std::string description() const = 0;
    // A replayed file: it starts with the first "config" and runs faster than real time.
    virtual bool isReplay() const = 0;
    // True for the microphone, which must not listen to the daemon's own sounds.
    virtual bool hearsOwnSounds() const = 0;

    virtual void setSensitivity(double sensitivity) = 0;
    virtual void muteUntil(double streamSeconds) = 0;

    // Reads the next readings (blocking for at most a fraction of a second) and appends the
    // stream times of the hits they complete.
    virtual ReadStatus pump(std::vector<double>& hitTimes) = 0;
};

} // namespace thwack
