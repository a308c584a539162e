#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace zonkle {

// Receives one log line without its line feed. May be called from any thread.
using LogSink = std::function<void(std::string_view)>;

// Log lines waiting for standard output; beyond this, lines are dropped and counted.
inline constexpr std::size_t maxPendingLogBytes = 1024 * 1024;

// Writes the text and a line feed to standard output without ever blocking the caller: a short
// line goes out at once when there is room for it; otherwise it is queued, and a thread of its
// own writes the queued lines, in order, as soon as the reader takes them, so a reader that stops
// (a paused pager, a stopped terminal) never holds up the caller. While more than maxPendingLogBytes wait,
// lines are dropped, and once writing goes on their number is logged in their place. Lines still
// waiting at exit get a short while to be written. Safe to call from several threads.
void writeLogLine(std::string_view text);

} // namespace zonkle
