#include "input/position_file_accelerometer_linux.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace thwack {

namespace {

struct DriverInfo {
    const char* name;
    std::vector<const char*> positionFiles;
    // lis3lv02d reports milli-g; the other two report raw counts, about 256 per g.
    double gPerUnit;
};

DriverInfo infoFor(PositionFileAccelerometer::Driver driver) {
    switch (driver) {
    case PositionFileAccelerometer::Driver::lis3lv02d:
        return {"lis3lv02d",
                {"sys/devices/platform/lis3lv02d/position", "sys/devices/faux/lis3lv02d/position"},
                1.0 / 1000.0};
    case PositionFileAccelerometer::Driver::hdaps:
        return {"hdaps", {"sys/devices/platform/hdaps/position"}, 1.0 / 256.0};
    case PositionFileAccelerometer::Driver::applesmc:
        return {"applesmc", {"sys/devices/platform/applesmc.768/position"}, 1.0 / 256.0};
    }
    return {"", {}, 1.0};
}

bool readPosition(int fd, std::array<double, 3>& values) {
    char buffer[64];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) {
        return false;
    }
    buffer[n] = '\0';
    long x = 0, y = 0, z = 0;
    const int fields = std::sscanf(buffer, " (%ld,%ld,%ld)", &x, &y, &z);
    if (fields < 2) {
        return false;
    }
    values = {static_cast<double>(x), static_cast<double>(y), fields == 3 ? static_cast<double>(z) : 0.0};
    return true;
}

} // namespace

std::unique_ptr<PositionFileAccelerometer>
PositionFileAccelerometer::open(Driver driver, const std::filesystem::path& sysfsRoot, std::string& why) {
    const DriverInfo info = infoFor(driver);
    why = std::string("no ") + info.name + " position file";
    for (const char* relative : info.positionFiles) {
        const auto path = sysfsRoot / relative;
        std::error_code error;
        if (!std::filesystem::exists(path, error)) {
            continue;
        }
        std::unique_ptr<PositionFileAccelerometer> sensor(new PositionFileAccelerometer());
        sensor->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        std::array<double, 3> values{};
        if (sensor->fd < 0 || !readPosition(sensor->fd, values)) {
            why = "cannot read " + path.string() + ": " + (sensor->fd < 0 ? std::strerror(errno) : "bad format");
            continue;
        }
        sensor->name = std::string(info.name) + " accelerometer " + path.string();
        sensor->gPerUnit = info.gPerUnit;
        sensor->start = std::chrono::steady_clock::now();
        sensor->nextPoll = sensor->start;
        return sensor;
    }
    return nullptr;
}

PositionFileAccelerometer::~PositionFileAccelerometer() {
    if (fd >= 0) {
        ::close(fd);
    }
}

ReadStatus PositionFileAccelerometer::read(AccelSample& sample) {
    using namespace std::chrono;
    std::this_thread::sleep_until(nextPoll);
    const auto now = steady_clock::now();
    nextPoll = std::max(nextPoll + duration_cast<steady_clock::duration>(duration<double>(1.0 / pollRateHz)), now);
    std::array<double, 3> values{};
    if (!readPosition(fd, values)) {
        return ReadStatus::failed;
    }
    sample = AccelSample{duration<double>(now - start).count(), values[0] * gPerUnit, values[1] * gPerUnit,
                         values[2] * gPerUnit};
    return ReadStatus::ok;
}

} // namespace thwack
