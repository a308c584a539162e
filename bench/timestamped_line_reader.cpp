#include "timestamped_line_reader.h"

#include <cerrno>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace zonkle::bench {

namespace {

constexpr std::size_t readChunk = 64 * 1024;
constexpr std::int64_t nanosecondsPerSecond = 1'000'000'000;

} // namespace

std::int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * nanosecondsPerSecond + now.tv_nsec;
}

TimestampedLineReader::TimestampedLineReader(int fd, LineCallback onLine)
    : fd(fd), onLine(std::move(onLine)), thread([this] { run(); }) {}

TimestampedLineReader::~TimestampedLineReader() {
    thread.join();
    close(fd);
}

bool TimestampedLineReader::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return ended || condition(); }) && condition();
}

void TimestampedLineReader::run() {
    std::vector<char> chunk(readChunk);
    std::string pending;
    for (;;) {
        const ssize_t got = read(fd, chunk.data(), chunk.size());
        const std::int64_t now = monotonicNanoseconds();
        if (got < 0 && errno == EINTR) {
            continue;
        }
        std::lock_guard lock(mutex);
        if (got <= 0) {
            ended = true;
            changed.notify_all();
            return;
        }
        pending.append(chunk.data(), static_cast<std::size_t>(got));
        std::size_t start = 0;
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n', start)) {
            onLine(std::string_view(pending).substr(start, end - start), now);
            start = end + 1;
        }
        pending.erase(0, start);
        changed.notify_all();
    }
}

} // namespace zonkle::bench
