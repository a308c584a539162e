#pragma once

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

} // namespace zonkle
