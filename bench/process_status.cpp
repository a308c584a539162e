#include "process_status.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace zonkle::bench {

namespace fs = std::filesystem;

namespace {

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

} // namespace

long residentKib(pid_t pid) {
    return readStatusField(fs::path("/proc") / std::to_string(pid) / "status", "VmRSS");
}

SwitchCounts contextSwitches(pid_t pid) {
    SwitchCounts threads;
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

} // namespace zonkle::bench
