// One byte stream cut into arbitrary reads gives the same lines and the same overflow
// reports, in the same order, as the stream read at once, and both match a plain model of
// the framing rules. Most inputs use a small line bound so overflows are cheap to reach;
// one in sixteen builds long runs around the real 1 MiB bound (slower, so rarer).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "daemon_link/line_buffer.h"

namespace {

using zonkle::LineBuffer;

// A delivered line, or nullopt for one overflow report.
using Item = std::optional<std::string>;

constexpr std::size_t maxCuts = 32;
constexpr std::size_t maxSmallCut = 64;
constexpr std::size_t maxRealBoundStream = 3 * LineBuffer::defaultMaxLineLength;
constexpr std::uint8_t realBoundOneIn = 16;
constexpr std::size_t realBoundMargin = 3;

struct Outcome {
    std::vector<Item> items;
    std::size_t pending = 0;
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The rules, written out without a buffer: every segment that ends in a line feed is a line,
// or one overflow when longer than the bound; an unfinished last segment waits, or has
// already been reported once it is longer than the bound.
Outcome model(std::string_view stream, std::size_t bound) {
    Outcome outcome;
    std::size_t start = 0;
    for (std::size_t end = stream.find('\n'); end != std::string_view::npos; end = stream.find('\n', start)) {
        const auto segment = stream.substr(start, end - start);
        outcome.items.push_back(segment.size() > bound ? Item() : Item(std::string(segment)));
        start = end + 1;
    }
    const std::size_t rest = stream.size() - start;
    if (rest > bound) {
        outcome.items.push_back(Item());
    } else {
        outcome.pending = rest;
    }
    return outcome;
}

Outcome feed(std::string_view stream, const std::vector<std::size_t>& cuts, std::size_t bound) {
    LineBuffer buffer(bound);
    Outcome outcome;
    const auto onLine = [&](std::string_view line) { outcome.items.emplace_back(std::string(line)); };
    const auto onOverflow = [&] { outcome.items.emplace_back(); };
    const auto append = [&](std::string_view bytes) {
        buffer.append(bytes, onLine, onOverflow);
        if (buffer.pendingSize() > bound) {
            fail("the pending bytes grew past the line bound");
        }
    };
    for (const std::size_t cut : cuts) {
        const std::size_t length = std::min(cut, stream.size());
        append(stream.substr(0, length));
        stream.remove_prefix(length);
    }
    append(stream);
    outcome.pending = buffer.pendingSize();
    return outcome;
}

void expectSame(const Outcome& got, const Outcome& expected, const char* what) {
    if (got.items != expected.items) {
        std::fprintf(stderr, "%zu items against %zu expected\n", got.items.size(), expected.items.size());
        fail(what);
    }
    if (got.pending != expected.pending) {
        std::fprintf(stderr, "%zu pending bytes against %zu expected\n", got.pending, expected.pending);
        fail(what);
    }
}

// Long runs of one byte, lengths near the bound, line feeds and short literal pieces.
std::string realBoundStream(FuzzedDataProvider& input) {
    constexpr std::size_t bound = LineBuffer::defaultMaxLineLength;
    std::string stream;
    while (input.remaining_bytes() > 0 && stream.size() < maxRealBoundStream) {
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            stream += input.ConsumeRandomLengthString(maxSmallCut);
            break;
        case 1:
            stream.append(bound - realBoundMargin + input.ConsumeIntegralInRange<std::size_t>(0, 2 * realBoundMargin),
                          'a');
            break;
        case 2:
            stream.append(input.ConsumeIntegralInRange<std::size_t>(0, 2 * bound), 'b');
            break;
        default:
            stream += '\n';
            break;
        }
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto mode = input.ConsumeIntegral<std::uint8_t>();
    const bool realBound = mode % realBoundOneIn == 0;
    const std::size_t bound = realBound ? LineBuffer::defaultMaxLineLength : mode / realBoundOneIn;
    const std::size_t maxCut = realBound ? 2 * LineBuffer::defaultMaxLineLength : maxSmallCut;

    std::vector<std::size_t> cuts(input.ConsumeIntegralInRange<std::size_t>(0, maxCuts));
    for (auto& cut : cuts) {
        cut = input.ConsumeIntegralInRange<std::size_t>(0, maxCut);
    }
    const std::string stream = realBound ? realBoundStream(input) : input.ConsumeRemainingBytesAsString();

    const Outcome expected = model(stream, bound);
    expectSame(feed(stream, {}, bound), expected, "the stream read at once differs from the framing rules");
    expectSame(feed(stream, cuts, bound), expected, "the stream read in pieces differs from the framing rules");
    return 0;
}
