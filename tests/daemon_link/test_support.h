#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace zonkle::test {

inline constexpr auto generousLimit = std::chrono::seconds(30);

// Polls what the test cannot be woken by (a file, /proc), up to a generous limit.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + generousLimit;
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

} // namespace zonkle::test
