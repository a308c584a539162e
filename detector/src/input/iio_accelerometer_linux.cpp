#include "input/iio_accelerometer_linux.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <thread>
#include <unistd.h>

#include "input/iio_sysfs_linux.h"

namespace thwack {

namespace {

using iio_sysfs::axisAttribute;
constexpr std::array<const char*, 3> axes{"x", "y", "z"};

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
    why = "no IIO accelerometer";
    for (const auto& dir : iio_sysfs::accelerometers(sysfsRoot)) {
        if (auto sensor = openDevice(dir, why)) {
            return sensor;
        }
    }
    return nullptr;
}

std::unique_ptr<IioAccelerometer> IioAccelerometer::openDevice(const std::filesystem::path& dir, std::string& why) {
    std::unique_ptr<IioAccelerometer> sensor(new IioAccelerometer());
    for (std::size_t i = 0; i < axes.size(); ++i) {
        const auto raw = dir / (std::string("in_accel_") + axes[i] + "_raw");
        sensor->fds[i] = ::open(raw.c_str(), O_RDONLY | O_CLOEXEC);
        if (sensor->fds[i] < 0 || !readRaw(sensor->fds[i])) {
            why = "cannot read " + raw.string() + ": " + std::strerror(errno) +
                  " (see the udev rule in the detector's documentation)";
            return nullptr;
        }
        sensor->scales[i] = axisAttribute(dir, axes[i], "scale", 1.0);
        sensor->offsets[i] = axisAttribute(dir, axes[i], "offset", 0.0);
    }
    const std::string deviceName = iio_sysfs::readText(dir / "name");
    sensor->name = "IIO accelerometer " + dir.filename().string() +
                   (deviceName.empty() ? "" : " (" + deviceName + ")") + ", polled";
    sensor->start = std::chrono::steady_clock::now();
    sensor->nextPoll = sensor->start;
    return sensor;
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
        g[i] = (*raw + offsets[i]) * scales[i] / iio_sysfs::standardGravity;
    }
    sample = AccelSample{duration<double>(now - start).count(), g[0], g[1], g[2]};
    return ReadStatus::ok;
}

} // namespace thwack
