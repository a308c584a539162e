// A stand-in for thwack-core-daemon used by the benchmarks. It is started with no arguments
// (as the app starts its detector) and steered by the environment:
//
//   ZONKLE_PROBE_REPORT        path of a FIFO or file that receives the probe's timestamps
//   ZONKLE_PROBE_MODE          "idle" (default), "latency" or "burst"
//   ZONKLE_PROBE_HITS          hits to write (latency, burst)
//   ZONKLE_PROBE_INTERVAL_US   spacing of the latency hits in microseconds (default 5000)
//   ZONKLE_PROBE_START         "signal": write the hits only once SIGUSR1 has arrived
//
// It waits for the first line on standard input (the app's first "config") and reports
// "config <ns> <pid> <ns its main() began>"; with ZONKLE_PROBE_START=signal it then waits for SIGUSR1, so the
// harness can let the app finish starting first. In latency mode it writes one hit line every interval and afterwards
// reports "hit <i> <ns>" for each, the time taken just before its write. In burst mode it
// writes all hit lines at once and reports "burst <ns before> <ns after>". Then it reports
// "done", keeps reading its input and exits when that ends (at once, in any mode). Times are CLOCK_MONOTONIC in
// nanoseconds, comparable across the processes of one machine.

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::string_view hitLine = "{\"type\":\"event\",\"action\":\"hit\"}\n";
constexpr long defaultIntervalMicroseconds = 5000;
constexpr std::int64_t nanosecondsPerSecond = 1'000'000'000;
constexpr std::size_t readChunk = 4096;

std::int64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * nanosecondsPerSecond + now.tv_nsec;
}

void sleepUntil(std::int64_t nanoseconds) {
    const timespec deadline{static_cast<time_t>(nanoseconds / nanosecondsPerSecond),
                            static_cast<long>(nanoseconds % nanosecondsPerSecond)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

// Blocks until one whole line has arrived on standard input; false at its end.
bool waitForFirstLine() {
    char byte = 0;
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, &byte, 1);
        if (got == 1 && byte == '\n') {
            return true;
        }
        if (got == 0 || (got < 0 && errno != EINTR)) {
            return false;
        }
    }
}

// Reads and drops the app's later commands; the end of the input ends the probe, whatever
// it is doing (the app has gone).
[[noreturn]] void drainInputUntilEnd() {
    char chunk[readChunk];
    for (;;) {
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got == 0 || (got < 0 && errno != EINTR)) {
            std::_Exit(0);
        }
    }
}

} // namespace

int main() {
    const std::int64_t startedAt = monotonicNanoseconds();
    const std::string reportPath = environment("ZONKLE_PROBE_REPORT", "");
    const std::string mode = environment("ZONKLE_PROBE_MODE", "idle");
    const long hits = std::strtol(environment("ZONKLE_PROBE_HITS", "0").c_str(), nullptr, 10);
    const long intervalMicroseconds = std::strtol(environment("ZONKLE_PROBE_INTERVAL_US", "5000").c_str(), nullptr, 10);
    const std::int64_t interval =
        (intervalMicroseconds > 0 ? intervalMicroseconds : defaultIntervalMicroseconds) * 1000;

    const int report = reportPath.empty() ? -1 : open(reportPath.c_str(), O_WRONLY | O_CLOEXEC);
    const auto tell = [report](const std::string& line) {
        if (report >= 0) {
            writeAll(report, line + "\n");
        }
    };

    // Blocked before any thread starts, so only sigwait below receives it.
    sigset_t startSignal;
    sigemptyset(&startSignal);
    sigaddset(&startSignal, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &startSignal, nullptr);

    if (!waitForFirstLine()) {
        return 0;
    }
    tell("config " + std::to_string(monotonicNanoseconds()) + ' ' + std::to_string(getpid()) + ' ' +
         std::to_string(startedAt));

    // Later commands (a panel push, for example) must never find a full pipe.
    std::thread drain(drainInputUntilEnd);

    if (environment("ZONKLE_PROBE_START", "") == "signal") {
        int received = 0;
        sigwait(&startSignal, &received);
    }

    if (mode == "latency") {
        std::vector<std::int64_t> writtenAt(static_cast<std::size_t>(hits > 0 ? hits : 0));
        std::int64_t next = monotonicNanoseconds() + interval;
        for (auto& stamp : writtenAt) {
            sleepUntil(next);
            stamp = monotonicNanoseconds();
            writeAll(STDOUT_FILENO, hitLine);
            next += interval;
        }
        std::string lines;
        for (std::size_t i = 0; i < writtenAt.size(); ++i) {
            lines += "hit " + std::to_string(i + 1) + ' ' + std::to_string(writtenAt[i]) + '\n';
        }
        if (report >= 0) {
            writeAll(report, lines);
        }
    } else if (mode == "burst") {
        std::string burst;
        burst.reserve(hitLine.size() * static_cast<std::size_t>(hits > 0 ? hits : 0));
        for (long i = 0; i < hits; ++i) {
            burst += hitLine;
        }
        const std::int64_t before = monotonicNanoseconds();
        writeAll(STDOUT_FILENO, burst);
        tell("burst " + std::to_string(before) + ' ' + std::to_string(monotonicNanoseconds()));
    }
    tell("done");

    drain.join(); // never returns: the end of the input ends the process
    return 0;
}
