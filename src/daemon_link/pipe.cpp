#include "pipe.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

namespace zonkle {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int firstFreeDescriptor = STDERR_FILENO + 1;
// The kernel wakes a writer when any room frees up, not when the pipe empties, so waiting for
// an empty pipe (long lines only) checks again at this interval.
constexpr auto emptyPipeCheckInterval = std::chrono::milliseconds(1);

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// When the process was started with a standard descriptor closed, pipe2 hands out that
// number; move such an end out of the way.
std::error_code moveAboveStandardDescriptors(FileDescriptor& end) {
    if (end.get() >= firstFreeDescriptor) {
        return {};
    }
    const int moved = ::fcntl(end.get(), F_DUPFD_CLOEXEC, firstFreeDescriptor);
    if (moved < 0) {
        return lastError();
    }
    end.reset(moved);
    return {};
}

// Blocks SIGPIPE in the calling thread while alive, so a write to a pipe whose reader has gone
// fails with EPIPE instead of ending the process, and consumes the SIGPIPE such a write leaves
// pending (unless one was pending before, which is not ours to take).
class SigpipeBlock final {
public:
    SigpipeBlock() {
        ::sigemptyset(&pipeSignal);
        ::sigaddset(&pipeSignal, SIGPIPE);
        sigset_t pending;
        ::sigemptyset(&pending);
        ::sigpending(&pending);
        wasPending = ::sigismember(&pending, SIGPIPE) == 1;
        ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
    }
    ~SigpipeBlock() {
        if (brokenPipe && !wasPending) {
            const timespec noWait{};
            while (::sigtimedwait(&pipeSignal, nullptr, &noWait) == -1 && errno == EINTR) {
            }
        }
        ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;

    void noteBrokenPipe() { brokenPipe = true; }

private:
    sigset_t pipeSignal;
    sigset_t previousMask;
    bool wasPending = false;
    bool brokenPipe = false;
};

int millisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// Waits until the pipe has room (or its reader has gone). False when the deadline passed.
bool waitForRoom(int fd, Clock::time_point deadline) {
    for (;;) {
        const int timeout = millisecondsUntil(deadline);
        if (timeout == 0) {
            return false;
        }
        pollfd watched{fd, POLLOUT, 0};
        const int ready = ::poll(&watched, 1, timeout);
        if (ready == 0) {
            return false;
        }
        if (ready > 0 || errno != EINTR) {
            return true; // ready, or a poll error that the next write will report
        }
    }
}

// Waits until the pipe holds no bytes (or its reader has gone). False when the deadline passed.
bool waitForEmptyPipe(int fd, Clock::time_point deadline) {
    for (;;) {
        int queued = 0;
        if (::ioctl(fd, FIONREAD, &queued) != 0 || queued == 0) {
            return true;
        }
        // The bytes of a reader that has gone stay queued; the write will report EPIPE.
        pollfd watched{fd, POLLOUT, 0};
        if (::poll(&watched, 1, 0) > 0 && (watched.revents & POLLERR) != 0) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(emptyPipeCheckInterval, deadline - Clock::now()));
    }
}

// Grows the pipe when it could never hold the line at once.
std::error_code makePipeHold(int fd, std::size_t size) {
    const int capacity = ::fcntl(fd, F_GETPIPE_SZ);
    if (capacity < 0 || size <= static_cast<std::size_t>(capacity)) {
        return {};
    }
    if (size > INT_MAX || ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(size)) < 0) {
        return std::make_error_code(std::errc::message_size);
    }
    return {};
}

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

void FileDescriptor::reset(int newFd) {
    if (fd >= 0) {
        // Linux releases the descriptor even when close reports EINTR, so it is never retried.
        ::close(fd);
    }
    fd = newFd;
}

std::optional<Pipe> makePipe(std::error_code& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = lastError();
        return std::nullopt;
    }
    Pipe pipe{FileDescriptor(fds[0]), FileDescriptor(fds[1])};
    error = moveAboveStandardDescriptors(pipe.readEnd);
    if (!error) {
        error = moveAboveStandardDescriptors(pipe.writeEnd);
    }
    return error ? std::nullopt : std::optional<Pipe>(std::move(pipe));
}

std::error_code writeWholeLine(int fd, std::string_view line, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const auto timedOut = std::make_error_code(std::errc::resource_unavailable_try_again);
    SigpipeBlock sigpipe;
    // Up to PIPE_BUF bytes a pipe write is atomic: it takes the whole line or fails with EAGAIN.
    const bool atomic = line.size() <= PIPE_BUF;
    if (!atomic) {
        if (const auto error = makePipeHold(fd, line.size())) {
            return error;
        }
    }
    std::size_t written = 0;
    while (written < line.size()) {
        if (!atomic && written == 0 && !waitForEmptyPipe(fd, deadline)) {
            return timedOut;
        }
        const ssize_t count = ::write(fd, line.data() + written, line.size() - written);
        if (count >= 0) {
            written += static_cast<std::size_t>(count);
            continue;
        }
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EAGAIN) {
            if (error == EPIPE) {
                sigpipe.noteBrokenPipe();
            }
            return {error, std::generic_category()};
        }
        if (!waitForRoom(fd, deadline)) {
            return timedOut;
        }
    }
    return {};
}

} // namespace zonkle
