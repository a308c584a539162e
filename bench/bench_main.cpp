// zonkle-bench: measures the Release app against its references in one run and prints the
// table of docs/PERFORMANCE.md. scripts/bench builds everything and calls it.
//
//   zonkle-bench --zonkle PATH --probe PATH --bare PATH --stall PATH [--runs N] [--idle-seconds S]

#include "child_process.h"
#include "probe_report.h"
#include "stats.h"
#include "timestamped_line_reader.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using zonkle::bench::ChildProcess;
using zonkle::bench::monotonicNanoseconds;
using zonkle::bench::ProbeReport;
using zonkle::bench::Summary;
using zonkle::bench::summarize;
using zonkle::bench::TimestampedLineReader;

constexpr std::string_view hitLogPrefix = "Hit detected by Go daemon! #";
constexpr std::string_view configLine =
    "{\"cmd\":\"config\",\"paused\":false,\"sensitivity\":0.5,\"sound\":\"default\"}\n";
constexpr std::string_view noTrayMessage = "no system tray found";
constexpr auto startTimeout = 30s;
// Zonkle waits a few seconds for a tray before it shows its fallback window.
constexpr auto trayWaitLimit = 15s;
constexpr auto deliveryTimeout = 120s;
constexpr double nanosecondsPerMillisecond = 1e6;
constexpr double nanosecondsPerMicrosecond = 1e3;
constexpr double kibPerMib = 1024;

struct Options {
    std::string zonkle;
    std::string probe;
    std::string bare;
    std::string stall;
    int runs = 10;
    int settleSeconds = 2;
    int idleSeconds = 10;
    long latencyHits = 500;
    long latencyIntervalMicroseconds = 5000;
    long burstHits = 200'000;
    long stallHits = 1'000'000;
};

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

std::int64_t parseNumber(std::string_view text) {
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> parts;
    while (!line.empty()) {
        const auto space = line.find(' ');
        parts.push_back(line.substr(0, space));
        line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    }
    return parts;
}

// A throw-away install tree: <root>/bin/zonkle with the probe as its detector in
// <root>/libexec/zonkle/, and a home of its own so no real settings are touched.
class InstallTree final {
public:
    InstallTree(const Options& options) {
        std::string pattern = (fs::temp_directory_path() / "zonkle-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        root = pattern;
        fs::create_directories(root / "bin");
        fs::create_directories(root / "libexec/zonkle");
        fs::create_directories(root / "home/.config");
        fs::create_directories(root / "run");
        fs::permissions(root / "run", fs::perms::owner_all, fs::perm_options::replace);
        fs::copy_file(options.zonkle, zonkle());
        fs::copy_file(options.probe, root / "libexec/zonkle/thwack-core-daemon");
    }
    ~InstallTree() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    fs::path zonkle() const { return root / "bin/zonkle"; }
    fs::path path(const char* name) const { return root / name; }

    std::vector<std::string> environment(const ProbeReport& report, const std::string& mode, long hits,
                                         long intervalMicroseconds = 0) const {
        return {"QT_QPA_PLATFORM=offscreen",
                "HOME=" + (root / "home").string(),
                "XDG_CONFIG_HOME=" + (root / "home/.config").string(),
                "XDG_RUNTIME_DIR=" + (root / "run").string(),
                "ZONKLE_PROBE_REPORT=" + report.path().string(),
                "ZONKLE_PROBE_MODE=" + mode,
                "ZONKLE_PROBE_HITS=" + std::to_string(hits),
                "ZONKLE_PROBE_INTERVAL_US=" + std::to_string(intervalMicroseconds),
                // Hits wait for the harness's go, so they meet a settled application.
                std::string("ZONKLE_PROBE_START=") + (mode == "idle" ? "" : "signal")};
    }

private:
    fs::path root;
};

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

long readStatusField(const fs::path& status, std::string_view field) {
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with(field) && line.size() > field.size() && line[field.size()] == ':') {
            return std::strtol(line.c_str() + field.size() + 1, nullptr, 10);
        }
    }
    return 0;
}

long residentKib(pid_t pid) { return readStatusField(fs::path("/proc") / std::to_string(pid) / "status", "VmRSS"); }

