#include "sound/timeline_wav_sink.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <span>

namespace thwack {

namespace {
constexpr std::size_t silenceChunk = 4096;
} // namespace

TimelineWavSink::TimelineWavSink(const std::filesystem::path& path, int sampleRate)
    : path(path), rate(sampleRate), writer(path, sampleRate) {}

TimelineWavSink::~TimelineWavSink() {
    finish();
}

std::unique_ptr<TimelineWavSink> TimelineWavSink::open(const std::filesystem::path& path, int sampleRate,
                                                       std::string& why) {
    std::unique_ptr<TimelineWavSink> sink(new TimelineWavSink(path, sampleRate));
    if (!sink->writer.isOpen()) {
        why = "cannot write " + path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    return sink;
}

void TimelineWavSink::play(const std::vector<float>& sound, double streamSeconds) {
    // The tiny allowance keeps a hit that lies exactly on a read's end in that read.
    const double start = std::ceil(streamSeconds / readPeriodSeconds - 1e-6) * readPeriodSeconds;
    const auto startSample = std::max(written, static_cast<std::size_t>(std::llround(start * rate)));
    writeUntil(startSample);
    pending = &sound;
    pendingStart = startSample;
}

void TimelineWavSink::finish() {
    if (pending != nullptr) {
        writeUntil(pendingStart + pending->size());
        pending = nullptr;
    }
}

void TimelineWavSink::writeUntil(std::size_t end) {
    if (pending != nullptr && written < pendingStart + pending->size()) {
        const std::size_t from = written - pendingStart;
        const std::size_t to = std::min(pending->size(), end - pendingStart);
        if (to > from) {
            writer.append(std::span(pending->data() + from, to - from));
            written += to - from;
        }
    }
    const std::vector<float> silence(silenceChunk, 0.0f);
    while (written < end) {
        const std::size_t count = std::min(silenceChunk, end - written);
        writer.append(std::span(silence.data(), count));
        written += count;
    }
}

} // namespace thwack
