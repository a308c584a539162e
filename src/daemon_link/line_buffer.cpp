#include "line_buffer.h"

namespace zonkle {

LineBuffer::LineBuffer(std::size_t maxLineLength) : maxLineLength(maxLineLength) {}

// A line is overlong when it holds more than maxLineLength bytes before its 0x0A, whether its
// 0x0A came in the same read or never comes; so the lines and overflow reports do not depend
// on how the stream was cut into reads.
void LineBuffer::append(std::string_view bytes, const std::function<void(std::string_view)>& onLine,
                        const std::function<void()>& onOverflow) {
    while (!bytes.empty()) {
        const std::size_t lineFeed = bytes.find('\n');
        if (discarding) {
            if (lineFeed == std::string_view::npos) {
                return;
            }
            discarding = false;
        } else if (lineFeed == std::string_view::npos) {
            if (pending.size() + bytes.size() > maxLineLength) {
                std::string().swap(pending); // give the memory back too
                discarding = true;
                onOverflow();
            } else {
                pending.append(bytes);
            }
            return;
        } else if (pending.size() + lineFeed > maxLineLength) {
            std::string().swap(pending);
            onOverflow();
        } else if (pending.empty()) {
            onLine(bytes.substr(0, lineFeed)); // the common case: no copy
        } else {
            pending.append(bytes.substr(0, lineFeed));
            onLine(pending);
            pending.clear();
        }
        bytes.remove_prefix(lineFeed + 1);
    }
}

} // namespace zonkle
