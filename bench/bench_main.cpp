// zonkle-bench: measures the Release app against its references, side by side in one run,
// and prints the table of docs/PERFORMANCE.md. scripts/bench builds everything and calls it.
//
//   zonkle-bench --zonkle PATH --probe PATH --bare PATH --stall PATH [--runs N] [--idle-seconds S]

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench_options.h"
#include "bench_tree.h"
#include "probe_report.h"
#include "scenarios.h"
#include "stats.h"

namespace {

using namespace zonkle::bench;

constexpr double nanosecondsPerMillisecond = 1e6;
constexpr double nanosecondsPerMicrosecond = 1e3;
constexpr double kibPerMib = 1024;

std::string text(double value, int decimals) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
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
        const BenchOptions options = BenchOptions::parse(argc, argv);
        BenchTree tree(options);
        ProbeReport report(tree.file("probe-report"));

        Series startup, memory, idle, startupIdle, latencyMedian, latencyP99, burst, stall;
        for (int run = 1; run <= options.runs; ++run) {
            std::string progress = "run " + std::to_string(run) + ":";
            if (options.measures("steady")) {
                const auto app = zonkleSteady(tree, report, options);
                const auto bare = bareSteady(tree, report, options);
                add(startup, app.startupNs, bare.startupNs);
                add(memory, app.rssKib, bare.rssKib);
                add(idle, app.idleSwitches, bare.idleSwitches);
                add(startupIdle, app.startupIdleSwitches, bare.startupIdleSwitches);
                progress += " start-up " + text(app.startupNs / nanosecondsPerMillisecond, 1) + "/" +
                            text(bare.startupNs / nanosecondsPerMillisecond, 1) + " ms, RSS " + text(app.rssKib, 0) +
                            "/" + text(bare.rssKib, 0) + " KiB, idle switches " + text(app.idleSwitches, 0) + "/" +
                            text(bare.idleSwitches, 0) + app.busyThreads + " (from 2 s after exec " +
                            text(app.startupIdleSwitches, 0) + "/" + text(bare.startupIdleSwitches, 0) + ");";
            }
            if (options.measures("latency")) {
                const auto app = zonkleHits(tree, report, "latency", options.latencyHits, options);
                const auto cat = relayedHits(tree, report, "latency", options.latencyHits, options);
                add(latencyMedian, percentile(app.latenciesNs, 50), percentile(cat.latenciesNs, 50));
                add(latencyP99, percentile(app.latenciesNs, 99), percentile(cat.latenciesNs, 99));
                progress += " latency median " + text(latencyMedian.zonkle.back() / nanosecondsPerMicrosecond, 0) +
                            "/" + text(latencyMedian.reference.back() / nanosecondsPerMicrosecond, 0) + " us, p99 " +
                            text(latencyP99.zonkle.back() / nanosecondsPerMicrosecond, 0) + "/" +
                            text(latencyP99.reference.back() / nanosecondsPerMicrosecond, 0) + " us;";
            }
            if (options.measures("burst")) {
                const auto rate = [&](const HitRun& r) {
                    return static_cast<double>(options.burstHits) * 1e9 /
                           static_cast<double>(r.lastArrival - r.writtenAt.front());
                };
                const auto app = zonkleHits(tree, report, "burst", options.burstHits, options);
                const auto cat = relayedHits(tree, report, "burst", options.burstHits, options);
                add(burst, rate(app), rate(cat));
                progress +=
                    " burst " + text(burst.zonkle.back(), 0) + "/" + text(burst.reference.back(), 0) + " hits/s;";
            }
            if (options.measures("stall")) {
                const auto inProcess = inProcessStall(tree, report, options);
                add(stall, inProcess.burstNs, inProcess.quietNs);
                progress += " stall " + text(inProcess.burstNs / nanosecondsPerMillisecond, 1) + "/" +
                            text(inProcess.quietNs / nanosecondsPerMillisecond, 1) + " ms over " +
                            text(inProcess.elapsedNs / 1e9, 2) + " s;";
            }
            std::fprintf(stderr, "%s\n", progress.c_str());
        }

        const auto median = [](const std::vector<double>& v) { return summarize(v).median; };
        const auto worst = [](const std::vector<double>& v) { return summarize(v).max; };
        std::printf("%d runs each; every cell is min / median / max over the runs; the ratio is taken run by run. "
                    "Verdicts use the median run, the idle rows the worst run.\n\n",
                    options.runs);
        std::printf("| Benchmark | Zonkle | Reference | Ratio | Target | Verdict |\n");
        std::printf("|---|---|---|---|---|---|\n");
        if (options.measures("steady")) {
            row("Start-up: exec to first \"config\" at the detector (ref: bare Qt app, exec to first loop turn)", "ms",
                startup, nanosecondsPerMillisecond, 1, "ratio <= 1.5", median(startup.ratio) <= 1.5);
            row("Memory: VmRSS 2 s after start-up (ref: bare Qt app)", "MiB", memory, kibPerMib, 1, "ratio <= 1.25",
                median(memory.ratio) <= 1.25);
            row(("Idle: context switches, all threads, " + std::to_string(options.idleSeconds) +
                 " s from 2 s after start-up (ref: bare Qt app)")
                    .c_str(),
                "", idle, 1, 0, "0", worst(idle.zonkle) == 0);
            row(("Idle, " + std::to_string(options.idleSeconds) +
                 " s from 2 s after exec (Zonkle still waiting for a tray)")
                    .c_str(),
                "", startupIdle, 1, 0, "0", worst(startupIdle.zonkle) == 0);
        }
        if (options.measures("latency")) {
            row("Hit latency, median of 500 hits 5 ms apart (ref: cat relay)", "us", latencyMedian,
                nanosecondsPerMicrosecond, 0, "ratio <= 3", median(latencyMedian.ratio) <= 3);
            row("Hit latency, 99th percentile (ref: cat relay)", "us", latencyP99, nanosecondsPerMicrosecond, 0,
                "< 1000 us", median(latencyP99.zonkle) < 1000 * nanosecondsPerMicrosecond);
        }
        if (options.measures("burst")) {
            row("Burst: 200,000 hit lines, written to \"#200000\" logged (ref: cat relay)", "hits/s", burst, 1, 0,
                ">= 200,000 hits/s", median(burst.zonkle) >= 200'000);
        }
        if (options.measures("stall")) {
            row("In-process 1,000,000-line burst: longest main-loop gap of a 1 ms timer (ref: same timer, quiet)", "ms",
                stall, nanosecondsPerMillisecond, 1, "< 50 ms", median(stall.zonkle) < 50 * nanosecondsPerMillisecond);
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "zonkle-bench: %s\n", error.what());
        return 1;
    }
}
