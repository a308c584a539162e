#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace thwack {

// Streams a RIFF/WAVE file (16-bit PCM or 32-bit float, mono or stereo, 8–192 kHz) as mono
// samples. Nothing in the file decides how much memory is used: a read takes at most
// maxReadFrames frames.
class WavReader final {
public:
    static constexpr std::size_t maxReadFrames = 65536;

    static std::unique_ptr<WavReader> open(const std::filesystem::path& path, std::string& why);

    double sampleRate() const { return rate; }
    std::uint64_t frameCount() const { return frames; }

    // Replaces out with up to maxFrames (at most maxReadFrames) mono samples, channels averaged;
    // empty at the end.
    bool read(std::vector<float>& out, std::size_t maxFrames);

    // Reads the remaining samples of a file in one go.
    static std::vector<float> readAll(const std::filesystem::path& path, double& sampleRate, std::string& why);

private:
    WavReader() = default;

    std::ifstream in;
    double rate = 0.0;
    int channels = 0;
    int bytesPerSample = 0;
    bool isFloat = false;
    std::uint64_t frames = 0;
    std::uint64_t framesLeft = 0;
    std::vector<char> raw;
};

} // namespace thwack