// Context switches per thread (voluntary and involuntary), keyed by thread id.
std::map<std::string, std::pair<std::string, long>> contextSwitches(pid_t pid) {
    std::map<std::string, std::pair<std::string, long>> threads;
    std::error_code error;
    for (const auto& task : fs::directory_iterator(fs::path("/proc") / std::to_string(pid) / "task", error)) {
        std::ifstream commFile(task.path() / "comm");
        std::string name;
        std::getline(commFile, name);
        const long switches = readStatusField(task.path() / "status", "voluntary_ctxt_switches") +
                              readStatusField(task.path() / "status", "nonvoluntary_ctxt_switches");
        threads[task.path().filename().string()] = {name, switches};
    }
    return threads;
}

struct SteadyResult {
    double startupNs = 0;
    double rssKib = 0;
    double idleSwitches = 0;
    double startupIdleSwitches = 0;
    std::string busyThreads;
};

using SwitchCounts = std::map<std::string, std::pair<std::string, long>>;

// Switches between two samples, and which threads made them.
long switchesBetween(const SwitchCounts& before, const SwitchCounts& after, std::string* busyThreads) {
    long total = 0;
    for (const auto& [tid, entry] : after) {
        const auto earlier = before.find(tid);
        const long delta = entry.second - (earlier != before.end() ? earlier->second.second : 0);
        total += delta;
        if (delta > 0 && busyThreads != nullptr) {
            *busyThreads += " " + entry.first + "(" + tid + ")=" + std::to_string(delta);
        }
    }
    return total;
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
                        const Options& options, SteadyResult& result) {
    const std::int64_t settle = std::int64_t{options.settleSeconds} * 1'000'000'000;
    const std::int64_t idle = std::int64_t{options.idleSeconds} * 1'000'000'000;
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

// Follows Zonkle's standard error for the line that ends its start-up without a tray.
class StartupWatch final {
public:
    explicit StartupWatch(int fd)
        : reader(fd, [this](std::string_view line, std::int64_t at) {
              if (line.find(noTrayMessage) != std::string_view::npos) {
                  fallbackShownAt = at;
              }
          }) {}

    // When start-up ended: the fallback window's appearance, or `otherwise` if none comes.
    std::int64_t endedAt(std::int64_t otherwise) {
        return reader.waitUntil([&] { return fallbackShownAt != 0; }, trayWaitLimit) ? fallbackShownAt : otherwise;
    }

private:
    std::int64_t fallbackShownAt = 0;
    TimestampedLineReader reader;
};

// From exec to the first "config" line at the probe, then memory and idle cost.
SteadyResult zonkleSteady(const InstallTree& tree, ProbeReport& report, const Options& options) {
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
        measureSteadyState(app.pid(), startedAt, [&] { return startup.endedAt(configAt); }, options, result);
        expectReport(report, "done", startTimeout);
    }
    close(devNull);
    return result;
}

// From exec to the bare app's first event-loop turn, then memory and idle cost.
SteadyResult bareSteady(const InstallTree& tree, ProbeReport& report, const Options& options) {
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
        measureSteadyState(app.pid(), startedAt, [&] { return readyAt; }, options, result);
    }
    close(devNull);
    return result;
}

// Arrival times of hit lines read from a pipe: by the number in zonkle's log line, or by
// position for the raw lines relayed by cat.
class HitArrivals final {
public:
    explicit HitArrivals(long expected) : arrivals(static_cast<std::size_t>(expected) + 1, 0) {}

    void onZonkleLine(std::string_view line, std::int64_t at) {
        if (line.starts_with(hitLogPrefix)) {
            record(parseNumber(line.substr(hitLogPrefix.size())), at);
        }
    }
    void onRelayedLine(std::string_view line, std::int64_t at) {
        if (line.find("\"hit\"") != std::string_view::npos) {
            record(++relayed, at);
        }
    }
    bool complete() const { return arrivals.back() != 0; }
    std::int64_t at(std::size_t number) const { return arrivals.at(number); }

private:
    void record(std::int64_t number, std::int64_t at) {
        if (number > 0 && static_cast<std::size_t>(number) < arrivals.size()) {
            arrivals[static_cast<std::size_t>(number)] = at;
        }
    }

    std::vector<std::int64_t> arrivals;
    std::int64_t relayed = 0;
};

struct HitRun {
    std::vector<std::int64_t> writtenAt; // latency: per hit; burst: the start of the burst
    std::int64_t lastArrival = 0;
    std::vector<double> latenciesNs;
};

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
            run.latenciesNs.push_back(
                static_cast<double>(arrivals.at(static_cast<std::size_t>(i)) - run.writtenAt[static_cast<std::size_t>(i)]));
        }
    }
}

