#pragma once

#include <span>
#include <string>

namespace thwack {

// Where the hit sounds go.
class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual std::string description() const = 0;
    virtual int sampleRate() const = 0;
    // Plays (or stores) the samples; may block for about one buffer of real time.
    virtual bool write(std::span<const float> samples) = 0;
    // Drops what is queued but not yet heard, when a new hit cuts a sound off.
    virtual void discard() = 0;
    // A sink outside real time (a file) takes a sound whole in an instant: the sound that is
    // being written when the daemon stops is finished rather than left half-written.
    virtual bool isRealTime() const { return true; }
};

} // namespace thwack
