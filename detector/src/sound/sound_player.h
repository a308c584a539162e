#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/audio_sink.h"

namespace thwack {

// Plays sounds on a thread of its own. A new sound cuts off the one that is playing.
class SoundPlayer final {
public:
    // Samples written per step; a cut-off takes effect between steps.
    static constexpr double chunkSeconds = 0.01;

    explicit SoundPlayer(std::unique_ptr<AudioSink> sink);
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // The sound must outlive the player (the sound bank owns it). Returns at once.
    void play(const std::vector<float>& sound);

    // Blocks until every sound asked for has finished, been cut off or been replaced.
    void waitUntilIdle();

private:
    void run();

    std::unique_ptr<AudioSink> sink;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    const std::vector<float>* requested = nullptr;
    std::uint64_t requests = 0;
    std::uint64_t handled = 0;
    bool stopping = false;
    bool failureReported = false;
    std::thread worker;
};

} // namespace thwack
