#include "bench_tree.h"

#include <stdexcept>
#include <stdlib.h>

namespace zonkle::bench {

namespace fs = std::filesystem;

BenchTree::BenchTree(const BenchOptions& options) {
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
    fs::copy_file(options.probe, probe());
}

BenchTree::~BenchTree() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::vector<std::string> BenchTree::environment(const ProbeReport& report, const std::string& mode, long hits,
                                                long intervalMicroseconds) const {
    return {"QT_QPA_PLATFORM=offscreen", "HOME=" + (root / "home").string(),
            "XDG_CONFIG_HOME=" + (root / "home/.config").string(), "XDG_RUNTIME_DIR=" + (root / "run").string(),
            "ZONKLE_PROBE_REPORT=" + report.path().string(), "ZONKLE_PROBE_MODE=" + mode,
            "ZONKLE_PROBE_HITS=" + std::to_string(hits),
            "ZONKLE_PROBE_INTERVAL_US=" + std::to_string(intervalMicroseconds),
            // Hits wait for the harness's go, so they meet a settled application.
            std::string("ZONKLE_PROBE_START=") + (mode == "idle" ? "" : "signal")};
}

} // namespace zonkle::bench
