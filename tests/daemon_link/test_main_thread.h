#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <thread>

#include "daemon_link/ipc_client.h"

namespace zonkle::test {

inline constexpr auto generousLimit = std::chrono::seconds(30);

// Stands in for the application's main thread: posted tasks wait until the test runs them on
// its own thread. Also collects log lines from any thread.
class TestMainThread final {
public:
    // Shared with the reader thread, which may outlive the test's use of it.
    MainThreadPoster poster() {
        return [s = state](std::function<void()> task) {
            std::lock_guard lock(s->mutex);
            s->tasks.push_back(std::move(task));
            s->changed.notify_all();
        };
    }
    LogSink logSink() {
        return [s = state](std::string_view line) {
            std::lock_guard lock(s->mutex);
            s->logs.emplace_back(line);
        };
    }
    std::vector<std::string> logLines() {
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
    bool runUntil(const std::function<bool()>& done) {
        while (!done() && runOne()) {
        }
        return done();
    }
    // Tasks may hold the last reference to a client: destroyed outside the lock.
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
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// Whether a thread of this process sleeps on a futex: a lock or a condition variable.
inline bool waitsOnALock(pid_t thread) {
    std::ifstream wchan("/proc/self/task/" + std::to_string(thread) + "/wchan");
    std::string where;
    return wchan >> where && where.find("futex") != std::string::npos;
}

} // namespace zonkle::test
