#include "scenarios.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <signal.h>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <utility>

#include "child_process.h"
#include "hit_arrivals.h"
#include "process_status.h"
#include "startup_watch.h"
#include "text_fields.h"
#include "timestamped_line_reader.h"

namespace zonkle::bench {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view configLine =
    "{\"cmd\":\"config\",\"paused\":false,\"sensitivity\":0.5,\"sound\":\"default\"}\n";
constexpr auto startTimeout = 30s;
constexpr auto deliveryTimeout = 120s;
constexpr std::int64_t nanosecondsPerSecond = 1'000'000'000;

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe makePipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    return {fds[0], fds[1]};
}

void closeFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Reads "<key> <fields...>" lines from the probe until one starts with the key.
std::vector<std::string> expectReport(ProbeReport& report, std::string_view key, std::chrono::milliseconds timeout) {
    for (;;) {
        const auto line = report.readLine(timeout);
        if (!line) {
            throw std::runtime_error("the probe did not report \"" + std::string(key) + "\" in time");
        }
        const auto parts = words(*line);
        if (!parts.empty() && parts.front() == key) {
            return {parts.begin(), parts.end()};
        }
    }
}

void sleepUntil(std::int64_t nanoseconds) {
    const std::int64_t left = nanoseconds - monotonicNanoseconds();
    if (left > 0) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(left));
    }
}

// Two idle windows of the same length: one from the settle time after exec, and one from
// the settle time after the application finished starting (for Zonkle without a tray, once
// it has shown its fallback window). Memory is read at the start of the second.
void measureSteadyState(pid_t pid, std::int64_t startedAt, const std::function<std::int64_t()>& startupEnd,
                        const BenchOptions& options, SteadyResult& result) {
    const std::int64_t settle = std::int64_t{options.settleSeconds} * nanosecondsPerSecond;
    const std::int64_t idle = std::int64_t{options.idleSeconds} * nanosecondsPerSecond;
    const std::int64_t earlyStart = startedAt + settle;
    sleepUntil(earlyStart);
    const SwitchCounts earlyBefore = contextSwitches(pid);
    const std::int64_t lateStart = std::max(startupEnd() + settle, earlyStart);
    // The windows may overlap: take the samples in time order.
    std::vector<std::pair<std::int64_t, int>> samples{{earlyStart + idle, 0}, {lateStart, 1}, {lateStart + idle, 2}};
    std::sort(samples.begin(), samples.end());
    SwitchCounts counts[3];
    for (const auto& [at, which] : samples) {
        sleepUntil(at);
        counts[which] = contextSwitches(pid);
        if (which == 1) {
            result.rssKib = static_cast<double>(residentKib(pid));
        }
    }
    result.startupIdleSwitches = static_cast<double>(switchesBetween(earlyBefore, counts[0], nullptr));
    result.idleSwitches = static_cast<double>(switchesBetween(counts[1], counts[2], &result.busyThreads));
}

void collectProbeResult(ProbeReport& report, const std::string& mode, long hits, HitRun& run) {
    if (mode == "latency") {
        run.writtenAt.assign(static_cast<std::size_t>(hits) + 1, 0);
        for (long i = 0; i < hits; ++i) {
            const auto hit = expectReport(report, "hit", deliveryTimeout);
            run.writtenAt.at(static_cast<std::size_t>(parseNumber(hit.at(1)))) = parseNumber(hit.at(2));
        }
    } else {
        run.writtenAt = {parseNumber(expectReport(report, "burst", deliveryTimeout).at(1))};
    }
    expectReport(report, "done", deliveryTimeout);
}

void finishHitRun(const HitArrivals& arrivals, long hits, HitRun& run) {
    run.lastArrival = arrivals.at(static_cast<std::size_t>(hits));
    if (run.writtenAt.size() == static_cast<std::size_t>(hits) + 1) {
        for (long i = 1; i <= hits; ++i) {
            run.latenciesNs.push_back(static_cast<double>(arrivals.at(static_cast<std::size_t>(i)) -
                                                          run.writtenAt[static_cast<std::size_t>(i)]));
        }
    }
}

} // namespace

// From exec to the first "config" line at the probe, then memory and idle cost.
SteadyResult zonkleSteady(const BenchTree& tree, ProbeReport& report, const BenchOptions& options) {
    report.clear();
    Pipe out = makePipe();
    Pipe errors = makePipe();
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    TimestampedLineReader reader(out.read, [](std::string_view, std::int64_t) {});
    StartupWatch startup(errors.read);
    SteadyResult result;
    {
        const std::int64_t startedAt = monotonicNanoseconds();
        ChildProcess app(tree.zonkle(), tree.environment(report, "idle", 0), {devNull, out.write, errors.write});
        closeFd(out.write);
        closeFd(errors.write);
        const std::int64_t configAt = parseNumber(expectReport(report, "config", startTimeout).at(1));
        result.startupNs = static_cast<double>(configAt - startedAt);
        measureSteadyState(
            app.pid(), startedAt, [&] { return startup.endedAt(configAt); }, options, result);
        expectReport(report, "done", startTimeout);
    }
    close(devNull);
    return result;
}

