#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>

namespace thwack {

// Writes a mono 16-bit PCM WAV file. The header is kept up to date after every append,
// so the file is valid at any moment, even if the process is killed.
class WavWriter final {
public:
    WavWriter(const std::filesystem::path& path, int sampleRate);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool isOpen() const { return file != nullptr; }
    bool append(std::span<const float> samples);
    std::uint32_t frameCount() const { return frames; }

    static bool write(const std::filesystem::path& path, int sampleRate, std::span<const float> samples);

private:
    bool writeHeader();

    std::FILE* file = nullptr;
    int rate;
    std::uint32_t frames = 0;
};

} // namespace thwack
