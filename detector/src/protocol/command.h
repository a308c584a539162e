#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "detection/sensitivity.h"

namespace thwack {

// One command line from the app. A "config" carries only the keys that were present.
struct Command {
    enum class Kind { config, quit };

    Kind kind = Kind::config;
    std::optional<double> sensitivity; // already clamped
    std::optional<std::string> sound;
    std::optional<bool> paused;
};

// What the last "config" command asked for.
struct DetectorSettings {
    double sensitivity = defaultSensitivity;
    std::string sound = "default";
    bool paused = false;
};

struct CommandParse {
    std::optional<Command> command;
    std::string error; // set when command is empty
};

// Decodes one line (without its line feed). Keys may come in any order; null means absent;
// unknown keys are ignored. A key of the wrong type rejects the whole line.
CommandParse parseCommand(std::string_view line);

} // namespace thwack
