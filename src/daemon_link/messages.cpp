#include "messages.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace zonkle {
namespace {

using nlohmann::json;

// Absent and null both leave `out` absent; a value that is not a string rejects the line.
bool readOptionalString(const json& object, const char* key, std::optional<std::string>& out) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return true;
    }
    if (!found->is_string()) {
        return false;
    }
    out = found->get<std::string>();
    return true;
}

} // namespace

std::optional<std::string> encodeCommand(const OutboundCommand& command) {
    if (command.sensitivity && !std::isfinite(*command.sensitivity)) {
        return std::nullopt;
    }
    // Keys in the order given, which reads naturally in logs.
    nlohmann::ordered_json object;
    object["cmd"] = command.cmd;
    if (command.sensitivity) {
        object["sensitivity"] = *command.sensitivity;
    }
    if (command.sound) {
        object["sound"] = *command.sound;
    }
    if (command.paused) {
        object["paused"] = *command.paused;
    }
    // Invalid UTF-8 becomes U+FFFD rather than an exception: the line stays valid JSON.
    std::string line = object.dump(-1, ' ', false, json::error_handler_t::replace);
    line.push_back('\n');
    return line;
}

std::optional<InboundEvent> decodeEvent(std::string_view line) {
    // The parser takes a NUL byte for the end of its input and would ignore what follows it;
    // JSON text never holds a raw NUL, so such a line is rejected as a whole.
    if (line.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    // The non-throwing parse: invalid JSON, invalid UTF-8 and numbers too large for a double
    // all become a discarded value.
    const json object = json::parse(line.begin(), line.end(), nullptr, false);
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto type = object.find("type");
    if (type == object.end() || !type->is_string()) {
        return std::nullopt;
    }
    InboundEvent event{type->get<std::string>(), std::nullopt, std::nullopt};
    if (!readOptionalString(object, "action", event.action) || !readOptionalString(object, "message", event.message)) {
        return std::nullopt;
    }
    return event;
}

} // namespace zonkle
