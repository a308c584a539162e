#include "message_codec.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace zonkle {
namespace {

using nlohmann::json;
// Encoding keeps the keys in the order they were given, which reads naturally in logs.
using OrderedJson = nlohmann::ordered_json;

std::optional<json> parseObject(std::string_view line) {
    // The parser takes a NUL byte for the end of its input and would ignore what follows it;
    // JSON text never holds a raw NUL, so such a line is rejected as a whole.
    if (line.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    // The non-throwing parse: invalid JSON, including invalid UTF-8, becomes a discarded value.
    json value = json::parse(line.data(), line.data() + line.size(), nullptr, false);
    if (!value.is_object()) {
        return std::nullopt;
    }
    return value;
}

// An absent key and null both leave `out` absent; any other type than the wanted one is false.
template <typename T, typename IsWanted>
bool readOptional(const json& object, const char* key, IsWanted isWanted, std::optional<T>& out) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return true;
    }
    if (!isWanted(*found)) {
        return false;
    }
    out = found->template get<T>();
    return true;
}

bool readOptionalString(const json& object, const char* key, std::optional<std::string>& out) {
    return readOptional(
        object, key, [](const json& value) { return value.is_string(); }, out);
}

std::optional<std::string> requiredString(const json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return std::nullopt;
    }
    return found->get<std::string>();
}

std::string toLine(const OrderedJson& object) {
    // Invalid UTF-8 in a string becomes U+FFFD rather than an exception: the line stays valid JSON.
    std::string line = object.dump(-1, ' ', false, json::error_handler_t::replace);
    line.push_back('\n');
    return line;
}

} // namespace

std::optional<std::string> encodeCommand(const OutboundCommand& command) {
    if (command.sensitivity && !std::isfinite(*command.sensitivity)) {
        return std::nullopt; // JSON has no form for it; the daemon keeps its configuration
    }
    try {
        OrderedJson object;
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
        return toLine(object);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<std::string> encodeEvent(const InboundEvent& event) {
    try {
        OrderedJson object;
        object["type"] = event.type;
        if (event.action) {
            object["action"] = *event.action;
        }
        if (event.message) {
            object["message"] = *event.message;
        }
        return toLine(object);
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<InboundEvent> decodeEvent(std::string_view line) {
    try {
        const auto object = parseObject(line);
        if (!object) {
            return std::nullopt;
        }
        auto type = requiredString(*object, "type");
        if (!type) {
            return std::nullopt;
        }
        InboundEvent event{std::move(*type), std::nullopt, std::nullopt};
        if (!readOptionalString(*object, "action", event.action) ||
            !readOptionalString(*object, "message", event.message)) {
            return std::nullopt;
        }
        return event;
    } catch (...) {
        return std::nullopt;
    }
}

std::optional<OutboundCommand> decodeCommand(std::string_view line) {
    try {
        const auto object = parseObject(line);
        if (!object) {
            return std::nullopt;
        }
        auto cmd = requiredString(*object, "cmd");
        if (!cmd) {
            return std::nullopt;
        }
        OutboundCommand command{std::move(*cmd), std::nullopt, std::nullopt, std::nullopt};
        // A number too large for a double parses as infinity, which no command may carry.
        const auto isFiniteNumber = [](const json& value) {
            return value.is_number() && std::isfinite(value.get<double>());
        };
        if (!readOptional(*object, "sensitivity", isFiniteNumber, command.sensitivity) ||
            !readOptionalString(*object, "sound", command.sound) ||
            !readOptional(
                *object, "paused", [](const json& value) { return value.is_boolean(); }, command.paused)) {
            return std::nullopt;
        }
        return command;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace zonkle
