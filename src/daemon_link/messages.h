#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zonkle {

// One message from the detector daemon.
struct InboundEvent {
    std::string type;
    std::optional<std::string> action;
    std::optional<std::string> message;

    friend bool operator==(const InboundEvent&, const InboundEvent&) = default;
};

// One command to the detector daemon.
struct OutboundCommand {
    std::string cmd;
    std::optional<double> sensitivity;
    std::optional<std::string> sound;
    std::optional<bool> paused;

    friend bool operator==(const OutboundCommand&, const OutboundCommand&) = default;
};

// The command as one line: compact UTF-8 JSON followed by one 0x0A. Refuses (nullopt) only a
// sensitivity that is not finite, which JSON cannot carry.
std::optional<std::string> encodeCommand(const OutboundCommand& command);

// Decodes one line (the bytes before a 0x0A, untrimmed). Rejects as a whole (nullopt) anything
// but a JSON object with a string "type" and, where present and not null, string "action" and
// "message". Other keys are ignored.
std::optional<InboundEvent> decodeEvent(std::string_view line);

} // namespace zonkle
