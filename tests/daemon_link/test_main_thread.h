#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "daemon_link/ipc_client.h"
#include "daemon_link/log_line.h"

namespace zonkle::test {

inline constexpr std::chrono::seconds generousLimit{30};

// Stands in for the application's main thread: posted tasks wait in a queue until the test
// runs them on its own thread. Also collects log lines from any thread.
class TestMainThread final {
public:
    TestMainThread();
    // Drops the tasks still queued (they may hold a client that holds this poster).
    ~TestMainThread();

    MainThreadPoster poster() const;
    LogSink logSink() const;

    // Runs queued tasks one by one until `done` holds or the limit passes; returns done().
    bool runUntil(const std::function<bool()>& done, std::chrono::seconds limit = generousLimit);
    // Waits, running nothing, until a task is queued; returns whether one is.
    bool waitForTask(std::chrono::seconds limit = generousLimit);
    // Runs the tasks queued now and those they post, until none is left.
    void runPending();
    // Runs one queued task, if any; returns whether one ran.
    bool runOne();
    void dropPending();

    std::vector<std::string> logLines() const;

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::function<void()>> tasks;
        std::vector<std::string> logs;
    };
    std::shared_ptr<State> state;
};

// Polls a condition the test cannot be woken by (a file, /proc), up to a generous limit.
bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit = generousLimit);

} // namespace zonkle::test
