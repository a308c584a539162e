#pragma once

#include <optional>
#include <string>

namespace zonkle {

// One message from the detector daemon.
struct InboundEvent {
    std::string type;
    std::optional<std::string> action;
    std::optional<std::string> message;

    friend bool operator==(const InboundEvent&, const InboundEvent&) = default;
};

} // namespace zonkle
