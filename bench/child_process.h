#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zonkle::bench {

// One program started by the harness, its standard streams wired to descriptors the
// harness chose (-1 inherits the harness's own). Terminated and reaped on destruction.
class ChildProcess final {
public:
    struct Streams {
        int input = -1;
        int output = -1;
        int error = -1;
    };

    // Environment entries ("NAME=value") are added to, or replace those of, the harness's.
    ChildProcess(const std::string& executable, const std::vector<std::string>& environment, Streams streams);
    ~ChildProcess();

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return processId; }

    // SIGTERM, then SIGKILL if it has not ended within the grace period; reaps it.
    void terminate(std::chrono::milliseconds grace = std::chrono::seconds(5));
    // Waits for it to end by itself; false (still running) after the timeout.
    bool waitForExit(std::chrono::milliseconds timeout);

private:
    pid_t processId = -1;
    bool reaped = false;
};

} // namespace zonkle::bench
