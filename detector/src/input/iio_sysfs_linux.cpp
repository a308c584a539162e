#include "input/iio_sysfs_linux.h"

#include <algorithm>
#include <charconv>
#include <fstream>

namespace thwack::iio_sysfs {

namespace {

constexpr unsigned maxStorageBits = 64;

// Reads an unsigned decimal number from the front of text; null on none or overflow.
std::optional<unsigned> takeNumber(std::string_view& text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

bool takePrefix(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) {
        return false;
    }
    text.remove_prefix(prefix.size());
    return true;
}

} // namespace

std::optional<ScanType> parseScanType(std::string_view text) {
    ScanType type;
    if (takePrefix(text, "be:")) {
        type.bigEndian = true;
    } else if (!takePrefix(text, "le:")) {
        return std::nullopt;
    }
    if (takePrefix(text, "s")) {
        type.isSigned = true;
    } else if (!takePrefix(text, "u")) {
        return std::nullopt;
    }
    const auto bits = takeNumber(text);
    if (!bits || !takePrefix(text, "/")) {
        return std::nullopt;
    }
    const auto storage = takeNumber(text);
    if (!storage || !takePrefix(text, ">>")) {
        return std::nullopt;
    }
    const auto shift = takeNumber(text);
    // Each bound is checked on its own, so no sum can wrap.
    if (!shift || !text.empty() || *storage == 0 || *storage % 8 != 0 || *storage > maxStorageBits || *bits == 0 ||
        *bits > *storage || *shift > *storage - *bits) {
        return std::nullopt;
    }
    type.bits = *bits;
    type.storageBits = *storage;
    type.shift = *shift;
    return type;
}

std::optional<double> readNumber(const std::filesystem::path& path) {
    std::ifstream in(path);
    double value = 0.0;
    if (in >> value) {
        return value;
    }
    return std::nullopt;
}

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path);
    out << text << '\n';
    out.flush();
    return static_cast<bool>(out);
}

double axisAttribute(const std::filesystem::path& dir, const std::string& axis, const std::string& attribute,
                     double fallback) {
    if (auto value = readNumber(dir / ("in_accel_" + axis + "_" + attribute))) {
        return *value;
    }
    return readNumber(dir / ("in_accel_" + attribute)).value_or(fallback);
}

std::vector<std::filesystem::path> accelerometers(const std::filesystem::path& sysfsRoot) {
    std::error_code error;
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(sysfsRoot / "sys/bus/iio/devices", error)) {
        if (entry.path().filename().string().starts_with("iio:device") &&
            std::filesystem::exists(entry.path() / "in_accel_x_raw", error)) {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace thwack::iio_sysfs
