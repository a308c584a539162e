#include "protocol/command.h"

#include <nlohmann/json.hpp>

#include "detection/sensitivity.h"

namespace thwack {

namespace {

CommandParse failure(std::string why) {
    return CommandParse{std::nullopt, std::move(why)};
}

} // namespace

CommandParse parseCommand(std::string_view line) {
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    if (json.is_discarded()) {
        return failure("not valid JSON");
    }
    if (!json.is_object()) {
        return failure("not a JSON object");
    }
    const auto cmd = json.find("cmd");
    if (cmd == json.end() || !cmd->is_string()) {
        return failure("\"cmd\" missing or not a string");
    }
    Command command;
    const auto& name = cmd->get_ref<const std::string&>();
    if (name == "quit") {
        command.kind = Command::Kind::quit;
        return CommandParse{command, {}};
    }
    if (name != "config") {
        return failure("unknown command \"" + name + "\"");
    }
    if (const auto it = json.find("sensitivity"); it != json.end() && !it->is_null()) {
        if (!it->is_number()) {
            return failure("\"sensitivity\" is not a number");
        }
        const double clamped = clampSensitivity(it->get<double>());
        if (clamped < 0.0) {
            return failure("\"sensitivity\" is not a number");
        }
        command.sensitivity = clamped;
    }
    if (const auto it = json.find("sound"); it != json.end() && !it->is_null()) {
        if (!it->is_string()) {
            return failure("\"sound\" is not a string");
        }
        command.sound = it->get<std::string>();
    }
    if (const auto it = json.find("paused"); it != json.end() && !it->is_null()) {
        if (!it->is_boolean()) {
            return failure("\"paused\" is not a boolean");
        }
        command.paused = it->get<bool>();
    }
    return CommandParse{command, {}};
}

} // namespace thwack
