#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "daemon_link/ipc_client.h"
#include "test_main_thread.h"

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

// The client on the test daemon of tests/support (or `executable`), which runs `actions` and
// records its input. Reports of the daemon's end arrive among the events as type "ended".
struct IpcClientTest : ::testing::Test {
    ~IpcClientTest() override {
        client.reset();
        mainThread.dropPending();
        fs::remove_all(directory);
    }

    void start(const std::string& actions, std::optional<fs::path> executable = fs::path(ZONKLE_TEST_DAEMON)) {
        fs::create_directories(directory);
        ::setenv("ZONKLE_TEST_DAEMON_ACTIONS", actions.c_str(), 1);
        ::setenv("ZONKLE_TEST_DAEMON_RECORD", (directory / "stdin").c_str(), 1);
        received.clear();
        client = IpcClient::create({mainThread.poster(), [executable] { return executable; }, mainThread.logSink()});
        client->onEventReceived = [this](const InboundEvent& event) { received.push_back(event); };
        client->onDetectorFailed = [this](const DetectorFailure& failure) {
            const bool exited = failure.kind == DetectorFailure::Kind::Exited;
            received.push_back({"ended", exited ? "exited" : "not started", failure.detail});
        };
        client->start();
    }

    Lines recorded() const {
        std::ifstream file(directory / "stdin");
        Lines lines;
        for (std::string line; std::getline(file, line);) {
            if (line != "<SIGTERM>") {
                lines.push_back(line);
            }
        }
        return lines;
    }

    // The pid that the daemon's "pid" action tells, which comes first.
    pid_t daemonPid() {
        EXPECT_TRUE(mainThread.runUntil([&] { return !received.empty(); }));
        return received.empty() || !received[0].message ? -1 : std::stoi(*received[0].message);
    }

    test::TestMainThread mainThread;
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
    ASSERT_TRUE(mainThread.runUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(Events(received.begin() + 1, received.end()), (Events{{"fds", {}, "0 1 2"}, {"event", "hit", {}}}));
    EXPECT_EQ(proc(pid, "stat", 5), std::to_string(pid));
    client->stop();
    EXPECT_FALSE(client->isRunning());
    ASSERT_TRUE(test::eventually([&] { return reaped(pid); })); // it ends only on SIGTERM after EOF
    EXPECT_EQ(recorded(), (Lines{configLine, R"({"cmd":"quit"})", "<EOF>"}));
    ASSERT_TRUE(mainThread.runOne()); // the delivery of the end, which is not reported after stop
    EXPECT_EQ(received.size(), 3u);
    // The closed descriptor's number goes to the next file opened; nothing may reach it.
    const int bystander = ::open((directory / "bystander").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    client->stop();
    client->send(config);
    client->start();
    ::close(bystander);
    EXPECT_EQ(fs::file_size(directory / "bystander"), 0u);
    EXPECT_EQ(mainThread.logLines(), (Lines{started, "Failed to write to stdin: Bad file descriptor"}));
}

TEST_F(IpcClientTest, logsBadLinesDropsAFloodInBoundedMemoryNeverDecodesAPartialLineAndReportsTheExit) {
    std::ofstream("/proc/self/clear_refs") << "5"; // sets the peak back to the current size
    const long before = peakResidentKiB();
    start(
        R"(flood 104857600; write \n{"type":"a"}\r\n\n{"action":"hit"}\nnot json\n{"type":"b","message":null}\n{"type":"c"; exit 0)");
    ASSERT_TRUE(mainThread.runUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (Events{{"a", {}, {}}, {"b", {}, {}}, {"ended", "exited", "exited with status 0"}}));
    EXPECT_EQ(mainThread.logLines(), (Lines{started, undecodable, undecodable, undecodable, undecodable}));
    EXPECT_LT(peakResidentKiB() - before, 32 * 1024);
}

TEST_F(IpcClientTest, holdsABurstBackDeliversItInOrderAFewHundredPerTaskAndLetsGoWhenDestroyed) {
    start("pid; hits 100000"); // far more than the queue holds
    const pid_t pid = daemonPid();
    ASSERT_TRUE(test::eventually([&] { return proc(pid, "wchan").find("pipe_write") != std::string::npos; }));
    for (std::size_t i = 1; i <= 20000; ++i) {
        ASSERT_TRUE(received.size() > i || mainThread.runOne());
        ASSERT_LE(received.size(), i + IpcClient::maxEventsPerDelivery);
        ASSERT_EQ(received[i], (InboundEvent{"event", "hit", std::to_string(i)}));
    }
    client.reset();
    mainThread.dropPending(); // a delivery task held the last reference
    EXPECT_TRUE(test::eventually([&] { return reaped(pid); }));
}

TEST_F(IpcClientTest, sendGivesUpOnADaemonThatStopsReadingAndWritesOnlyWholeLines) {
    start("pid; pause-stdin");
    const pid_t pid = daemonPid();
    std::size_t accepted = 0;
    for (; mainThread.logLines().size() == 1; ++accepted) {
        client->send(config);
    }
    EXPECT_EQ(mainThread.logLines()[1], "Failed to write to stdin: Resource temporarily unavailable");
    // Longer than the pipe: refused while the pipe holds anything, then taken by a grown pipe.
    const OutboundCommand longCommand{"config", 0.25, std::string(200 * 1024, 's'), true};
    client->send(longCommand);
    ::kill(pid, SIGUSR1);
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted - 1; }));
    client->send(longCommand);
    client->stop();
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted + 2; }));
    EXPECT_EQ(recorded()[accepted - 1] + "\n", *encodeCommand(longCommand));
    EXPECT_EQ(mainThread.logLines().size(), 3u);
}

