#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "daemon_link/inbound_event.h"
#include "daemon_link/outbound_command.h"

namespace zonkle {

// Readable failure messages for the records (found by GoogleTest through ADL).
inline void PrintTo(const std::optional<std::string>& text, std::ostream* out) {
    *out << (text ? '"' + *text + '"' : std::string("absent"));
}

inline void PrintTo(const InboundEvent& event, std::ostream* out) {
    *out << "{type \"" << event.type << "\", action ";
    PrintTo(event.action, out);
    *out << ", message ";
    PrintTo(event.message, out);
    *out << '}';
}

inline void PrintTo(const OutboundCommand& command, std::ostream* out) {
    *out << "{cmd \"" << command.cmd << "\", sensitivity "
         << (command.sensitivity ? std::to_string(*command.sensitivity) : "absent") << ", sound ";
    PrintTo(command.sound, out);
    *out << ", paused " << (command.paused ? (*command.paused ? "true" : "false") : "absent") << '}';
}

} // namespace zonkle
