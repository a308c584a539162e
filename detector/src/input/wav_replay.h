#pragma once

#include <filesystem>
#include <memory>

#include "input/audio_source.h"
#include "wav/wav_reader.h"

namespace thwack {

// Microphone input from a WAV file, read faster than real time.
class WavReplay final : public AudioSource {
public:
    static std::unique_ptr<WavReplay> open(const std::filesystem::path& path, std::string& why);

    std::string description() const override { return name; }
    bool isReplay() const override { return true; }
    double sampleRate() const override { return reader->sampleRate(); }
    ReadStatus read(std::vector<float>& block) override;

private:
    WavReplay(std::unique_ptr<WavReader> reader, std::string name);

    std::unique_ptr<WavReader> reader;
    std::string name;
};

} // namespace thwack