// The probe behind zonkle: hit lines in, "Hit detected by Go daemon! #n" lines out. The hits
// start once Zonkle has finished starting and settled.
HitRun zonkleHits(const InstallTree& tree, ProbeReport& report, const std::string& mode, long hits,
                  const Options& options) {
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
                   std::int64_t{options.settleSeconds} * 1'000'000'000);
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
HitRun relayedHits(const InstallTree& tree, ProbeReport& report, const std::string& mode, long hits,
                   const Options& options) {
    report.clear();
    Pipe in = makePipe();
    Pipe middle = makePipe();
    Pipe out = makePipe();
    HitArrivals arrivals(hits);
    TimestampedLineReader reader(out.read,
                                 [&](std::string_view line, std::int64_t at) { arrivals.onRelayedLine(line, at); });
    HitRun run;
    {
        ChildProcess probe(tree.path("libexec/zonkle/thwack-core-daemon"),
                           tree.environment(report, mode, hits, options.latencyIntervalMicroseconds),
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

struct StallResult {
    double quietNs = 0;
    double burstNs = 0;
    double elapsedNs = 0;
};

StallResult inProcessStall(const InstallTree& tree, ProbeReport& report, const Options& options) {
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
        environment.push_back("ZONKLE_STALL_PROBE=" + tree.path("libexec/zonkle/thwack-core-daemon").string());
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

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--zonkle") {
            options.zonkle = value;
        } else if (name == "--probe") {
            options.probe = value;
        } else if (name == "--bare") {
            options.bare = value;
        } else if (name == "--stall") {
            options.stall = value;
        } else if (name == "--runs") {
            options.runs = std::stoi(value);
        } else if (name == "--idle-seconds") {
            options.idleSeconds = std::stoi(value);
        } else {
            throw std::runtime_error("unknown option " + std::string(name));
        }
    }
    if (options.zonkle.empty() || options.probe.empty() || options.bare.empty() || options.stall.empty()) {
        throw std::runtime_error("usage: zonkle-bench --zonkle PATH --probe PATH --bare PATH --stall PATH "
                                 "[--runs N] [--idle-seconds S]");
    }
    return options;
}

struct Series {
    std::vector<double> zonkle;
    std::vector<double> reference;
    std::vector<double> ratio;
};

void add(Series& series, double zonkle, double reference) {
    series.zonkle.push_back(zonkle);
    series.reference.push_back(reference);
    series.ratio.push_back(reference != 0 ? zonkle / reference : 0);
}

std::string triple(const std::vector<double>& values, double scale, int decimals) {
    const Summary s = summarize(values);
    char text[96];
    std::snprintf(text, sizeof text, "%.*f / %.*f / %.*f", decimals, s.min / scale, decimals, s.median / scale,
                  decimals, s.max / scale);
    return text;
}

void row(const char* name, const char* unit, const Series& series, double scale, int decimals, const char* target,
         bool met) {
    std::printf("| %s | %s %s | %s %s | %s | %s | %s |\n", name, triple(series.zonkle, scale, decimals).c_str(), unit,
                triple(series.reference, scale, decimals).c_str(), unit, triple(series.ratio, 1, 2).c_str(), target,
                met ? "met" : "MISSED");
}

} // namespace

int main(int argc, char** argv) {
    try {
        const Options options = parseOptions(argc, argv);
        InstallTree tree(options);
        ProbeReport report(tree.path("probe-report"));

        Series startup, memory, idle, startupIdle, latencyMedian, latencyP99, burst, stall;
        for (int run = 1; run <= options.runs; ++run) {
            const auto app = zonkleSteady(tree, report, options);
            const auto bare = bareSteady(tree, report, options);
            add(startup, app.startupNs, bare.startupNs);
            add(memory, app.rssKib, bare.rssKib);
            add(idle, app.idleSwitches, bare.idleSwitches);
            add(startupIdle, app.startupIdleSwitches, bare.startupIdleSwitches);

            auto appLatency = zonkleHits(tree, report, "latency", options.latencyHits, options);
            auto catLatency = relayedHits(tree, report, "latency", options.latencyHits, options);
            add(latencyMedian, zonkle::bench::percentile(appLatency.latenciesNs, 50),
                zonkle::bench::percentile(catLatency.latenciesNs, 50));
            add(latencyP99, zonkle::bench::percentile(appLatency.latenciesNs, 99),
                zonkle::bench::percentile(catLatency.latenciesNs, 99));

            const auto appBurst = zonkleHits(tree, report, "burst", options.burstHits, options);
            const auto catBurst = relayedHits(tree, report, "burst", options.burstHits, options);
            const auto rate = [&](const HitRun& r) {
                return static_cast<double>(options.burstHits) * 1e9 /
                       static_cast<double>(r.lastArrival - r.writtenAt.front());
            };
            add(burst, rate(appBurst), rate(catBurst));

            const auto inProcess = inProcessStall(tree, report, options);
            add(stall, inProcess.burstNs, inProcess.quietNs);

            std::fprintf(stderr,
                         "run %d: start-up %.1f/%.1f ms, RSS %.0f/%.0f KiB, idle switches %.0f/%.0f%s (from 2 s after exec "
                         "%.0f/%.0f), latency "
                         "median %.0f/%.0f us p99 %.0f/%.0f us, burst %.0f/%.0f hits/s, stall %.1f/%.1f ms in %.2f s\n",
                         run, app.startupNs / nanosecondsPerMillisecond, bare.startupNs / nanosecondsPerMillisecond,
                         app.rssKib, bare.rssKib, app.idleSwitches, bare.idleSwitches,
                         app.busyThreads.empty() ? "" : (" [" + app.busyThreads + " ]").c_str(),
                         app.startupIdleSwitches, bare.startupIdleSwitches,
                         latencyMedian.zonkle.back() / nanosecondsPerMicrosecond,
                         latencyMedian.reference.back() / nanosecondsPerMicrosecond,
                         latencyP99.zonkle.back() / nanosecondsPerMicrosecond,
                         latencyP99.reference.back() / nanosecondsPerMicrosecond, burst.zonkle.back(),
                         burst.reference.back(), inProcess.burstNs / nanosecondsPerMillisecond,
                         inProcess.quietNs / nanosecondsPerMillisecond, inProcess.elapsedNs / 1e9);
        }

        const auto median = [](const std::vector<double>& v) { return summarize(v).median; };
        const auto worst = [](const std::vector<double>& v) { return summarize(v).max; };
        std::printf("%d runs each; every cell is min / median / max over the runs; the ratio is taken run by run. "
                    "Verdicts use the median run, the idle rows the worst run.\n\n",
                    options.runs);
        std::printf("| Benchmark | Zonkle | Reference | Ratio | Target | Verdict |\n");
        std::printf("|---|---|---|---|---|---|\n");
        row("Start-up: exec to first \"config\" at the detector (ref: bare Qt app, exec to first loop turn)", "ms",
            startup, nanosecondsPerMillisecond, 1, "ratio <= 1.5", median(startup.ratio) <= 1.5);
        row("Memory: VmRSS 2 s after start-up (ref: bare Qt app)", "MiB", memory, kibPerMib, 1, "ratio <= 1.25",
            median(memory.ratio) <= 1.25);
        row(("Idle: context switches, all threads, " + std::to_string(options.idleSeconds) +
             " s from 2 s after start-up (ref: bare Qt app)")
                .c_str(),
            "", idle, 1, 0, "0", worst(idle.zonkle) == 0);
        row(("Idle, " + std::to_string(options.idleSeconds) + " s from 2 s after exec (Zonkle still waiting for a tray)")
                .c_str(),
            "", startupIdle, 1, 0, "0", worst(startupIdle.zonkle) == 0);
        row("Hit latency, median of 500 hits 5 ms apart (ref: cat relay)", "us", latencyMedian,
            nanosecondsPerMicrosecond, 0, "ratio <= 3", median(latencyMedian.ratio) <= 3);
        row("Hit latency, 99th percentile (ref: cat relay)", "us", latencyP99, nanosecondsPerMicrosecond, 0,
            "< 1000 us", median(latencyP99.zonkle) < 1000 * nanosecondsPerMicrosecond);
        row("Burst: 200,000 hit lines, written to \"#200000\" logged (ref: cat relay)", "hits/s", burst, 1, 0,
            ">= 200,000 hits/s", median(burst.zonkle) >= 200'000);
        row("In-process 1,000,000-line burst: longest main-loop gap of a 1 ms timer (ref: same timer, quiet)", "ms",
            stall, nanosecondsPerMillisecond, 1, "< 50 ms", median(stall.zonkle) < 50 * nanosecondsPerMillisecond);
        std::printf("\nWorst runs: idle switches %.0f, latency p99 %.0f us, burst %.0f hits/s (min), stall %.1f ms.\n",
                    worst(idle.zonkle), worst(latencyP99.zonkle) / nanosecondsPerMicrosecond,
                    summarize(burst.zonkle).min, worst(stall.zonkle) / nanosecondsPerMillisecond);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zonkle-bench: %s\n", error.what());
        return 1;
    }
}
