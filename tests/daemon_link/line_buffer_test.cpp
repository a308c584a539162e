#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "daemon_link/line_buffer.h"

namespace zonkle {
namespace {

constexpr const char* overflow = "<overflow>";

// What a buffer reports for a stream given in `chunks`: each line, and each overflow in its place.
std::vector<std::string> feed(LineBuffer& buffer, const std::vector<std::string>& chunks) {
    std::vector<std::string> seen;
    for (const auto& chunk : chunks) {
        buffer.append(
            chunk, [&](std::string_view line) { seen.emplace_back(line); }, [&] { seen.emplace_back(overflow); });
    }
    return seen;
}

struct FramingCase {
    const char* behaviour;
    std::size_t maxLineLength;
    std::vector<std::string> chunks;
    std::vector<std::string> expected;
    std::size_t pendingAfter;
};

const FramingCase framingCases[] = {
    {"joinsALineSplitOverReads", 64, {"ab", "c", "d\ne"}, {"abcd"}, 1},
    {"keepsAPartialLineUntilItsLineFeed", 64, {"a\nbcd"}, {"a"}, 3},
    {"deliversBlankLinesAndKeepsCarriageReturns", 64, {"a\r\n\n\r\n"}, {"a\r", "", "\r"}, 0},
    {"discardsOverlongLineAndResumesAfterNextLineFeed", 4, {"ab", "cde", "fgh", "ij\nx", "\n"}, {overflow, "x"}, 0},
    {"reportsOverflowOncePerLine", 2, {"abc", "d", "e\nxyz\nok\n"}, {overflow, overflow, "ok"}, 0},
};

TEST(LineBuffer, cutsStreamsIntoLines) {
    for (const auto& c : framingCases) {
        LineBuffer buffer(c.maxLineLength);
        EXPECT_EQ(feed(buffer, c.chunks), c.expected) << c.behaviour;
        EXPECT_EQ(buffer.pendingSize(), c.pendingAfter) << c.behaviour;
    }
}

TEST(LineBuffer, reportsTheSameWhateverTheReadsLookLike) {
    const std::string stream = "ab\n\nlonger line\r\n1234567\n12345678\nx\nlonglonglong\nyy\nend";
    constexpr std::size_t limit = 7;
    LineBuffer whole(limit);
    const auto expected = feed(whole, {stream});
    ASSERT_EQ(expected, (std::vector<std::string>{"ab", "", overflow, "1234567", overflow, "x", overflow, "yy"}));

    for (std::size_t first = 0; first <= stream.size(); ++first) {
        for (std::size_t second = first; second <= stream.size(); ++second) {
            LineBuffer buffer(limit);
            const auto seen =
                feed(buffer, {stream.substr(0, first), stream.substr(first, second - first), stream.substr(second)});
            ASSERT_EQ(seen, expected) << "cut at " << first << " and " << second;
        }
    }
    std::vector<std::string> bytes;
    for (const char byte : stream) {
        bytes.emplace_back(1, byte);
    }
    LineBuffer byteByByte(limit);
    EXPECT_EQ(feed(byteByByte, bytes), expected);
}

} // namespace
} // namespace zonkle
