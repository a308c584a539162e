#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <signal.h>
#include <unistd.h>

#include "daemon_link/ipc_client.h"
#include "test_support.h"

namespace zonkle {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Events = std::vector<InboundEvent>;

const std::string started = "Go daemon started successfully.";
const std::string undecodable = "Failed to decode JSON from Go daemon stdout.";
const OutboundCommand config{"config", 0.5, "default", false};
const std::string configLine = R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})";

// A word of /proc/<pid>/<name>: wchan's first, or stat's fifth (the process group).
std::string proc(pid_t pid, const std::string& name, int word = 1) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
    std::string text;
    while (word-- > 0 && file >> text) {
    }
    return text;
}

bool reaped(pid_t pid) {
    return !fs::exists("/proc/" + std::to_string(pid)); // a zombie keeps its entry
}

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line) && !line.starts_with("VmHWM:")) {
    }
    return std::stol(line.substr(6));
}

// Stands in for the app's main thread (posted tasks wait until the test runs them) and its log.
// Shared with the reader thread, which may outlive the test's use of it.
struct MainThread {
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> tasks;
    Lines logs;
};

// The client on the test daemon of tests/support (or `executable`), which runs `actions` and
// records its input. Reports of the daemon's end arrive among the events as type "ended".
struct IpcClientTest : ::testing::Test {
    ~IpcClientTest() override {
        client.reset();
        dropPending();
        fs::remove_all(directory);
    }

    void start(const std::string& actions, std::optional<fs::path> executable = fs::path(ZONKLE_TEST_DAEMON)) {
        fs::create_directories(directory);
        ::setenv("ZONKLE_TEST_DAEMON_ACTIONS", actions.c_str(), 1);
        ::setenv("ZONKLE_TEST_DAEMON_RECORD", (directory / "stdin").c_str(), 1);
        received.clear();
        main->logs.clear();
        const auto post = [m = main](std::function<void()> task) {
            const std::lock_guard lock(m->mutex);
            m->tasks.push_back(std::move(task));
            m->posted.notify_all();
        };
        const auto log = [m = main](std::string_view line) {
            const std::lock_guard lock(m->mutex);
            m->logs.emplace_back(line);
        };
        client = IpcClient::create({post, [executable] { return executable; }, log});
        client->onEventReceived = [this](const InboundEvent& event) { received.push_back(event); };
        client->onDetectorFailed = [this](const DetectorFailure& failure) {
            const bool exited = failure.kind == DetectorFailure::Kind::Exited;
            received.push_back({"ended", exited ? "exited" : "not started", failure.detail});
        };
        client->start();
    }

    // Runs the next posted task, waiting a generous time for one; false when none came.
    bool runOne() {
        std::unique_lock lock(main->mutex);
        if (!main->posted.wait_for(lock, test::generousLimit, [&] { return !main->tasks.empty(); })) {
            return false;
        }
        const auto task = std::move(main->tasks.front());
        main->tasks.pop_front();
        lock.unlock();
        task();
        return true;
    }
    bool runUntil(std::size_t eventCount) {
        while (received.size() < eventCount && runOne()) {
        }
        return received.size() >= eventCount;
    }
    void dropPending() { // tasks may hold the last reference to a client: destroyed outside the lock
        std::deque<std::function<void()>> dropped;
        const std::lock_guard lock(main->mutex);
        dropped.swap(main->tasks);
    }
    Lines logLines() {
        const std::lock_guard lock(main->mutex);
        return main->logs;
    }

    Lines recorded() const {
        std::ifstream file(directory / "stdin");
        Lines lines;
        for (std::string line; std::getline(file, line);) {
            lines.push_back(line);
        }
        std::erase(lines, "<SIGTERM>");
        return lines;
    }

    // The pid that the daemon's "pid" action tells, which comes first.
    pid_t daemonPid() {
        EXPECT_TRUE(runUntil(1));
        return received.empty() || !received[0].message ? -1 : std::stoi(*received[0].message);
    }

    std::shared_ptr<MainThread> main = std::make_shared<MainThread>();
    std::shared_ptr<IpcClient> client;
    Events received;
    fs::path directory = fs::temp_directory_path() / ("zonkle-ipc-" + std::to_string(::getpid()));
};

