#pragma once

#include <optional>

#include "file_descriptor.h"

namespace zonkle {

// Both ends are close-on-exec, so no child process inherits them by accident, and numbered
// above the standard descriptors, so handing them to a child as its 0 and 1 can never
// overwrite one with the other.
struct Pipe {
    FileDescriptor readEnd;
    FileDescriptor writeEnd;
};

// Makes a pipe; on failure returns nothing and sets `error` to the errno.
std::optional<Pipe> makePipe(int& error);

} // namespace zonkle
