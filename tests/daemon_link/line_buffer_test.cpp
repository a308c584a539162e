#include <gtest/gtest.h>

#include "daemon_link/line_buffer.h"

namespace zonkle {
namespace {

// Each case is fed in the reads given and once more byte by byte: the lines, and the overflow
// reports in their places, must not depend on how the stream was cut.
TEST(LineBuffer, cutsStreamsIntoLinesWhateverTheReadsLookLike) {
    struct Case {
        std::size_t maxLineLength;
        std::vector<std::string> reads;
        std::vector<std::string> lines;
        std::size_t pendingAfter;
    };
    const std::vector<Case> cases{
        {64, {"ab", "c", "d\ne"}, {"abcd"}, 1},
        {64, {"a\r\n\n\r\n"}, {"a\r", "", "\r"}, 0},
        {4, {"ab", "cde", "fgh", "ij\nx", "\n"}, {"<overflow>", "x"}, 0},
        {7,
         {"ab\n\nlonger line\r\n1234567\n12345678\nx\nlonglong"},
         {"ab", "", "<overflow>", "1234567", "<overflow>", "x", "<overflow>"},
         0},
    };
    for (const Case& c : cases) {
        std::string stream;
        for (const auto& read : c.reads) {
            stream += read;
        }
        std::vector<std::vector<std::string>> byteReads{c.reads, {}};
        for (const char byte : stream) {
            byteReads[1].emplace_back(1, byte);
        }
        for (const auto& reads : byteReads) {
            LineBuffer buffer(c.maxLineLength);
            std::vector<std::string> seen;
            for (const auto& read : reads) {
                buffer.append(
                    read, [&](std::string_view line) { seen.emplace_back(line); },
                    [&] { seen.emplace_back("<overflow>"); });
            }
            EXPECT_EQ(seen, c.lines) << stream;
            EXPECT_EQ(buffer.pendingSize(), c.pendingAfter) << stream;
        }
    }
}

} // namespace
} // namespace zonkle
