#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "daemon_link/messages.h"

namespace zonkle::fuzz {

// The directions the application never takes, for round trips: an event as one JSON line
// (with its 0x0A), and one line (without it) decoded as a command by the rules events follow.
std::optional<std::string> encodeEvent(const InboundEvent& event);
std::optional<OutboundCommand> decodeCommand(std::string_view line);

} // namespace zonkle::fuzz
