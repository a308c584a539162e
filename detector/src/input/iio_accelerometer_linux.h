#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "input/accel_source.h"

namespace thwack {

// An IIO accelerometer (/sys/bus/iio/devices/iio:deviceN) read by polling its sysfs raw
// values at pollRateHz. Values are m/s^2 after scaling and are converted to g.
class IioAccelerometer final : public AccelSource {
public:
    static constexpr double pollRateHz = 100.0;

    // Opens the first readable accelerometer under sysfsRoot; null with why otherwise.
    static std::unique_ptr<IioAccelerometer> open(const std::filesystem::path& sysfsRoot, std::string& why);
    // Opens the accelerometer in this iio:deviceN directory.
    static std::unique_ptr<IioAccelerometer> openDevice(const std::filesystem::path& deviceDir, std::string& why);
    ~IioAccelerometer() override;
    IioAccelerometer(const IioAccelerometer&) = delete;
    IioAccelerometer& operator=(const IioAccelerometer&) = delete;

    std::string description() const override { return name; }
    bool isReplay() const override { return false; }
    ReadStatus read(AccelSample& sample) override;

private:
    IioAccelerometer() = default;

    std::string name;
    std::array<int, 3> fds{-1, -1, -1};
    std::array<double, 3> scales{};
    std::array<double, 3> offsets{};
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point nextPoll;
};

} // namespace thwack
