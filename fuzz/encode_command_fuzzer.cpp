// Any OutboundCommand (any text, any double): encoding gives exactly one line that decodes
// back to the same values, the sensitivity bit for bit, or no bytes at all for a
// sensitivity that is not finite. Text that is not UTF-8 must not throw; it comes back as
// well-formed UTF-8. Events get the same round trip.

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <optional>
#include <string>
#include <string_view>

#include "daemon_link/messages.h"
#include "reverse_codec.h"
#include "utf8_text.h"

namespace {

using zonkle::fuzz::appendUtf8;
using zonkle::fuzz::isWellFormedUtf8;

constexpr std::size_t maxTextLength = 48;
constexpr char32_t lastScalar = 0x10FFFF;
constexpr char32_t firstSurrogate = 0xD800;
constexpr char32_t surrogateCount = 0x800;

[[noreturn]] void fail(const char* what, std::string_view line) {
    std::fprintf(stderr, "%s\n  line: %.*s\n", what, static_cast<int>(line.size()), line.data());
    std::abort();
}

// Half the texts are raw bytes (often not UTF-8), half are built from scalar values with
// the characters JSON must escape made likely.
std::string makeText(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return input.ConsumeRandomLengthString(maxTextLength);
    }
    std::string text;
    const auto count = input.ConsumeIntegralInRange<std::size_t>(0, maxTextLength);
    for (std::size_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        char32_t scalar = input.ConsumeIntegralInRange<char32_t>(0, lastScalar - surrogateCount);
        if (input.ConsumeBool()) {
            scalar %= 0x80;
        }
        if (scalar >= firstSurrogate) {
            scalar += surrogateCount;
        }
        appendUtf8(text, scalar);
    }
    return text;
}

std::optional<std::string> makeOptionalText(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return makeText(input);
    }
    return std::nullopt;
}

// Decoded text must equal the original when that was UTF-8, and be UTF-8 in any case.
bool textSurvived(const std::optional<std::string>& sent, const std::optional<std::string>& received) {
    if (sent.has_value() != received.has_value()) {
        return false;
    }
    if (!sent) {
        return true;
    }
    return isWellFormedUtf8(*received) && (!isWellFormedUtf8(*sent) || *sent == *received);
}

std::string_view withoutLineFeed(const std::string& encoded) {
    if (encoded.empty() || encoded.back() != '\n' || encoded.find('\n') != encoded.size() - 1) {
        fail("the encoding is not one line ended by one line feed", encoded);
    }
    return std::string_view(encoded).substr(0, encoded.size() - 1);
}

void checkCommand(const zonkle::OutboundCommand& command) {
    const auto encoded = zonkle::encodeCommand(command);
    if (command.sensitivity && !std::isfinite(*command.sensitivity)) {
        if (encoded) {
            fail("a sensitivity that is not finite was encoded", *encoded);
        }
        return;
    }
    if (!encoded) {
        fail("a command with a finite sensitivity was refused", "");
    }
    const auto decoded = zonkle::fuzz::decodeCommand(withoutLineFeed(*encoded));
    if (!decoded) {
        fail("an encoded command does not decode", *encoded);
    }
    const bool sameSensitivity = decoded->sensitivity.has_value() == command.sensitivity.has_value() &&
                                 (!command.sensitivity || std::bit_cast<std::uint64_t>(*decoded->sensitivity) ==
                                                              std::bit_cast<std::uint64_t>(*command.sensitivity));
    if (!sameSensitivity || decoded->paused != command.paused || !textSurvived(command.cmd, decoded->cmd) ||
        !textSurvived(command.sound, decoded->sound)) {
        fail("an encoded command decodes to other values", *encoded);
    }
}

void checkEvent(const zonkle::InboundEvent& event) {
    const auto encoded = zonkle::fuzz::encodeEvent(event);
    if (!encoded) {
        fail("an event was refused", "");
    }
    const auto decoded = zonkle::decodeEvent(withoutLineFeed(*encoded));
    if (!decoded || !textSurvived(event.type, decoded->type) || !textSurvived(event.action, decoded->action) ||
        !textSurvived(event.message, decoded->message)) {
        fail("an encoded event decodes to other values", *encoded);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);

    zonkle::OutboundCommand command;
    command.cmd = makeText(input);
    if (input.ConsumeBool()) {
        // Raw bits reach every double: NaNs, infinities, subnormals and negative zero.
        command.sensitivity = std::bit_cast<double>(input.ConsumeIntegral<std::uint64_t>());
    }
    command.sound = makeOptionalText(input);
    if (input.ConsumeBool()) {
        command.paused = input.ConsumeBool();
    }
    checkCommand(command);

    checkEvent({makeText(input), makeOptionalText(input), makeOptionalText(input)});
    return 0;
}
