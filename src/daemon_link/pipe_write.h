#pragma once

#include <chrono>
#include <string_view>

namespace zonkle {

// Writes `line` to `fd`, the non-blocking write end of a pipe, whole or not at all, waiting at
// most about `timeout` for the reader to make room. A line longer than PIPE_BUF is started only
// once the pipe is empty and large enough to take all of it, so it is never left half written.
// Never raises SIGPIPE in the process. Returns 0, or the errno of the failure: EAGAIN when the
// time ran out, EPIPE when the reader has gone, EMSGSIZE when the pipe cannot be made as large
// as the line.
int writeWholeLine(int fd, std::string_view line, std::chrono::milliseconds timeout);

} // namespace zonkle
