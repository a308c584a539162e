#pragma once

#include <cstdint>

#include "timestamped_line_reader.h"

namespace zonkle::bench {

// Follows Zonkle's standard error for the line that ends its start-up without a tray: it
// waits a few seconds for one, then shows its panel in a window and says so.
class StartupWatch final {
public:
    explicit StartupWatch(int fd);

    // When start-up ended: the fallback window's appearance, or `otherwise` if none comes.
    std::int64_t endedAt(std::int64_t otherwise);

private:
    std::int64_t fallbackShownAt = 0;
    TimestampedLineReader reader;
};

} // namespace zonkle::bench
