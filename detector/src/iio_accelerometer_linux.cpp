#include "iio_accelerometer_linux.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zonkle {

namespace {

constexpr double standardGravity = 9.80665; // m/s^2 per g
constexpr std::array<const char*, 3> axes{"x", "y", "z"};

std::optional<double> readNumber(const std::filesystem::path& path) {
    std::ifstream in(path);
    double value = 0.0;
    if (in >> value) {
        return value;
    }
    return std::nullopt;
}

// A per-axis attribute, or the shared one, or the fallback.
double axisAttribute(const std::filesystem::path& dir, const char* axis, const char* attribute, double fallback) {
    if (auto value = readNumber(dir / (std::string("in_accel_") + axis + "_" + attribute))) {
        return *value;
    }
    return readNumber(dir / (std::string("in_accel_") + attribute)).value_or(fallback);
}

std::optional<double> readRaw(int fd) {
    char buffer[32];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) {
        return std::nullopt;
    }
    long value = 0;
    const char* begin = buffer;
    while (begin < buffer + n && *begin == ' ') {
        ++begin;
    }
    const auto [end, error] = std::from_chars(begin, buffer + n, value);
    if (error != std::errc() || end == begin) {
        return std::nullopt;
    }
    return static_cast<double>(value);
}

} // namespace

std::unique_ptr<IioAccelerometer> IioAccelerometer::open(const std::filesystem::path& sysfsRoot, std::string& why) {
    const auto devices = sysfsRoot / "sys/bus/iio/devices";
    std::error_code error;
    std::vector<std::filesystem::path> candidates;
    for (const auto& entry : std::filesystem::directory_iterator(devices, error)) {
        if (entry.path().filename().string().starts_with("iio:device") &&
            std::filesystem::exists(entry.path() / "in_accel_x_raw", error)) {
            candidates.push_back(entry.path());
        }
    }
    std::sort(candidates.begin(), candidates.end());
    if (candidates.empty()) {
        why = "no IIO accelerometer";
        return nullptr;
    }
    for (const auto& dir : candidates) {
        std::unique_ptr<IioAccelerometer> sensor(new IioAccelerometer());
        bool readable = true;
        for (std::size_t i = 0; i < axes.size() && readable; ++i) {
            const auto raw = dir / (std::string("in_accel_") + axes[i] + "_raw");
            sensor->fds[i] = ::open(raw.c_str(), O_RDONLY | O_CLOEXEC);
            if (sensor->fds[i] < 0 || !readRaw(sensor->fds[i])) {
                why = "cannot read " + raw.string() + ": " + std::strerror(errno) +
                      " (see the udev rule in the detector's documentation)";
                readable = false;
            }
            sensor->scales[i] = axisAttribute(dir, axes[i], "scale", 1.0);
            sensor->offsets[i] = axisAttribute(dir, axes[i], "offset", 0.0);
        }
        if (!readable) {
            continue;
        }
        std::ifstream nameFile(dir / "name");
        std::string deviceName;
        std::getline(nameFile, deviceName);
        sensor->name =
            "IIO accelerometer " + dir.filename().string() + (deviceName.empty() ? "" : " (" + deviceName + ")");
        sensor->start = std::chrono::steady_clock::now();
        sensor->nextPoll = sensor->start;
        return sensor;
    }
    return nullptr;
}

IioAccelerometer::~IioAccelerometer() {
    for (int fd : fds) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

ReadStatus IioAccelerometer::read(AccelSample& sample) {
    using namespace std::chrono;
    std::this_thread::sleep_until(nextPoll);
    const auto now = steady_clock::now();
    // Keep a steady rate; after a stall start again from now rather than catching up in a burst.
    nextPoll = std::max(nextPoll + duration_cast<steady_clock::duration>(duration<double>(1.0 / pollRateHz)), now);
    std::array<double, 3> g{};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        const auto raw = readRaw(fds[i]);
        if (!raw) {
            return ReadStatus::failed;
        }
        g[i] = (*raw + offsets[i]) * scales[i] / standardGravity;
    }
    sample = AccelSample{duration<double>(now - start).count(), g[0], g[1], g[2]};
    return ReadStatus::ok;
}

} // namespace zonkle
