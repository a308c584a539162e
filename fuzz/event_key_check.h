#pragma once

#include <optional>
#include <string_view>

#include "daemon_link/messages.h"

namespace zonkle::fuzz {

// A second opinion on whether a line is an event, written apart from the decoder: it
// walks the line with nlohmann's SAX parser (no document is built) and applies the key
// rules itself. A later duplicate key replaces an earlier one, as in a parsed document. A
// byte-order mark before the object is accepted, as JSON parsers may.
class EventKeyCheck final {
public:
    static std::optional<InboundEvent> expectedEvent(std::string_view line);
};

} // namespace zonkle::fuzz
