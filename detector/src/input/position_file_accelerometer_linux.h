#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "input/accel_source.h"

namespace thwack {

// The older laptop drivers that expose a "position" file holding "(x,y,z)" or "(x,y)".
class PositionFileAccelerometer final : public AccelSource {
public:
    enum class Driver { lis3lv02d, hdaps, applesmc };

    static constexpr double pollRateHz = 100.0;

    static std::unique_ptr<PositionFileAccelerometer> open(Driver driver, const std::filesystem::path& sysfsRoot,
                                                           std::string& why);
    ~PositionFileAccelerometer() override;
    PositionFileAccelerometer(const PositionFileAccelerometer&) = delete;
    PositionFileAccelerometer& operator=(const PositionFileAccelerometer&) = delete;

    std::string description() const override { return name; }
    bool isReplay() const override { return false; }
    ReadStatus read(AccelSample& sample) override;

private:
    PositionFileAccelerometer() = default;

    std::string name;
    int fd = -1;
    double gPerUnit = 1.0;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point nextPoll;
};

} // namespace thwack
