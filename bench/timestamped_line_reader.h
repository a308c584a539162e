#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace zonkle::bench {

// Reads a pipe on its own thread, blocking in read(2), and hands each complete line to a
// callback together with the CLOCK_MONOTONIC time at which the read that completed it
// returned. The callback runs under the reader's lock, so waitUntil sees its effects.
class TimestampedLineReader final {
public:
    using LineCallback = std::function<void(std::string_view line, std::int64_t nanoseconds)>;

    TimestampedLineReader(int fd, LineCallback onLine);
    // The pipe's writers must have gone (or go) so the thread sees the end of the stream.
    ~TimestampedLineReader();

    TimestampedLineReader(const TimestampedLineReader&) = delete;
    TimestampedLineReader& operator=(const TimestampedLineReader&) = delete;

    // Waits until the condition holds (checked under the reader's lock) or the stream ends;
    // false when the timeout passed first.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

private:
    void run();

    int fd;
    LineCallback onLine;
    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    std::thread thread;
};

std::int64_t monotonicNanoseconds();

} // namespace zonkle::bench
