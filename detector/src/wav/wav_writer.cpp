#include "wav/wav_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace thwack {

namespace {

constexpr std::size_t headerSize = 44;
constexpr float pcm16Max = 32767.0f;
// Keeps the data chunk's size within the 32-bit RIFF fields.
constexpr std::uint32_t maxFrames = (0xFFFFFFFFu - headerSize) / 2;

void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
}

void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

} // namespace

WavWriter::WavWriter(const std::filesystem::path& path, int sampleRate) : rate(sampleRate) {
    file = std::fopen(path.c_str(), "wb");
    if (file && !writeHeader()) {
        std::fclose(file);
        file = nullptr;
    }
}

WavWriter::~WavWriter() {
    if (file) {
        std::fclose(file);
    }
}

bool WavWriter::writeHeader() {
    std::array<unsigned char, headerSize> h{};
    const std::uint32_t dataBytes = frames * 2;
    std::copy_n("RIFF", 4, h.begin());
    put32(&h[4], static_cast<std::uint32_t>(headerSize - 8 + dataBytes));
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    put32(&h[16], 16);
    put16(&h[20], 1); // PCM
    put16(&h[22], 1); // mono
    put32(&h[24], static_cast<std::uint32_t>(rate));
    put32(&h[28], static_cast<std::uint32_t>(rate * 2));
    put16(&h[32], 2);
    put16(&h[34], 16);
    std::copy_n("data", 4, h.begin() + 36);
    put32(&h[40], dataBytes);
    return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(h.data(), 1, h.size(), file) == h.size() &&
           std::fseek(file, 0, SEEK_END) == 0;
}

bool WavWriter::append(std::span<const float> samples) {
    if (!file) {
        return false;
    }
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(samples.size(), maxFrames - frames));
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count) * 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        const float clamped = std::clamp(samples[i], -1.0f, 1.0f);
        put16(&bytes[2 * i], static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(clamped * pcm16Max))));
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        return false;
    }
    frames += count;
    return writeHeader() && std::fflush(file) == 0 && count == samples.size();
}

bool WavWriter::write(const std::filesystem::path& path, int sampleRate, std::span<const float> samples) {
    WavWriter writer(path, sampleRate);
    return writer.append(samples);
}

} // namespace thwack
