#pragma once

#include <filesystem>
#include <optional>

namespace zonkle {

inline constexpr const char* daemonExecutableName = "thwack-core-daemon";

// The directory holding the executables the application ships as resources:
// <dir of the running executable>/../libexec/zonkle on Linux, Contents/Resources in a
// macOS bundle. Empty when the running executable cannot be determined.
std::optional<std::filesystem::path> applicationResourceDirectory();

// thwack-core-daemon in the resource directory, if such a file exists. Never searches
// PATH or the working directory.
std::optional<std::filesystem::path> locateDaemonExecutable();

} // namespace zonkle
