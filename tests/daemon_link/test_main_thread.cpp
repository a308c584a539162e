#include "test_main_thread.h"

#include <thread>

namespace zonkle::test {

TestMainThread::TestMainThread() : state(std::make_shared<State>()) {}

TestMainThread::~TestMainThread() {
    dropPending();
}

MainThreadPoster TestMainThread::poster() const {
    return [state = state](std::function<void()> task) {
        std::lock_guard lock(state->mutex);
        state->tasks.push_back(std::move(task));
        state->changed.notify_all();
    };
}

LogSink TestMainThread::logSink() const {
    return [state = state](std::string_view line) {
        std::lock_guard lock(state->mutex);
        state->logs.emplace_back(line);
        state->changed.notify_all();
    };
}

bool TestMainThread::runUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done()) {
            return true;
        }
        std::function<void()> task;
        {
            std::unique_lock lock(state->mutex);
            if (state->tasks.empty()) {
                // Woken by a task or a log line: look at the condition again, outside the lock.
                const auto status = state->changed.wait_until(lock, deadline);
                if (status == std::cv_status::timeout && state->tasks.empty()) {
                    lock.unlock();
                    return done();
                }
                continue;
            }
            task = std::move(state->tasks.front());
            state->tasks.pop_front();
        }
        task();
    }
}

bool TestMainThread::waitForTask(std::chrono::seconds limit) {
    std::unique_lock lock(state->mutex);
    return state->changed.wait_for(lock, limit, [&] { return !state->tasks.empty(); });
}

void TestMainThread::runPending() {
    while (runOne()) {
    }
}

bool TestMainThread::runOne() {
    std::function<void()> task;
    {
        std::lock_guard lock(state->mutex);
        if (state->tasks.empty()) {
            return false;
        }
        task = std::move(state->tasks.front());
        state->tasks.pop_front();
    }
    task();
    return true;
}

void TestMainThread::dropPending() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(state->mutex);
        dropped.swap(state->tasks);
    }
    // Destroyed outside the lock: a task may hold the last reference to a client.
}

std::vector<std::string> TestMainThread::logLines() const {
    std::lock_guard lock(state->mutex);
    return state->logs;
}

bool eventually(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace zonkle::test
