#pragma once

#include <functional>
#include <string>

#include "messages.h"

namespace zonkle {

// Why no detector is running: it could not be found or launched, or it has exited.
struct DetectorFailure {
    enum class Kind { NotStarted, Exited };
    Kind kind;
    // The launch failure's reason, or how the process ended ("exited with status 3").
    std::string detail;

    friend bool operator==(const DetectorFailure&, const DetectorFailure&) = default;
};

// What the view model needs of its link to the detector. IpcClient is the real one;
// tests hand in a recording double.
class DaemonClient {
public:
    using EventCallback = std::function<void(const InboundEvent&)>;
    using FailureCallback = std::function<void(const DetectorFailure&)>;

    virtual ~DaemonClient() = default;

    virtual void start() = 0;
    virtual void send(const OutboundCommand& command) = 0;
    virtual void stop() = 0;

    // Read each time an event is delivered, on the main thread.
    EventCallback onEventReceived;
    // Called on the main thread: from start when the launch fails, and once the detector has
    // exited, after every event it wrote (not after stop, which ends it on purpose).
    FailureCallback onDetectorFailed;
};

} // namespace zonkle
