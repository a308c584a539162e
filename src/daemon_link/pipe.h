#pragma once

#include <chrono>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace zonkle {

// Owns one POSIX file descriptor and closes it when destroyed or reset.
class FileDescriptor final {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() { reset(); }

    FileDescriptor(FileDescriptor&& other) noexcept : fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd; }
    bool isOpen() const { return fd >= 0; }
    int release() { return std::exchange(fd, -1); }
    // Closes the descriptor held so far (errors ignored) and takes `newFd`.
    void reset(int newFd = -1);

private:
    int fd = -1;
};

// Both ends are close-on-exec, so no child process inherits them by accident, and numbered
// above the standard descriptors, so handing them to a child as its 0 and 1 can never
// overwrite one with the other.
struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

std::optional<Pipe> makePipe(std::error_code& error);

// Writes `line` to `fd`, the non-blocking write end of a pipe, whole or not at all, waiting at
// most about `timeout` for the reader to make room. A line longer than PIPE_BUF is started only
// once the pipe is empty and large enough to take all of it, so it is never left half written.
// Never raises SIGPIPE in the process. Fails with EAGAIN when the time ran out, EPIPE when the
// reader has gone, EMSGSIZE when the pipe cannot be made as large as the line.
std::error_code writeWholeLine(int fd, std::string_view line, std::chrono::milliseconds timeout);

} // namespace zonkle
