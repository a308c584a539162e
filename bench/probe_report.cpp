#include "probe_report.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace zonkle::bench {

namespace {

constexpr std::size_t readChunk = 64 * 1024;

} // namespace

ProbeReport::ProbeReport(std::filesystem::path path) : fifoPath(std::move(path)) {
    if (mkfifo(fifoPath.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make " + fifoPath.string() + ": " + std::strerror(errno));
    }
    // Holding a write end too means opening never blocks and the FIFO never reports its end
    // between two probes.
    fd = open(fifoPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + fifoPath.string() + ": " + std::strerror(errno));
    }
}

ProbeReport::~ProbeReport() {
    close(fd);
    std::filesystem::remove(fifoPath);
}

std::optional<std::string> ProbeReport::readLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = pending.find('\n'); end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[readChunk];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got > 0) {
            pending.append(chunk, static_cast<std::size_t>(got));
        }
    }
}

} // namespace zonkle::bench
