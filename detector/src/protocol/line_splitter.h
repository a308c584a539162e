#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace thwack {

// Cuts the command stream into lines at 0x0A. A line longer than the bound is dropped and
// the bytes up to its line feed are skipped, so a huge line cannot exhaust memory.
class LineSplitter final {
public:
    static constexpr std::size_t defaultMaxLineBytes = 1024 * 1024;

    explicit LineSplitter(std::size_t maxLineBytes = defaultMaxLineBytes);

    // Returns the lines completed by these bytes, without their line feeds.
    std::vector<std::string> feed(std::string_view bytes);

    // Number of overlong lines dropped since the last call.
    std::size_t takeDroppedCount();

    std::size_t pendingSize() const { return pending.size(); }

private:
    std::size_t maxLineBytes;
    std::string pending;
    bool discarding = false;
    std::size_t dropped = 0;
};

} // namespace thwack
