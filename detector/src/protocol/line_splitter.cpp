#include "protocol/line_splitter.h"

namespace thwack {

LineSplitter::LineSplitter(std::size_t maxLineBytes) : maxLineBytes(maxLineBytes) {}

std::vector<std::string> LineSplitter::feed(std::string_view bytes) {
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const auto newline = bytes.find('\n');
        const auto chunk = bytes.substr(0, newline);
        if (!discarding) {
            if (pending.size() + chunk.size() > maxLineBytes) {
                pending.clear();
                pending.shrink_to_fit();
                discarding = true;
                ++dropped;
            } else {
                pending.append(chunk);
            }
        }
        if (newline == std::string_view::npos) {
            break;
        }
        if (!discarding) {
            lines.push_back(std::move(pending));
        }
        pending.clear();
        discarding = false;
        bytes.remove_prefix(newline + 1);
    }
    return lines;
}

std::size_t LineSplitter::takeDroppedCount() {
    const auto count = dropped;
    dropped = 0;
    return count;
}

} // namespace thwack
