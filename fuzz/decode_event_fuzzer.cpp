// Any bytes as one line: the decoder never crashes, leaks or trips UBSan, and its decision
// (event or rejection, and the event's fields) agrees with EventKeyCheck. The same bytes read
// as a command must not crash either, and a command that decodes survives a round trip.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "daemon_link/messages.h"
#include "event_key_check.h"
#include "reverse_codec.h"

namespace {

using zonkle::InboundEvent;

std::string describe(const std::optional<InboundEvent>& event) {
    if (!event) {
        return "rejected";
    }
    const auto text = [](const std::optional<std::string>& value) { return value ? '"' + *value + '"' : "absent"; };
    return "type \"" + event->type + "\", action " + text(event->action) + ", message " + text(event->message);
}

[[noreturn]] void fail(const char* what, const std::optional<InboundEvent>& got,
                       const std::optional<InboundEvent>& expected) {
    std::fprintf(stderr, "%s\n  decoder: %s\n  expected: %s\n", what, describe(got).c_str(),
                 describe(expected).c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);

    const auto decoded = zonkle::decodeEvent(line);
    const auto expected = zonkle::fuzz::EventKeyCheck::expectedEvent(line);
    if (decoded != expected) {
        fail("decoder and key check disagree", decoded, expected);
    }

    // Trailing white space (a carriage return before the line feed) never changes the outcome.
    for (const char* tail : {"\r", " \t"}) {
        const auto padded = zonkle::decodeEvent(std::string(line) + tail);
        if (padded != decoded) {
            fail("trailing white space changed the outcome", padded, decoded);
        }
    }

    // Whatever decodes encodes to one line that decodes to the same event.
    if (decoded) {
        const auto encoded = zonkle::fuzz::encodeEvent(*decoded);
        if (!encoded || encoded->empty() || encoded->back() != '\n' || encoded->find('\n') != encoded->size() - 1) {
            fail("a decoded event did not encode to one line", decoded, decoded);
        }
        const auto again = zonkle::decodeEvent(std::string_view(*encoded).substr(0, encoded->size() - 1));
        if (again != decoded) {
            fail("encoding a decoded event does not decode back", again, decoded);
        }
    }
    if (const auto command = zonkle::fuzz::decodeCommand(line)) {
        const auto encoded = zonkle::encodeCommand(*command);
        if (!encoded ||
            zonkle::fuzz::decodeCommand(std::string_view(*encoded).substr(0, encoded->size() - 1)) != command) {
            std::fprintf(stderr, "a decoded command does not survive encoding\n");
            std::abort();
        }
    }
    return 0;
}
