#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "daemon_link/inbound_event.h"

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

} // namespace zonkle
