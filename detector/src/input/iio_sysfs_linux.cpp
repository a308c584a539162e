#include "input/iio_sysfs_linux.h"

#include <algorithm>
#include <fstream>

namespace thwack::iio_sysfs {

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