TEST_F(IpcClientTest, reapsAnEndedDaemonReportsHowItEndedAndLaterSendsFailWithoutEndingTheApp) {
    const std::vector<std::pair<std::string, std::string>> endings{
        {"pid; exit 3", "exited with status 3"},
        {R"(pid; write {"type":"ev; crash)", "ended by signal 9 (Killed)"},
        {"pid; close-stdout; exit 0", "exited with status 0"},
    };
    for (const auto& [actions, ending] : endings) {
        start(actions);
        const pid_t pid = daemonPid();
        ASSERT_TRUE(mainThread.runUntil([&] { return received.size() == 2; })) << actions;
        EXPECT_EQ(received[1], (InboundEvent{"ended", "exited", ending}));
        EXPECT_TRUE(reaped(pid) && client->isRunning());
        client->send(config); // would end this process by SIGPIPE if not handled
        EXPECT_EQ(mainThread.logLines().back(), "Failed to write to stdin: Broken pipe");
    }
}

TEST_F(IpcClientTest, aDaemonThatCannotStartIsLoggedAndReportedAndPushesNeverWait) {
    const fs::path path = directory / "thwack-core-daemon";
    const std::vector<std::tuple<const char*, fs::perms, std::string>> failures{
        {nullptr, fs::perms::none, "No such file or directory"},
        {"#!/bin/sh\n", fs::perms::owner_read, "Permission denied"},
        {"echo hello\n", fs::perms::owner_all, "Exec format error"},
        {"", fs::perms::none, ""}, // not in the resources at all
    };
    std::size_t runs = 0;
    for (const auto& [contents, permissions, reason] : failures) {
        fs::create_directories(directory);
        if (contents) {
            std::ofstream(path) << contents;
            fs::permissions(path, permissions);
        }
        start("", reason.empty() ? std::nullopt : std::optional(path));
        const std::string detail = reason.empty() ? "thwack-core-daemon not found" : reason;
        EXPECT_EQ(received, (Events{{"ended", "not started", detail}}));
        for (int i = 0; i < 1000; ++i) { // more than any pipe holds
            client->send(config);
        }
        client->stop();
        EXPECT_EQ(mainThread.logLines().back(),
                  reason.empty() ? "Failed to find thwack-core-daemon in application bundle. Check Build Phases."
                                 : "Failed to start Go daemon: " + reason);
        EXPECT_EQ(mainThread.logLines().size(), ++runs);
    }
}

} // namespace
} // namespace zonkle
