#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "pipe.h"

namespace zonkle {
namespace {

constexpr int firstFreeDescriptor = STDERR_FILENO + 1;

// When the process was started with a standard descriptor closed, pipe2 hands out that
// number; move such an end out of the way.
bool moveAboveStandardDescriptors(FileDescriptor& end, int& error) {
    if (end.get() >= firstFreeDescriptor) {
        return true;
    }
    const int moved = ::fcntl(end.get(), F_DUPFD_CLOEXEC, firstFreeDescriptor);
    if (moved < 0) {
        error = errno;
        return false;
    }
    end.reset(moved);
    return true;
}

} // namespace

std::optional<Pipe> makePipe(int& error) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = errno;
        return std::nullopt;
    }
    Pipe pipe{FileDescriptor(fds[0]), FileDescriptor(fds[1])};
    if (!moveAboveStandardDescriptors(pipe.readEnd, error) || !moveAboveStandardDescriptors(pipe.writeEnd, error)) {
        return std::nullopt;
    }
    return pipe;
}

} // namespace zonkle
