#include "daemon/daemon_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <utility>

namespace thwack {

namespace {

std::string lowerExtension(const std::string& path) {
    auto extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

} // namespace

InputChoice InputChoice::parse(const char* value) {
    const std::string text = value ? value : "";
    if (text.empty()) {
        return {};
    }
    static constexpr std::array<std::pair<const char*, Kind>, 5> backends{{{"iio", Kind::iio},
                                                                           {"lis3lv02d", Kind::lis3lv02d},
                                                                           {"hdaps", Kind::hdaps},
                                                                           {"applesmc", Kind::applesmc},
                                                                           {"mic", Kind::mic}}};
    for (const auto& [name, kind] : backends) {
        if (text == name) {
            return {kind, {}};
        }
    }
    const auto extension = lowerExtension(text);
    if (extension == ".csv") {
        return {Kind::csvFile, text};
    }
    if (extension == ".wav") {
        return {Kind::wavFile, text};
    }
    return {Kind::unsupported, text};
}

AudioChoice AudioChoice::parse(const char* value) {
    const std::string text = value ? value : "";
    if (text.empty()) {
        return {};
    }
    if (text == "null") {
        return {Kind::null, {}};
    }
    if (lowerExtension(text) == ".wav") {
        return {Kind::wavFile, text};
    }
    return {Kind::alsa, text};
}

} // namespace thwack
