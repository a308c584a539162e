#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "daemon_link/ipc_client.h"

namespace zonkle::test {

inline constexpr auto generousLimit = std::chrono::seconds(30);

// Stands in for the application's main thread: posted tasks wait until the test runs them on
// its own thread. Also collects log lines from any thread.
class TestMainThread final {
public:
    MainThreadPoster poster() const {
        return [state = state](std::function<void()> task) {
            std::lock_guard lock(state->mutex);
            state->tasks.push_back(std::move(task));
            state->changed.notify_all();
        };
    }
    LogSink logSink() const {
        return [state = state](std::string_view line) {
            std::lock_guard lock(state->mutex);
            state->logs.emplace_back(line);
        };
    }
    std::vector<std::string> logLines() const {
        std::lock_guard lock(state->mutex);
        return state->logs;
    }
    // Runs the next task, waiting up to `limit` for one; false when none came.
    bool runOne(std::chrono::milliseconds limit = generousLimit) {
        std::unique_lock lock(state->mutex);
        if (!state->changed.wait_for(lock, limit, [&] { return !state->tasks.empty(); })) {
            return false;
        }
        const auto task = std::move(state->tasks.front());
        state->tasks.pop_front();
        lock.unlock();
        task();
        return true;
    }
    // Runs tasks until `done` holds; false when no task came for `generousLimit`.
    bool runUntil(const std::function<bool()>& done) {
        while (!done()) {
            if (!runOne()) {
                return false;
            }
        }
        return true;
    }
    void runPending() {
        while (runOne(std::chrono::milliseconds(0))) {
        }
    }
    // Tasks may hold a client that holds this poster: dropped outside the lock.
    void dropPending() {
        std::deque<std::function<void()>> dropped;
        std::lock_guard lock(state->mutex);
        dropped.swap(state->tasks);
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> tasks;
        std::vector<std::string> logs;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

// Polls what the test cannot be woken by (a file, /proc), up to a generous limit.
inline bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + generousLimit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace zonkle::test
