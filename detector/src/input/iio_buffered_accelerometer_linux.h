#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "input/accel_source.h"

namespace thwack {

// An IIO accelerometer read through its buffer, /dev/iio:deviceN: every sample the device
// produces, with its own timestamp when it has one. Needs write access to the device's
// scan_elements and buffer attributes and read access to the node, and a buffer nobody else
// uses; otherwise open() fails, leaving a buffer in use untouched, and the daemon polls sysfs.
class IioBufferedAccelerometer final : public AccelSource {
public:
    static constexpr std::size_t bufferLength = 128;
    static constexpr double minRateHz = 100.0;
    // A read waits this long for data, so stopping stays prompt.
    static constexpr int waitMilliseconds = 100;

    // deviceDir is .../iio:deviceN; the node is sysfsRoot/dev/iio:deviceN.
    static std::unique_ptr<IioBufferedAccelerometer> open(const std::filesystem::path& sysfsRoot,
                                                          const std::filesystem::path& deviceDir, std::string& why);
    ~IioBufferedAccelerometer() override;
    IioBufferedAccelerometer(const IioBufferedAccelerometer&) = delete;
    IioBufferedAccelerometer& operator=(const IioBufferedAccelerometer&) = delete;

    std::string description() const override { return name; }
    bool isReplay() const override { return false; }
    ReadStatus read(AccelSample& sample) override;

private:
    struct Channel {
        std::size_t offset = 0; // within a record
        std::size_t storageBytes = 0;
        unsigned bits = 0;
        unsigned shift = 0;
        bool isSigned = false;
        bool bigEndian = false;
        double scale = 1.0;
        double offsetCounts = 0.0;
        bool present = false;
    };

    IioBufferedAccelerometer() = default;
    static bool parseType(const std::string& text, Channel& channel);
    double decode(const Channel& channel, const unsigned char* record) const;

    std::string name;
    std::filesystem::path deviceDir;
    int fd = -1;
    std::array<Channel, 3> axes;
    Channel timestamp;
    std::size_t recordBytes = 0;
    std::vector<unsigned char> buffer;
    std::size_t bufferedBytes = 0;
    std::size_t nextRecord = 0;
    std::chrono::steady_clock::time_point start;
    double firstTimestamp = -1.0;
};

} // namespace thwack
