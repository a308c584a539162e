#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small helpers for the attribute files of IIO devices.
namespace thwack::iio_sysfs {

inline constexpr double standardGravity = 9.80665; // m/s^2 per g

// A buffer channel's layout from its scan_elements/*_type file.
struct ScanType {
    bool bigEndian = false;
    bool isSigned = false;
    unsigned bits = 0;        // significant bits
    unsigned storageBits = 0; // 8, 16, 32 or 64
    unsigned shift = 0;       // right shift before masking
};

// Parses "le:s12/16>>4" (endianness, sign, bits / storage bits, shift); null unless every field
// is in range and the bits fit the storage after the shift.
std::optional<ScanType> parseScanType(std::string_view text);

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
