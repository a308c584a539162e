#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <system_error>

namespace zonkle {

inline constexpr const char* daemonExecutableName = "thwack-core-daemon";

// thwack-core-daemon in the directory of the executables the application ships as resources,
// <dir of the running executable>/../libexec/zonkle, if such a file exists. Never searches PATH
// or the working directory.
std::optional<std::filesystem::path> locateDaemonExecutable();

// A launched child process. Its reaping and the termination request share one lock, so a
// signal is never sent to a pid that has been reaped and may already belong to another process.
class ChildProcess final {
public:
    // Starts `executable` with no arguments but its own path as argv[0], the given descriptors
    // as its standard input and output, our standard error, environment and working directory,
    // no other descriptor, and a process group of its own, so that a terminal's SIGINT or
    // SIGHUP reaches only us and we end the detector in order. Null on failure, with `error` set.
    static std::shared_ptr<ChildProcess> spawn(const std::filesystem::path& executable, int standardInput,
                                               int standardOutput, std::error_code& error);

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