// From exec to the bare app's first event-loop turn, then memory and idle cost.
SteadyResult bareSteady(const BenchTree& tree, ProbeReport& report, const BenchOptions& options) {
    Pipe out = makePipe();
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    std::int64_t readyAt = 0;
    TimestampedLineReader reader(out.read, [&](std::string_view line, std::int64_t) {
        const auto parts = words(line);
        if (parts.size() == 2 && parts[0] == "ready") {
            readyAt = parseNumber(parts[1]);
        }
    });
    SteadyResult result;
    {
        const std::int64_t startedAt = monotonicNanoseconds();
        ChildProcess app(options.bare, tree.environment(report, "idle", 0), {devNull, out.write, devNull});
        closeFd(out.write);
        if (!reader.waitUntil([&] { return readyAt != 0; }, startTimeout)) {
            throw std::runtime_error("the bare app did not report its first event-loop turn");
        }
        result.startupNs = static_cast<double>(readyAt - startedAt);
        measureSteadyState(
            app.pid(), startedAt, [&] { return readyAt; }, options, result);
    }
    close(devNull);
    return result;
}

// The probe behind zonkle: hit lines in, "Hit detected by Go daemon! #n" lines out. The hits
// start once Zonkle has finished starting and settled.
HitRun zonkleHits(const BenchTree& tree, ProbeReport& report, const std::string& mode, long hits,
                  const BenchOptions& options) {
    report.clear();
    Pipe out = makePipe();
    Pipe errors = makePipe();
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    HitArrivals arrivals(hits);
    TimestampedLineReader reader(out.read,
                                 [&](std::string_view line, std::int64_t at) { arrivals.onZonkleLine(line, at); });
    StartupWatch startup(errors.read);
    HitRun run;
    {
        ChildProcess app(tree.zonkle(), tree.environment(report, mode, hits, options.latencyIntervalMicroseconds),
                         {devNull, out.write, errors.write});
        closeFd(out.write);
        closeFd(errors.write);
        const auto config = expectReport(report, "config", startTimeout);
        sleepUntil(startup.endedAt(parseNumber(config.at(1))) +
                   std::int64_t{options.settleSeconds} * nanosecondsPerSecond);
        kill(static_cast<pid_t>(parseNumber(config.at(2))), SIGUSR1);
        collectProbeResult(report, mode, hits, run);
        if (!reader.waitUntil([&] { return arrivals.complete(); }, deliveryTimeout)) {
            throw std::runtime_error("zonkle did not log hit #" + std::to_string(hits));
        }
        finishHitRun(arrivals, hits, run);
    }
    close(devNull);
    return run;
}

// The same probe output relayed by cat: the floor for a process boundary and a pipe hop.
HitRun relayedHits(const BenchTree& tree, ProbeReport& report, const std::string& mode, long hits,
                   const BenchOptions& options) {
    report.clear();
    Pipe in = makePipe();
    Pipe middle = makePipe();
    Pipe out = makePipe();
    HitArrivals arrivals(hits);
    TimestampedLineReader reader(out.read,
                                 [&](std::string_view line, std::int64_t at) { arrivals.onRelayedLine(line, at); });
    HitRun run;
    {
        ChildProcess probe(tree.probe(), tree.environment(report, mode, hits, options.latencyIntervalMicroseconds),
                           {in.read, middle.write, -1});
        ChildProcess cat("/bin/cat", {}, {middle.read, out.write, -1});
        closeFd(in.read);
        closeFd(middle.read);
        closeFd(middle.write);
        closeFd(out.write);
        if (write(in.write, configLine.data(), configLine.size()) != static_cast<ssize_t>(configLine.size())) {
            throw std::runtime_error("cannot configure the probe");
        }
        expectReport(report, "config", startTimeout);
        kill(probe.pid(), SIGUSR1);
        collectProbeResult(report, mode, hits, run);
        if (!reader.waitUntil([&] { return arrivals.complete(); }, deliveryTimeout)) {
            throw std::runtime_error("cat did not relay hit " + std::to_string(hits));
        }
        finishHitRun(arrivals, hits, run);
        closeFd(in.write);
        probe.waitForExit(startTimeout);
        cat.waitForExit(startTimeout);
    }
    return run;
}

StallResult inProcessStall(const BenchTree& tree, ProbeReport& report, const BenchOptions& options) {
    Pipe out = makePipe();
    StallResult result;
    bool finished = false;
    TimestampedLineReader reader(out.read, [&](std::string_view line, std::int64_t) {
        const auto parts = words(line);
        if (parts.size() == 5 && parts[0] == "stall") {
            result = {static_cast<double>(parseNumber(parts[1])), static_cast<double>(parseNumber(parts[2])),
                      static_cast<double>(parseNumber(parts[3]))};
            finished = true;
        }
    });
    {
        auto environment = tree.environment(report, "burst", options.stallHits);
        environment.push_back("ZONKLE_STALL_PROBE=" + tree.probe().string());
        environment.push_back("ZONKLE_STALL_HITS=" + std::to_string(options.stallHits));
        environment.push_back("ZONKLE_PROBE_REPORT=");
        environment.push_back("ZONKLE_PROBE_START="); // a runaway detector does not wait
        ChildProcess stall(options.stall, environment, {-1, out.write, -1});
        closeFd(out.write);
        if (!stall.waitForExit(deliveryTimeout * 3)) {
            throw std::runtime_error("the in-process burst did not finish");
        }
    }
    reader.waitUntil([&] { return finished; }, startTimeout);
    if (!finished) {
        throw std::runtime_error("the in-process burst printed no result");
    }
    return result;
}

} // namespace zonkle::bench
