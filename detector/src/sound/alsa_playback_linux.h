#pragma once

#include <memory>
#include <string>

#include "sound/audio_sink.h"

typedef struct _snd_pcm snd_pcm_t;

namespace thwack {

class AlsaPlayback final : public AudioSink {
public:
    static constexpr int playbackRateHz = 48000;

    static std::unique_ptr<AlsaPlayback> open(const std::string& device, std::string& why);
    ~AlsaPlayback() override;
    AlsaPlayback(const AlsaPlayback&) = delete;
    AlsaPlayback& operator=(const AlsaPlayback&) = delete;

    std::string description() const override { return "ALSA " + device; }
    int sampleRate() const override { return playbackRateHz; }
    bool write(std::span<const float> samples) override;
    void discard() override;

private:
    AlsaPlayback() = default;

    snd_pcm_t* pcm = nullptr;
    std::string device;
};

} // namespace thwack
