#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Small helpers for the attribute files of IIO devices.
namespace thwack::iio_sysfs {

inline constexpr double standardGravity = 9.80665; // m/s^2 per g

std::optional<double> readNumber(const std::filesystem::path& path);
// The first line without its line feed; empty when unreadable.
std::string readText(const std::filesystem::path& path);
bool writeText(const std::filesystem::path& path, const std::string& text);

// A per-axis attribute (in_accel_x_scale), else the shared one (in_accel_scale), else fallback.
double axisAttribute(const std::filesystem::path& dir, const std::string& axis, const std::string& attribute,
                     double fallback);

// The iio:device* directories under sysfsRoot that have accelerometer channels, in order.
std::vector<std::filesystem::path> accelerometers(const std::filesystem::path& sysfsRoot);

} // namespace thwack::iio_sysfs
