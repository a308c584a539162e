#pragma once

namespace thwack {

// Turns SIGTERM, SIGINT and SIGHUP into a readable descriptor (a self-pipe), so the main loop can
// wait for its input and for a stop request in one poll. Also ignores SIGPIPE: a vanished
// app shows up as the end of our input instead.
class StopSignal final {
public:
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    int fd() const;
};

} // namespace thwack
