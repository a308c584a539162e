#include "bench_options.h"

#include <stdexcept>
#include <string_view>

namespace zonkle::bench {

BenchOptions BenchOptions::parse(int argc, char** argv) {
    BenchOptions options;
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
        } else if (name == "--only") {
            options.only = value;
        } else {
            throw std::runtime_error("unknown option " + std::string(name));
        }
    }
    if (options.zonkle.empty() || options.probe.empty() || options.bare.empty() || options.stall.empty()) {
        throw std::runtime_error("usage: zonkle-bench --zonkle PATH --probe PATH --bare PATH --stall PATH "
                                 "[--runs N] [--idle-seconds S] [--only steady,latency,burst,stall]");
    }
    return options;
}

bool BenchOptions::measures(const std::string& group) const {
    return ("," + only + ",").find("," + group + ",") != std::string::npos;
}

} // namespace zonkle::bench
