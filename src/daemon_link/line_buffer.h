#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zonkle {

// Cuts a byte stream into lines at 0x0A. An incomplete line longer than maxLineLength is
// discarded (reported once through onOverflow) and the bytes up to the next 0x0A are
// skipped, so memory stays bounded whatever the stream holds.
class LineBuffer final {
public:
    static constexpr std::size_t defaultMaxLineLength = 1024 * 1024;

    explicit LineBuffer(std::size_t maxLineLength = defaultMaxLineLength);

    // Calls onLine for each complete line (without its 0x0A), in order.
    void append(std::string_view bytes, const std::function<void(std::string_view)>& onLine,
                const std::function<void()>& onOverflow);

    std::size_t pendingSize() const { return pending.size(); }

private:
    std::size_t maxLineLength;
    std::string pending;
    bool discarding = false;
};

} // namespace zonkle
