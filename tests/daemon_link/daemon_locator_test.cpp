#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "daemon_link/daemon_locator.h"

namespace zonkle {
namespace {

namespace fs = std::filesystem;

TEST(DaemonLocator, looksBesideTheRunningExecutableOnly) {
    const auto directory = applicationResourceDirectory();
    ASSERT_TRUE(directory);
    EXPECT_EQ(*directory, fs::canonical("/proc/self/exe").parent_path().parent_path() / "libexec" / "zonkle");

    // A daemon in the working directory or on PATH is never taken.
    const fs::path scratch = fs::temp_directory_path() / ("zonkle-locator-" + std::to_string(::getpid()));
    fs::create_directories(scratch);
    const fs::path decoy = scratch / daemonExecutableName;
    std::ofstream(decoy) << "#!/bin/sh\n";
    fs::permissions(decoy, fs::perms::owner_all);
    const fs::path previousDirectory = fs::current_path();
    const std::string previousPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    fs::current_path(scratch);
    ::setenv("PATH", scratch.c_str(), 1);
    const auto found = locateDaemonExecutable();
    ::setenv("PATH", previousPath.c_str(), 1);
    fs::current_path(previousDirectory);
    fs::remove_all(scratch);

    if (found) {
        EXPECT_EQ(*found, *directory / daemonExecutableName);
    } else {
        EXPECT_FALSE(fs::exists(*directory / daemonExecutableName));
    }
}

} // namespace
} // namespace zonkle
