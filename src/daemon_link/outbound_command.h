#pragma once

#include <optional>
#include <string>

namespace zonkle {

// One command to the detector daemon.
struct OutboundCommand {
    std::string cmd;
    std::optional<double> sensitivity;
    std::optional<std::string> sound;
    std::optional<bool> paused;

    friend bool operator==(const OutboundCommand&, const OutboundCommand&) = default;
};

} // namespace zonkle
