#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace zonkle::bench {

// The FIFO on which the probe detector reports its timestamps, one line at a time.
class ProbeReport final {
public:
    explicit ProbeReport(std::filesystem::path path);
    ~ProbeReport();

    ProbeReport(const ProbeReport&) = delete;
    ProbeReport& operator=(const ProbeReport&) = delete;

    const std::filesystem::path& path() const { return fifoPath; }

    // The next line, or nullopt when none arrived within the timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Forgets what an earlier probe left unread.
    void clear() { pending.clear(); }

private:
    std::filesystem::path fifoPath;
    int fd = -1;
    std::string pending;
};

} // namespace zonkle::bench
