#include "log_line.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace zonkle {
namespace {

// How long the process's exit waits for lines still queued (a reader that has stopped would
// otherwise hold it forever).
constexpr auto exitFlushLimit = std::chrono::seconds(2);
constexpr std::size_t maxDirectLineBytes = 512;

class LogWriter final {
public:
    LogWriter() {
        std::thread([this] { run(); }).detach();
        std::atexit([] { instance().flushBeforeExit(); });
    }

    // Never destroyed: its thread may still be writing while the process exits.
    static LogWriter& instance() {
        static LogWriter* const writer = new LogWriter;
        return *writer;
    }

    void queue(std::string_view text) {
        std::string line;
        line.reserve(text.size() + 1);
        line.append(text).push_back('\n');
        std::lock_guard lock(mutex);
        // The usual case, nothing waiting and room for the line: write at once on this thread,
        // which wakes no other. Where poll finds room, a pipe takes up to PIPE_BUF bytes and a
        // terminal far more than a short line without blocking (we are their only writer).
        if (pending.empty() && dropped == 0 && !writing && line.size() <= maxDirectLineBytes && writable()) {
            writeAll(line);
            return;
        }
        if (pending.size() + line.size() > maxPendingLogBytes) {
            ++dropped;
            return;
        }
        noteDropped();
        pending += line;
        changed.notify_all();
    }

private:
    // Called with the lock held: puts the count of dropped lines where they would have been.
    void noteDropped() {
        if (dropped > 0) {
            pending += std::to_string(dropped) + " log lines dropped while standard output was not being read.\n";
            dropped = 0;
        }
    }

    void run() {
        std::string batch;
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return !pending.empty() || dropped > 0; });
            noteDropped();
            batch.swap(pending);
            writing = true;
            lock.unlock();
            writeAll(batch);
            batch.clear();
            lock.lock();
            writing = false;
            changed.notify_all();
        }
    }

    // Blocking writes, on this thread only. A descriptor that someone else made non-blocking
    // is waited for; after any other error (the reader has gone) the lines are dropped.
    static void writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t count = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
            if (count >= 0) {
                bytes.remove_prefix(static_cast<std::size_t>(count));
            } else if (errno == EAGAIN) {
                pollfd watched{STDOUT_FILENO, POLLOUT, 0};
                ::poll(&watched, 1, -1);
            } else if (errno != EINTR) {
                return;
            }
        }
    }

    static bool writable() {
        pollfd watched{STDOUT_FILENO, POLLOUT, 0};
        return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLOUT) != 0;
    }

    void flushBeforeExit() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, exitFlushLimit, [this] { return pending.empty() && dropped == 0 && !writing; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::string pending;
    std::size_t dropped = 0;
    bool writing = false;
};

} // namespace

void writeLogLine(std::string_view text) {
    LogWriter::instance().queue(text);
}

} // namespace zonkle
