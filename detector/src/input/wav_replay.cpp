#include "input/wav_replay.h"

namespace thwack {

namespace {
// 20 ms at 48 kHz: short next to the refractory period, so a hit's own-sound mute starts in time.
constexpr std::size_t blockFrames = 960;
} // namespace

WavReplay::WavReplay(std::unique_ptr<WavReader> reader, std::string name)
    : reader(std::move(reader)), name(std::move(name)) {}

std::unique_ptr<WavReplay> WavReplay::open(const std::filesystem::path& path, std::string& why) {
    auto reader = WavReader::open(path, why);
    if (!reader) {
        return nullptr;
    }
    return std::unique_ptr<WavReplay>(new WavReplay(std::move(reader), "replay of " + path.string()));
}

ReadStatus WavReplay::read(std::vector<float>& block) {
    return reader->read(block, blockFrames) ? ReadStatus::ok : ReadStatus::endOfData;
}

} // namespace thwack
