#pragma once

#include <filesystem>
#include <memory>

#include "sound/audio_sink.h"
#include "wav/wav_writer.h"

namespace thwack {

// THWACK_AUDIO_OUT=file.wav: every sound played is appended to the file, back to back.
class WavFileSink final : public AudioSink {
public:
    static constexpr int fileRateHz = 48000;

    static std::unique_ptr<WavFileSink> open(const std::filesystem::path& path, std::string& why);

    std::string description() const override { return "WAV file " + path.string(); }
    int sampleRate() const override { return fileRateHz; }
    bool write(std::span<const float> samples) override { return writer.append(samples); }
    void discard() override {}
    bool isRealTime() const override { return false; }

private:
    explicit WavFileSink(const std::filesystem::path& path);

    std::filesystem::path path;
    WavWriter writer;
};

} // namespace thwack
