#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "wav/wav_writer.h"

namespace thwack {

// THWACK_AUDIO_OUT=file.wav during a replay: what would be played, on the replay's own timeline.
// Sample 0 of the file is the input's first moment, so the time from a knock to the first
// sample of its sound can be read off the two files. A sound starts at the end of the live
// capture read (10 ms) in which its hit was confirmed, the earliest the daemon could start it;
// the output device's own buffering comes on top and is not in the file. A new sound cuts off
// the one before, as on a real device.
class TimelineWavSink final {
public:
    static constexpr double readPeriodSeconds = 0.01;

    static std::unique_ptr<TimelineWavSink> open(const std::filesystem::path& path, int sampleRate, std::string& why);
    ~TimelineWavSink();
    TimelineWavSink(const TimelineWavSink&) = delete;
    TimelineWavSink& operator=(const TimelineWavSink&) = delete;

    std::string description() const { return "WAV file " + path.string() + " on the replay's timeline"; }
    int sampleRate() const { return rate; }

    // The sound must outlive the sink (the sound bank owns it).
    void play(const std::vector<float>& sound, double streamSeconds);
    // Writes the rest of the last sound.
    void finish();

private:
    TimelineWavSink(const std::filesystem::path& path, int sampleRate);
    void writeUntil(std::size_t end); // the pending sound, then silence, up to sample end

    std::filesystem::path path;
    int rate;
    WavWriter writer;
    std::size_t written = 0;
    const std::vector<float>* pending = nullptr;
    std::size_t pendingStart = 0;
};

} // namespace thwack
