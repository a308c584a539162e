#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "inbound_event.h"
#include "outbound_command.h"

namespace zonkle {

// The JSON line form of both records: compact UTF-8 JSON followed by one 0x0A.
// Encoding refuses (nullopt) only a sensitivity that is not finite.
std::optional<std::string> encodeCommand(const OutboundCommand& command);
std::optional<std::string> encodeEvent(const InboundEvent& event);

// Decodes one line (the bytes before a 0x0A, untrimmed). Rejects as a whole (nullopt)
// anything but a JSON object with a string "type" and, where present and not null,
// string "action" and "message". Other keys are ignored.
std::optional<InboundEvent> decodeEvent(std::string_view line);
std::optional<OutboundCommand> decodeCommand(std::string_view line);

} // namespace zonkle
