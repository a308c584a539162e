#include "file_descriptor.h"

#include <unistd.h>

namespace zonkle {

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

} // namespace zonkle
