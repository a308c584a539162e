#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace thwack::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir final {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "thwack-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::filesystem::path path;
};

} // namespace thwack::test
