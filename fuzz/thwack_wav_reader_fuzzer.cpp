// Any bytes as a WAV file for the detector's replay reader: no crash, no sanitizer report, and
// neither a header nor the data decides how much is read at once. The file lives in memory
// (memfd) and is opened by its /proc path, as the reader opens a replay.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "wav/wav_reader.h"

namespace {

// One replay block (20 ms at 48 kHz), and a request larger than the reader's own bound.
constexpr std::size_t replayBlockFrames = 960;
constexpr std::size_t oversizedRequest = 4 * thwack::WavReader::maxReadFrames;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void readThrough(const std::string& path, std::size_t request, std::size_t bound) {
    std::string why;
    auto reader = thwack::WavReader::open(path, why);
    if (!reader) {
        if (why.empty()) {
            fail("a rejected file without a reason");
        }
        return;
    }
    if (reader->sampleRate() < 8000.0 || reader->sampleRate() > 192000.0) {
        fail("accepted a rate replay does not support");
    }
    std::vector<float> block;
    while (reader->read(block, request)) {
        if (block.size() > bound) {
            fail("a read returned more frames than allowed");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("wav", MFD_CLOEXEC);
    if (fd < 0) {
        fail("memfd_create failed");
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) {
            fail("write to memfd failed");
        }
        done += static_cast<std::size_t>(n);
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    readThrough(path, replayBlockFrames, replayBlockFrames);
    readThrough(path, oversizedRequest, thwack::WavReader::maxReadFrames);
    ::close(fd);
    return 0;
}
