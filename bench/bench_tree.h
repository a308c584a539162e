#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "bench_options.h"
#include "probe_report.h"

namespace zonkle::bench {

// A throw-away install tree: <root>/bin/zonkle with the probe as its detector in
// <root>/libexec/zonkle/, and a home of its own so no real settings are touched.
class BenchTree final {
public:
    explicit BenchTree(const BenchOptions& options);
    ~BenchTree();

    BenchTree(const BenchTree&) = delete;
    BenchTree& operator=(const BenchTree&) = delete;

    std::filesystem::path zonkle() const { return root / "bin/zonkle"; }
    std::filesystem::path probe() const { return root / "libexec/zonkle/thwack-core-daemon"; }
    std::filesystem::path file(const char* name) const { return root / name; }

    // The environment of the app and its probe: offscreen, this tree's home, the probe's mode.
    std::vector<std::string> environment(const ProbeReport& report, const std::string& mode, long hits,
                                         long intervalMicroseconds = 0) const;

private:
    std::filesystem::path root;
};

} // namespace zonkle::bench
