#include "daemon_locator.h"

#include <system_error>

namespace zonkle {

std::optional<std::filesystem::path> locateDaemonExecutable() {
    const auto directory = applicationResourceDirectory();
    if (!directory) {
        return std::nullopt;
    }
    auto executable = *directory / daemonExecutableName;
    // Existence is enough: a file that cannot be run is found here and fails at launch, with
    // the system's reason in the log.
    std::error_code error;
    if (!std::filesystem::exists(executable, error)) {
        return std::nullopt;
    }
    return executable;
}

} // namespace zonkle
