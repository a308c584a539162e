#include "input/iio_buffered_accelerometer_linux.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <unistd.h>

#include "input/iio_sysfs_linux.h"

namespace thwack {

namespace {

using iio_sysfs::readNumber;
using iio_sysfs::readText;
using iio_sysfs::writeText;

constexpr std::array<const char*, 3> axisNames{"x", "y", "z"};
constexpr double nanosecondsPerSecond = 1e9;

std::size_t alignUp(std::size_t value, std::size_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// Sets the device to the lowest offered rate of at least minRateHz, if it offers a choice.
void raiseSamplingRate(const std::filesystem::path& dir, double minRateHz) {
    for (const std::string prefix : {"in_accel_", ""}) {
        const auto rateFile = dir / (prefix + "sampling_frequency");
        const auto current = readNumber(rateFile);
        if (!current) {
            continue;
        }
        if (*current >= minRateHz) {
            return;
        }
        std::istringstream offered(readText(dir / (prefix + "sampling_frequency_available")));
        double best = 0.0;
        for (double rate = 0.0; offered >> rate;) {
            if (rate >= minRateHz && (best == 0.0 || rate < best)) {
                best = rate;
            }
        }
        if (best > 0.0) {
            writeText(rateFile, std::to_string(best));
        }
        return;
    }
}

// Devices that need a trigger usually bring their own, named "<name>-dev<N>".
void chooseOwnTrigger(const std::filesystem::path& sysfsRoot, const std::filesystem::path& dir,
                      const std::string& deviceName) {
    const auto current = dir / "trigger/current_trigger";
    std::error_code error;
    if (!std::filesystem::exists(current, error) || !readText(current).empty()) {
        return;
    }
    const std::string number = dir.filename().string().substr(std::string("iio:device").size());
    const std::string wanted = deviceName + "-dev" + number;
    for (const auto& entry : std::filesystem::directory_iterator(sysfsRoot / "sys/bus/iio/devices", error)) {
        if (entry.path().filename().string().starts_with("trigger") && readText(entry.path() / "name") == wanted) {
            writeText(current, wanted);
            return;
        }
    }
}

} // namespace

bool IioBufferedAccelerometer::parseType(const std::string& text, Channel& channel) {
    const auto type = iio_sysfs::parseScanType(text);
    if (!type) {
        return false;
    }
    channel.bigEndian = type->bigEndian;
    channel.isSigned = type->isSigned;
    channel.bits = type->bits;
    channel.shift = type->shift;
    channel.storageBytes = type->storageBits / 8;
    return true;
}

std::unique_ptr<IioBufferedAccelerometer> IioBufferedAccelerometer::open(const std::filesystem::path& sysfsRoot,
                                                                         const std::filesystem::path& deviceDir,
                                                                         std::string& why) {
    // "…/iio:device0/" names the same device as "…/iio:device0".
    const auto dir = deviceDir.has_filename() ? deviceDir : deviceDir.parent_path();
    const auto scan = dir / "scan_elements";
    const auto enable = dir / "buffer/enable";
    std::error_code error;
    if (!std::filesystem::exists(enable, error) || !std::filesystem::exists(scan / "in_accel_x_en", error)) {
        why = dir.string() + " has no buffer";
        return nullptr;
    }
    // Someone else (a screen-rotation service) may be using the buffer: leave it to them.
    if (readText(enable) != "0") {
        why = "the buffer of " + dir.string() + " is in use";
        return nullptr;
    }
    std::unique_ptr<IioBufferedAccelerometer> sensor(new IioBufferedAccelerometer());
    sensor->deviceDir = dir;
    const auto node = sysfsRoot / "dev" / dir.filename();
    sensor->fd = ::open(node.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (sensor->fd < 0) {
        why = "cannot open " + node.string() + ": " + std::strerror(errno);
        return nullptr;
    }

    // Exactly our channels go into each record.
    std::vector<std::pair<double, Channel*>> layout;
    for (const auto& entry : std::filesystem::directory_iterator(scan, error)) {
        const std::string file = entry.path().filename().string();
        if (!file.ends_with("_en")) {
            continue;
        }
        const std::string channel = file.substr(0, file.size() - 3);
        Channel* target = nullptr;
        for (std::size_t i = 0; i < axisNames.size(); ++i) {
            if (channel == std::string("in_accel_") + axisNames[i]) {
                target = &sensor->axes[i];
            }
        }
        if (channel == "in_timestamp") {
            target = &sensor->timestamp;
        }
        if (!writeText(entry.path(), target ? "1" : "0")) {
            why = "cannot write " + entry.path().string() + ": " + std::strerror(errno);
            return nullptr;
        }
        if (target) {
            const auto index = readNumber(scan / (channel + "_index"));
            if (!index || !parseType(readText(scan / (channel + "_type")), *target)) {
                why = "cannot make sense of " + (scan / (channel + "_type")).string();
                return nullptr;
            }
            target->present = true;
            layout.emplace_back(*index, target);
        }
    }
    if (!std::all_of(sensor->axes.begin(), sensor->axes.end(), [](const Channel& c) { return c.present; })) {
        why = dir.string() + " lacks an accelerometer axis in its buffer";
        return nullptr;
    }
    std::sort(layout.begin(), layout.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::size_t widest = 1;
    for (auto& [index, channel] : layout) {
        sensor->recordBytes = alignUp(sensor->recordBytes, channel->storageBytes);
        channel->offset = sensor->recordBytes;
        sensor->recordBytes += channel->storageBytes;
        widest = std::max(widest, channel->storageBytes);
    }
    sensor->recordBytes = alignUp(sensor->recordBytes, widest);
    for (std::size_t i = 0; i < axisNames.size(); ++i) {
        sensor->axes[i].scale = iio_sysfs::axisAttribute(dir, axisNames[i], "scale", 1.0);
        sensor->axes[i].offsetCounts = iio_sysfs::axisAttribute(dir, axisNames[i], "offset", 0.0);
    }

    const std::string deviceName = readText(dir / "name");
    chooseOwnTrigger(sysfsRoot, dir, deviceName);
    raiseSamplingRate(dir, minRateHz);
    writeText(dir / "buffer/length", std::to_string(bufferLength));

    if (!writeText(enable, "1")) {
        why = "cannot enable the buffer of " + dir.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    sensor->buffer.resize(sensor->recordBytes * bufferLength);
    sensor->name = "IIO accelerometer " + dir.filename().string() +
                   (deviceName.empty() ? "" : " (" + deviceName + ")") + ", buffered";
    sensor->start = std::chrono::steady_clock::now();
    return sensor;
}

IioBufferedAccelerometer::~IioBufferedAccelerometer() {
    if (fd >= 0) {
        writeText(deviceDir / "buffer/enable", "0");
        ::close(fd);
    }
}

double IioBufferedAccelerometer::decode(const Channel& channel, const unsigned char* record) const {
    std::uint64_t raw = 0;
    for (std::size_t i = 0; i < channel.storageBytes; ++i) {
        const std::size_t byte = channel.bigEndian ? i : channel.storageBytes - 1 - i;
        raw = (raw << 8) | record[channel.offset + byte];
    }
    raw >>= channel.shift;
    if (channel.bits < 64) {
        raw &= (std::uint64_t{1} << channel.bits) - 1;
        if (channel.isSigned && (raw >> (channel.bits - 1)) != 0) {
            raw |= ~((std::uint64_t{1} << channel.bits) - 1);
        }
    }
    return channel.isSigned ? static_cast<double>(static_cast<std::int64_t>(raw)) : static_cast<double>(raw);
}

ReadStatus IioBufferedAccelerometer::read(AccelSample& sample) {
    if ((nextRecord + 1) * recordBytes > bufferedBytes) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, waitMilliseconds);
        if (polled == 0 || (polled < 0 && errno == EINTR)) {
            return ReadStatus::pending;
        }
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
            return ReadStatus::pending;
        }
        if (got < static_cast<ssize_t>(recordBytes)) {
            return ReadStatus::failed;
        }
        bufferedBytes = static_cast<std::size_t>(got);
        nextRecord = 0;
    }
    const unsigned char* record = buffer.data() + nextRecord * recordBytes;
    ++nextRecord;
    double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (timestamp.present) {
        const double seconds = decode(timestamp, record) / nanosecondsPerSecond;
        if (firstTimestamp < 0.0) {
            firstTimestamp = seconds;
        }
        t = seconds - firstTimestamp;
    }
    std::array<double, 3> g{};
    for (std::size_t i = 0; i < axes.size(); ++i) {
        g[i] = (decode(axes[i], record) + axes[i].offsetCounts) * axes[i].scale / iio_sysfs::standardGravity;
    }
    sample = AccelSample{t, g[0], g[1], g[2]};
    return ReadStatus::ok;
}

} // namespace thwack
