#include "sound/wav_file_sink.h"

#include <cerrno>
#include <cstring>

namespace thwack {

WavFileSink::WavFileSink(const std::filesystem::path& path) : path(path), writer(path, fileRateHz) {}

std::unique_ptr<WavFileSink> WavFileSink::open(const std::filesystem::path& path, std::string& why) {
    std::unique_ptr<WavFileSink> sink(new WavFileSink(path));
    if (!sink->writer.isOpen()) {
        why = "cannot write " + path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    return sink;
}

} // namespace thwack
