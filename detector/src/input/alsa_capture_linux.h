#pragma once

#include <memory>
#include <string>

#include "input/audio_source.h"

typedef struct _snd_pcm snd_pcm_t;

namespace thwack {

// The microphone through ALSA; "default" reaches PipeWire or PulseAudio through their plugins.
class AlsaCapture final : public AudioSource {
public:
    static constexpr unsigned captureRateHz = 16000;

    static std::unique_ptr<AlsaCapture> open(const std::string& device, std::string& why);
    ~AlsaCapture() override;
    AlsaCapture(const AlsaCapture&) = delete;
    AlsaCapture& operator=(const AlsaCapture&) = delete;

    std::string description() const override { return "microphone (ALSA " + device + ")"; }
    bool isReplay() const override { return false; }
    double sampleRate() const override { return captureRateHz; }
    ReadStatus read(std::vector<float>& block) override;

private:
    AlsaCapture() = default;

    snd_pcm_t* pcm = nullptr;
    std::string device;
};

// ALSA prints its own diagnostics to stderr unless told not to; the daemon words its own.
void silenceAlsaDiagnostics();

} // namespace thwack
