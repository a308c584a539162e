#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_tree.h"
#include "probe_report.h"

namespace zonkle::bench {

// Start-up time, then memory and two idle windows, of one launch.
struct SteadyResult {
    double startupNs = 0;
    double rssKib = 0;
    // From the settle time after start-up ended (for Zonkle without a tray: after its
    // fallback window appeared), and from the settle time after exec.
    double idleSwitches = 0;
    double startupIdleSwitches = 0;
    std::string busyThreads;
};

struct HitRun {
    std::vector<std::int64_t> writtenAt; // latency: per hit (from 1); burst: the start of the burst
    std::int64_t lastArrival = 0;
    std::vector<double> latenciesNs;
};

struct StallResult {
    double quietNs = 0;
    double burstNs = 0;
    double elapsedNs = 0;
};

// Zonkle from exec to the first "config" at the probe.
SteadyResult zonkleSteady(const BenchTree& tree, ProbeReport& report, const BenchOptions& options);
// The bare Qt app from exec to its first event-loop turn.
SteadyResult bareSteady(const BenchTree& tree, ProbeReport& report, const BenchOptions& options);
// Hit lines ("latency" or "burst") from the probe through Zonkle to its log lines.
HitRun zonkleHits(const BenchTree& tree, ProbeReport& report, const std::string& mode, long hits,
                  const BenchOptions& options);
// The same hit lines relayed by cat.
HitRun relayedHits(const BenchTree& tree, ProbeReport& report, const std::string& mode, long hits,
                   const BenchOptions& options);
// The in-process burst through the real client and view model (zonkle-bench-stall).
StallResult inProcessStall(const BenchTree& tree, ProbeReport& report, const BenchOptions& options);

} // namespace zonkle::bench
