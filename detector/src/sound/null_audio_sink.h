#pragma once

#include "sound/audio_sink.h"

namespace thwack {

// THWACK_AUDIO_OUT=null: sounds are "played" instantly into nothing.
class NullAudioSink final : public AudioSink {
public:
    static constexpr int nullRateHz = 48000;

    std::string description() const override { return "no sound output (null)"; }
    int sampleRate() const override { return nullRateHz; }
    bool write(std::span<const float>) override { return true; }
    void discard() override {}
    bool isRealTime() const override { return false; }
};

} // namespace thwack
