#include <system_error>

#include "daemon_locator.h"

namespace zonkle {

std::optional<std::filesystem::path> applicationResourceDirectory() {
    std::error_code error;
    const auto executable = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    return (executable.parent_path() / ".." / "libexec" / "zonkle").lexically_normal();
}

} // namespace zonkle
