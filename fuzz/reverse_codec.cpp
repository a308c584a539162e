#include "reverse_codec.h"

#include <nlohmann/json.hpp>

namespace zonkle::fuzz {
namespace {

using nlohmann::json;

// Absent and null leave `out` absent; a value that `isWanted` refuses rejects the line.
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

} // namespace

std::optional<std::string> encodeEvent(const InboundEvent& event) {
    nlohmann::ordered_json object;
    object["type"] = event.type;
    if (event.action) {
        object["action"] = *event.action;
    }
    if (event.message) {
        object["message"] = *event.message;
    }
    std::string line = object.dump(-1, ' ', false, json::error_handler_t::replace);
    line.push_back('\n');
    return line;
}

std::optional<OutboundCommand> decodeCommand(std::string_view line) {
    if (line.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const json object = json::parse(line.begin(), line.end(), nullptr, false);
    if (!object.is_object() || !object.contains("cmd") || !object["cmd"].is_string()) {
        return std::nullopt;
    }
    const auto isString = [](const json& value) { return value.is_string(); };
    OutboundCommand command{object["cmd"].get<std::string>(), std::nullopt, std::nullopt, std::nullopt};
    // A number too large for a double never gets here: the parser rejects the whole line
    // (nlohmann reports "number overflow"), so every number read is finite.
    if (!readOptional(
            object, "sensitivity", [](const json& value) { return value.is_number(); }, command.sensitivity) ||
        !readOptional(object, "sound", isString, command.sound) ||
        !readOptional(
            object, "paused", [](const json& value) { return value.is_boolean(); }, command.paused)) {
        return std::nullopt;
    }
    return command;
}

} // namespace zonkle::fuzz
