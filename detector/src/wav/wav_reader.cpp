#include "wav/wav_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace thwack {

namespace {

constexpr std::uint16_t formatPcm = 1;
constexpr std::uint16_t formatFloat = 3;
constexpr std::uint16_t formatExtensible = 0xFFFE;
constexpr std::size_t minFmtSize = 16;
constexpr std::size_t extensibleFmtSize = 26; // up to the sub-format's leading code
constexpr std::size_t maxFmtSize = 1024;      // the largest real one is 40 bytes
// What replay supports; with these the read buffer is bounded by a block's frames × 8 bytes.
constexpr int maxChannels = 2;
constexpr std::uint32_t minRateHz = 8000;
constexpr std::uint32_t maxRateHz = 192000;
constexpr float pcm16Scale = 1.0f / 32768.0f;

std::uint32_t le32(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return u[0] | (u[1] << 8) | (u[2] << 16) | (static_cast<std::uint32_t>(u[3]) << 24);
}

std::uint16_t le16(const char* p) {
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(u[0] | (u[1] << 8));
}

} // namespace

std::unique_ptr<WavReader> WavReader::open(const std::filesystem::path& path, std::string& why) {
    std::unique_ptr<WavReader> reader(new WavReader());
    reader->in.open(path, std::ios::binary);
    if (!reader->in) {
        why = "cannot open " + path.string();
        return nullptr;
    }
    std::array<char, 12> header{};
    if (!reader->in.read(header.data(), header.size()) || std::memcmp(header.data(), "RIFF", 4) != 0 ||
        std::memcmp(header.data() + 8, "WAVE", 4) != 0) {
        why = path.string() + " is not a WAV file";
        return nullptr;
    }
    bool haveFormat = false;
    std::uint16_t format = 0;
    int bits = 0;
    for (;;) {
        std::array<char, 8> chunk{};
        if (!reader->in.read(chunk.data(), chunk.size())) {
            why = path.string() + " has no data chunk";
            return nullptr;
        }
        const std::uint32_t size = le32(chunk.data() + 4);
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0) {
            if (size < minFmtSize || size > maxFmtSize) {
                why = path.string() + " has a malformed format chunk";
                return nullptr;
            }
            std::vector<char> fmt(size + (size & 1));
            if (!reader->in.read(fmt.data(), static_cast<std::streamsize>(fmt.size()))) {
                why = path.string() + " is truncated";
                return nullptr;
            }
            format = le16(fmt.data());
            reader->channels = le16(fmt.data() + 2);
            reader->rate = le32(fmt.data() + 4);
            bits = le16(fmt.data() + 14);
            if (format == formatExtensible && size >= extensibleFmtSize) {
                format = le16(fmt.data() + 24);
            }
            haveFormat = true;
        } else if (std::memcmp(chunk.data(), "data", 4) == 0) {
            if (!haveFormat) {
                why = path.string() + " has data before its format";
                return nullptr;
            }
            const bool pcm16 = format == formatPcm && bits == 16;
            const bool float32 = format == formatFloat && bits == 32;
            if (!(pcm16 || float32) || reader->channels < 1 || reader->channels > maxChannels ||
                reader->rate < minRateHz || reader->rate > maxRateHz) {
                why = path.string() + ": only mono or stereo 16-bit PCM or 32-bit float WAV files at " +
                      std::to_string(minRateHz) + "–" + std::to_string(maxRateHz) + " Hz are supported";
                return nullptr;
            }
            reader->isFloat = float32;
            reader->bytesPerSample = bits / 8;
            // A writer that never patched the size leaves 0 or 0xFFFFFFFF: read to the end then.
            const std::uint64_t frameBytes = static_cast<std::uint64_t>(reader->bytesPerSample) * reader->channels;
            reader->frames = size == 0 || size == 0xFFFFFFFFu ? UINT64_MAX : size / frameBytes;
            reader->framesLeft = reader->frames;
            return reader;
        } else {
            reader->in.seekg(size + (size & 1), std::ios::cur);
        }
    }
}

bool WavReader::read(std::vector<float>& out, std::size_t maxFrames) {
    out.clear();
    const std::size_t frameBytes = static_cast<std::size_t>(bytesPerSample) * channels;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>({maxFrames, framesLeft, maxReadFrames}));
    raw.resize(wanted * frameBytes);
    in.read(raw.data(), static_cast<std::streamsize>(raw.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount()) / frameBytes;
    framesLeft -= got;
    out.resize(got);
    for (std::size_t i = 0; i < got; ++i) {
        float sum = 0.0f;
        for (int c = 0; c < channels; ++c) {
            const char* p = raw.data() + i * frameBytes + static_cast<std::size_t>(c) * bytesPerSample;
            if (isFloat) {
                float value;
                const std::uint32_t bitsValue = le32(p);
                std::memcpy(&value, &bitsValue, sizeof value);
                sum += value;
            } else {
                sum += static_cast<float>(static_cast<std::int16_t>(le16(p))) * pcm16Scale;
            }
        }
        out[i] = sum / static_cast<float>(channels);
    }
    if (got < wanted) {
        framesLeft = 0;
    }
    return !out.empty();
}

std::vector<float> WavReader::readAll(const std::filesystem::path& path, double& sampleRate, std::string& why) {
    auto reader = open(path, why);
    if (!reader) {
        return {};
    }
    sampleRate = reader->sampleRate();
    std::vector<float> all;
    std::vector<float> block;
    while (reader->read(block, maxReadFrames)) {
        all.insert(all.end(), block.begin(), block.end());
    }
    return all;
}

} // namespace thwack
