#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>

namespace zonkle {

// A launched child process. Its reaping and the termination request share one lock, so a
// signal is never sent to a pid that has been reaped and may already belong to another process.
class ChildProcess final {
public:
    struct SpawnResult {
        std::shared_ptr<ChildProcess> process; // empty when the launch failed
        int error = 0;                         // errno of the failure
    };

    // Starts `executable` with no arguments but its own path as argv[0], the given descriptors
    // as its standard input and output, our standard error, environment and working directory,
    // and no other descriptor.
    static SpawnResult spawn(const std::filesystem::path& executable, int standardInput, int standardOutput);

    explicit ChildProcess(pid_t pid) : processId(pid) {}

    pid_t pid() const { return processId; }

    // Sends SIGTERM unless the child has been reaped; does not wait.
    void terminate();
    // Blocks until the child has exited, then reaps it. Returns how it ended, for example
    // "exited with status 3" or "ended by signal 9 (Killed)".
    std::string waitAndReap();
    // Sends SIGKILL unless reaped, then reaps the child.
    void killAndReap();

private:
    std::mutex mutex;
    const pid_t processId;
    bool reaped = false;
};

} // namespace zonkle
