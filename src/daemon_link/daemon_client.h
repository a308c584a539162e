#pragma once

#include <functional>

#include "inbound_event.h"
#include "outbound_command.h"

namespace zonkle {

// What the view model needs of its link to the detector. IpcClient is the real one;
// tests hand in a recording double.
class DaemonClient {
public:
    using EventCallback = std::function<void(const InboundEvent&)>;

    virtual ~DaemonClient() = default;

    virtual void start() = 0;
    virtual void send(const OutboundCommand& command) = 0;
    virtual void stop() = 0;

    // Read each time an event is delivered, on the main thread.
    EventCallback onEventReceived;
};

} // namespace zonkle
