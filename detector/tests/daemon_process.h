#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace thwack::test {

// The real thwack-core-daemon as a child process, with a pipe on its stdin and one taking both
// stdout and stderr: event lines start with '{', diagnostics with "thwack-core-daemon:", and
// each line is written whole. Every wait has a generous bound and ends once its condition holds.
class DaemonProcess final {
public:
    static constexpr auto patience = std::chrono::seconds(20);

    // Starts the daemon with this process's environment, THWACK_* removed, plus extra.
    explicit DaemonProcess(const std::map<std::string, std::string>& extra, std::vector<std::string> arguments = {});
    ~DaemonProcess();
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    void send(const std::string& bytes);
    void closeInput();
    void signal(int number) const;

    // Waits until the output holds text; false if it did not come in time or the daemon ended.
    bool waitFor(const std::string& text);
    // Waits for the exit; the exit status, or nothing when killed by a signal or too slow.
    std::optional<int> waitForExit();

    const std::string& output() const { return out; }
    // The event lines read so far (all of them after waitForExit).
    std::vector<std::string> events() const;

private:
    bool pump(std::chrono::steady_clock::time_point deadline); // false once closed or too late

    pid_t child = -1;
    int inFd = -1;
    int outFd = -1;
    std::string out;
    bool reaped = false;
};

} // namespace thwack::test