TEST_F(IpcClientTest, exchangesLinesWithADaemonOfItsOwnGroupAndDescriptorsThenStopsItInOrderForGood) {
    const int leaky = ::open("/dev/null", O_RDONLY); // deliberately not close-on-exec
    start(R"(pid; fds; wait-stdin-lines 1; line {"type":"event","action":"hit"}; wait-stdin-eof; wait-sigterm)");
    ::close(leaky);
    client->start();
    client->send(config);
    const pid_t pid = daemonPid();
    ASSERT_TRUE(runUntil(3));
    EXPECT_EQ(Events(received.begin() + 1, received.end()), (Events{{"fds", {}, "0 1 2"}, {"event", "hit", {}}}));
    EXPECT_EQ(proc(pid, "stat", 5), std::to_string(pid));
    client->stop();
    ASSERT_TRUE(test::eventually([&] { return reaped(pid); })); // it ends only on SIGTERM after EOF
    EXPECT_EQ(recorded(), (Lines{configLine, R"({"cmd":"quit"})", "<EOF>"}));
    ASSERT_TRUE(runOne()); // the delivery of the end, which is not reported after stop
    EXPECT_EQ(received.size(), 3u);
    // The closed descriptor's number goes to the next file opened; nothing may reach it.
    const int bystander = ::open((directory / "bystander").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    client->stop();
    client->send(config);
    client->start();
    ::close(bystander);
    EXPECT_EQ(fs::file_size(directory / "bystander"), 0u);
    EXPECT_EQ(logLines(), (Lines{started, "Failed to write to stdin: Bad file descriptor"}));
}

TEST_F(IpcClientTest, logsBadLinesDropsAFloodInBoundedMemoryNeverDecodesAPartialLineAndReportsTheExit) {
    std::ofstream("/proc/self/clear_refs") << "5"; // sets the peak back to the current size
    const long before = peakResidentKiB();
    start(
        R"(flood 104857600; write \n{"type":"a"}\r\n\n{"action":"hit"}\nnot json\n{"type":"b","message":null}\n{"type":"c"; exit 0)");
    ASSERT_TRUE(runUntil(3));
    EXPECT_EQ(received, (Events{{"a", {}, {}}, {"b", {}, {}}, {"ended", "exited", "exited with status 0"}}));
    EXPECT_EQ(logLines(), (Lines{started, undecodable, undecodable, undecodable, undecodable}));
    EXPECT_LT(peakResidentKiB() - before, 32 * 1024);
}

TEST_F(IpcClientTest, holdsABurstBackDeliversItInOrderAFewHundredPerTaskAndLetsGoWhenDestroyed) {
    start("pid; hits 100000"); // far more than the queue holds
    const pid_t pid = daemonPid();
    ASSERT_TRUE(test::eventually([&] { return proc(pid, "wchan").find("pipe_write") != std::string::npos; }));
    for (std::size_t i = 1; i <= 20000; ++i) {
        ASSERT_TRUE(received.size() > i || runOne());
        ASSERT_LE(received.size(), i + IpcClient::maxEventsPerDelivery);
        ASSERT_EQ(received[i], (InboundEvent{"event", "hit", std::to_string(i)}));
    }
    client.reset();
    dropPending(); // a delivery task held the last reference
    EXPECT_TRUE(test::eventually([&] { return reaped(pid); }));
}

TEST_F(IpcClientTest, sendGivesUpOnADaemonThatStopsReadingAndWritesOnlyWholeLines) {
    start("pid; pause-stdin");
    const pid_t pid = daemonPid();
    std::size_t accepted = 0;
    for (; logLines().size() == 1; ++accepted) {
        client->send(config);
    }
    EXPECT_EQ(logLines()[1], "Failed to write to stdin: Resource temporarily unavailable");
    // Longer than the pipe: refused while the pipe holds anything, then taken by a grown pipe.
    const OutboundCommand longCommand{"config", 0.25, std::string(200 * 1024, 's'), true};
    client->send(longCommand);
    ::kill(pid, SIGUSR1);
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted - 1; }));
    client->send(longCommand);
    client->stop();
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted + 2; }));
    EXPECT_EQ(recorded()[accepted - 1] + "\n", *encodeCommand(longCommand));
    EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(IpcClientTest, reapsAnEndedDaemonReportsHowItEndedAndLaterSendsFailWithoutEndingTheApp) {
    for (const auto& [actions, ending] : std::vector<std::pair<std::string, std::string>>{
             {"pid; exit 3", "exited with status 3"},
             {R"(pid; write {"type":"ev; crash)", "ended by signal 9 (Killed)"},
             {"pid; close-stdout; exit 0", "exited with status 0"}}) {
        start(actions);
        const pid_t pid = daemonPid();
        ASSERT_TRUE(runUntil(2)) << actions;
        EXPECT_EQ(received[1], (InboundEvent{"ended", "exited", ending}));
        EXPECT_TRUE(reaped(pid) && client->isRunning());
        client->send(config); // would end this process by SIGPIPE if not handled
        EXPECT_EQ(logLines().back(), "Failed to write to stdin: Broken pipe");
    }
}

// Launch failures, and no detector in the resources at all (empty reason).
TEST_F(IpcClientTest, aDaemonThatCannotStartIsLoggedAndReportedAndPushesNeverWait) {
    const fs::path path = directory / "thwack-core-daemon";
    for (const auto& [contents, reason] :
         std::vector<std::pair<const char*, std::string>>{{nullptr, "No such file or directory"},
                                                          {"#!/bin/sh\n", "Permission denied"},
                                                          {"echo\n", "Exec format error"},
                                                          {"", ""}}) {
        fs::create_directories(directory);
        if (contents) {
            std::ofstream(path) << contents;
            fs::permissions(path, reason == "Permission denied" ? fs::perms::owner_read : fs::perms::owner_all);
        }
        start("", reason.empty() ? std::nullopt : std::optional(path));
        EXPECT_EQ(received,
                  (Events{{"ended", "not started", reason.empty() ? "thwack-core-daemon not found" : reason}}));
        for (int i = 0; i < 1000; ++i) { // more than any pipe holds
            client->send(config);
        }
        client->stop();
        EXPECT_EQ(logLines(),
                  Lines{reason.empty() ? "Failed to find thwack-core-daemon in application bundle. Check Build Phases."
                                       : "Failed to start Go daemon: " + reason});
    }
}

} // namespace
} // namespace zonkle
