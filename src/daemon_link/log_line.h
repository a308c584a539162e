#pragma once

#include <functional>
#include <string_view>

namespace zonkle {

// Receives one log line without its line feed. May be called from any thread.
using LogSink = std::function<void(std::string_view)>;

// Writes the text and a line feed to standard output and flushes at once, so a reader
// of a pipe sees each line as soon as it is written. Safe to call from several threads.
void writeLogLine(std::string_view text);

} // namespace zonkle
