#pragma once

#include <string>

namespace zonkle::bench {

// What zonkle-bench measures and with which programs.
struct BenchOptions {
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
    // Which groups to measure: "steady" (start-up, memory, idle), "latency", "burst", "stall".
    std::string only = "steady,latency,burst,stall";

    bool measures(const std::string& group) const;

    // --zonkle PATH --probe PATH --bare PATH --stall PATH [--runs N] [--idle-seconds S] [--only GROUPS];
    // throws on misuse.
    static BenchOptions parse(int argc, char** argv);
};

} // namespace zonkle::bench
