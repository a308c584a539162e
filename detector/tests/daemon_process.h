#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace thwack::test {

// The real thwack-core-daemon as a child process with pipes on stdin, stdout and stderr.
// Every wait has a generous upper bound and returns as soon as its condition holds.
class DaemonProcess final {
public:
    static constexpr auto patience = std::chrono::seconds(20);

    // Starts the daemon with this process's environment, THWACK_* removed, plus extra.
    explicit DaemonProcess(const std::map<std::string, std::string>& extra, std::vector<std::string> arguments = {});
    ~DaemonProcess();
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    pid_t pid() const { return child; }

    void send(const std::string& bytes);
    void closeInput();
    void signal(int number);

    // The next complete stdout line, or nothing if none came in time or stdout closed.
    std::optional<std::string> nextLine();
    // Waits until stderr holds text (or the daemon ended); returns whether it does.
    bool waitForStderr(const std::string& text);
    // Waits for the exit; returns the exit status, or nothing when killed by a signal or too slow.
    std::optional<int> waitForExit();

    // Everything read so far. Reading stops at the daemon's exit.
    const std::string& stdoutText() const { return out; }
    const std::string& stderrText() const { return err; }
    // Complete stdout lines read so far, after draining what has arrived.
    std::vector<std::string> allLines();

private:
    bool pump(std::chrono::steady_clock::time_point deadline); // false once both streams closed or timed out

    pid_t child = -1;
    int inFd = -1;
    int outFd = -1;
    int errFd = -1;
    std::string out;
    std::string err;
    std::size_t consumed = 0;
    std::optional<int> status;
};

} // namespace thwack::test
