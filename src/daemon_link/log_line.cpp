#include "log_line.h"

#include <cstdio>
#include <string>

namespace zonkle {

void writeLogLine(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 1);
    line.append(text).push_back('\n');
    // One locked write and flush per line: lines from several threads never interleave, and a
    // reader of a pipe sees each line at once rather than when a buffer fills.
    ::flockfile(stdout);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    ::funlockfile(stdout);
}

} // namespace zonkle
