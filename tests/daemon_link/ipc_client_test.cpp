#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <sstream>
#include <unistd.h>

#include "daemon_link/ipc_client.h"
#include "test_main_thread.h"

namespace zonkle {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const std::string started = "Go daemon started successfully.";
const std::string undecodable = "Failed to decode JSON from Go daemon stdout.";
const OutboundCommand config{"config", 0.5, "default", false};
const std::string configLine = R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})";

InboundEvent event(std::string type, std::optional<std::string> action = {}, std::optional<std::string> message = {}) {
    return {std::move(type), std::move(action), std::move(message)};
}

std::string procFile(pid_t pid, const std::string& name) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/" + name);
    std::string text;
    std::getline(file, text);
    return text;
}

bool reaped(pid_t pid) {
    return !fs::exists("/proc/" + std::to_string(pid)); // a zombie keeps its entry
}

// Peak resident memory; writing 5 to clear_refs first sets the peak back to the current size.
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmHWM:")) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// The test daemon of tests/support, or `executable`, running `actions` and recording its input.
class IpcClientTest : public ::testing::Test {
protected:
    ~IpcClientTest() override {
        client.reset();
        mainThread.dropPending();
        fs::remove_all(directory);
    }

    void start(const std::string& actions, std::optional<fs::path> executable = fs::path(ZONKLE_TEST_DAEMON)) {
        fs::create_directories(directory);
        ::setenv("ZONKLE_TEST_DAEMON_ACTIONS", actions.c_str(), 1);
        ::setenv("ZONKLE_TEST_DAEMON_RECORD", (directory / "stdin").c_str(), 1);
        client = IpcClient::create({mainThread.poster(), [executable] { return executable; }, mainThread.logSink()});
        client->onEventReceived = [this](const InboundEvent& e) { received.push_back(e); };
        client->onDetectorFailed = [this](const DetectorFailure& failure) {
            received.push_back(event(failure.kind == DetectorFailure::Kind::Exited ? "exited" : "not started",
                                     std::nullopt, failure.detail));
        };
        client->start();
    }

    // The daemon's input as it recorded it ("<EOF>" at its end), without the SIGTERM marks.
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

    pid_t daemonPid() {
        const auto isPid = [](const InboundEvent& e) { return e.type == "pid"; };
        EXPECT_TRUE(mainThread.runUntil([&] { return std::any_of(received.begin(), received.end(), isPid); }));
        const auto found = std::find_if(received.begin(), received.end(), isPid);
        return found == received.end() ? -1 : std::stoi(*found->message);
    }

    test::TestMainThread mainThread;
    std::shared_ptr<IpcClient> client;
    std::vector<InboundEvent> received;
    fs::path directory = fs::temp_directory_path() / ("zonkle-ipc-" + std::to_string(::getpid()));
};

TEST_F(IpcClientTest, exchangesLinesWithADaemonInItsOwnGroupHoldingOnlyTheStandardDescriptors) {
    const int leaky = ::open("/dev/null", O_RDONLY); // deliberately not close-on-exec
    start(R"(fds; pid; wait-stdin-lines 1; line {"type":"event","action":"hit"})");
    ::close(leaky);
    client->start();
    client->send(config);
    const pid_t pid = daemonPid();
    ASSERT_TRUE(mainThread.runUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received[0], event("fds", std::nullopt, "0 1 2"));
    EXPECT_EQ(received[2], event("event", "hit"));
    // Field 5 of stat is the process group: the daemon's own, not ours.
    std::istringstream stat(procFile(pid, "stat"));
    std::string field;
    for (int i = 0; i < 5; ++i) {
        stat >> field;
    }
    EXPECT_EQ(field, std::to_string(pid));
    EXPECT_EQ(recorded(), Lines{configLine});
    EXPECT_EQ(mainThread.logLines(), Lines{started});
}

TEST_F(IpcClientTest, logsEachBadLineNeverDecodesAPartialLastOneAndReportsTheExitAfterTheEvents) {
    start(R"(write {"type":"a"}\r\n\n{"action":"hit"}\nnot json\n{"type":"b","message":null}\n{"type":"c"; exit 0)");
    ASSERT_TRUE(mainThread.runUntil([&] { return received.size() == 3; }));
    EXPECT_EQ(received, (std::vector{event("a"), event("b"), event("exited", std::nullopt, "exited with status 0")}));
    EXPECT_EQ(mainThread.logLines(), (Lines{started, undecodable, undecodable, undecodable}));
}

TEST_F(IpcClientTest, discardsAFloodWithoutLineFeedsInBoundedMemory) {
    constexpr long floodBytes = 100L * 1024 * 1024;
    constexpr long allowedGrowthKiB = 32 * 1024;
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = peakResidentKiB();
    start("flood " + std::to_string(floodBytes) + R"(; write \n; line {"type":"after"})");
    ASSERT_TRUE(mainThread.runUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, std::vector{event("after")});
    EXPECT_EQ(mainThread.logLines(), (Lines{started, undecodable}));
    EXPECT_LT(peakResidentKiB() - before, allowedGrowthKiB);
}

TEST_F(IpcClientTest, deliversABurstInOrderAFewHundredEventsPerTask) {
    constexpr std::size_t hits = 20000;
    start("hits " + std::to_string(hits));
    std::size_t mostPerTask = 0;
    while (received.size() < hits) {
        const std::size_t before = received.size();
        ASSERT_TRUE(mainThread.runOne());
        mostPerTask = std::max(mostPerTask, received.size() - before);
    }
    for (std::size_t i = 0; i < hits; ++i) {
        ASSERT_EQ(received[i], event("event", "hit", std::to_string(i + 1)));
    }
    EXPECT_LE(mostPerTask, IpcClient::maxEventsPerDelivery);
}

TEST_F(IpcClientTest, stopSendsQuitThenClosesInputThenTerminatesAndIsFinal) {
    start("pid; wait-stdin-eof; wait-sigterm");
    const pid_t pid = daemonPid();
    client->stop();
    EXPECT_FALSE(client->isRunning());
    ASSERT_TRUE(test::eventually([&] { return reaped(pid); })); // it ends only on SIGTERM after EOF
    EXPECT_EQ(recorded(), (Lines{R"({"cmd":"quit"})", "<EOF>"}));
    ASSERT_TRUE(mainThread.runOne()); // the delivery of the daemon's end, which stop asked for
    EXPECT_EQ(received.size(), 1u);
    // The closed descriptor's number goes to the next file opened; nothing may reach it.
    const int bystander = ::open((directory / "bystander").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    client->stop();
    client->send(config);
    client->start();
    ::close(bystander);
    EXPECT_EQ(fs::file_size(directory / "bystander"), 0u);
    EXPECT_EQ(mainThread.logLines(), (Lines{started, "Failed to write to stdin: Bad file descriptor"}));
}

TEST_F(IpcClientTest, sendGivesUpOnADaemonThatStopsReadingAndWritesOnlyWholeLines) {
    start("pause-stdin; pid");
    const pid_t pid = daemonPid();
    std::size_t accepted = 0;
    while (mainThread.logLines().size() == 1) {
        client->send(config);
        accepted += mainThread.logLines().size() == 1 ? 1 : 0;
    }
    EXPECT_EQ(mainThread.logLines().back(), "Failed to write to stdin: Resource temporarily unavailable");
    // A line longer than the pipe is refused whole while the pipe holds anything, and once the
    // daemon has read everything, the pipe is grown to take it.
    const OutboundCommand longCommand{"config", 0.25, std::string(200 * 1024, 's'), true};
    client->send(longCommand);
    ::kill(pid, SIGUSR1);
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted; }));
    client->send(longCommand);
    client->stop();
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted + 3; }));
    const auto longLine = *encodeCommand(longCommand);
    EXPECT_EQ(recorded()[accepted], longLine.substr(0, longLine.size() - 1));
    EXPECT_EQ(recorded().back(), "<EOF>");
    EXPECT_EQ(mainThread.logLines().size(), 3u);
}

struct Ending {
    const char* behaviour;
    const char* actions;
    const char* detail;
};

TEST_F(IpcClientTest, reapsAnEndedDaemonReportsHowItEndedAndLaterSendsFailWithoutEndingTheApp) {
    for (const Ending& ending :
         {Ending{"exits", "pid; exit 3", "exited with status 3"},
          Ending{"crashesMidLine", R"(pid; write {"type":"ev; crash)", "ended by signal 9 (Killed)"},
          Ending{"closesOutputFirst", "pid; close-stdout; exit 0", "exited with status 0"}}) {
        SCOPED_TRACE(ending.behaviour);
        received.clear();
        start(ending.actions);
        const pid_t pid = daemonPid();
        ASSERT_TRUE(mainThread.runUntil([&] { return received.size() == 2; }));
        EXPECT_EQ(received[1], event("exited", std::nullopt, ending.detail));
        EXPECT_TRUE(reaped(pid));
        EXPECT_TRUE(client->isRunning());
        client->send(config); // would end this process by SIGPIPE if not handled
        EXPECT_EQ(mainThread.logLines().back(), "Failed to write to stdin: Broken pipe");
    }
}

TEST_F(IpcClientTest, aDaemonThatCannotStartIsLoggedAndReportedAndPushesNeverWait) {
    struct Failure {
        const char* contents; // nullptr: no file; "": no location at all
        fs::perms permissions;
        std::string reason;
    };
    std::size_t runs = 0;
    const std::string notFound = "Failed to find thwack-core-daemon in application bundle. Check Build Phases.";
    for (const Failure& failure :
         {Failure{"", fs::perms::none, ""}, Failure{nullptr, fs::perms::none, "No such file or directory"},
          Failure{"#!/bin/sh\n", fs::perms::owner_read, "Permission denied"},
          Failure{"echo hello\n", fs::perms::owner_all, "Exec format error"}}) {
        SCOPED_TRACE(failure.reason);
        received.clear();
        std::optional<fs::path> executable = directory / "thwack-core-daemon";
        fs::create_directories(directory);
        if (failure.contents == nullptr || !*failure.contents) {
            fs::remove(*executable);
            executable = failure.contents ? std::nullopt : executable;
        } else {
            std::ofstream(*executable) << failure.contents;
            fs::permissions(*executable, failure.permissions);
        }
        start("", executable);
        EXPECT_FALSE(client->isRunning());
        const std::string log = failure.reason.empty() ? notFound : "Failed to start Go daemon: " + failure.reason;
        const std::string detail = failure.reason.empty() ? "thwack-core-daemon not found" : failure.reason;
        EXPECT_EQ(received, std::vector{event("not started", std::nullopt, detail)});
        // More pushes than any pipe holds: none of them may wait or log.
        for (int i = 0; i < 1000; ++i) {
            client->send(config);
        }
        client->stop();
        EXPECT_EQ(mainThread.logLines().back(), log);
        EXPECT_EQ(mainThread.logLines().size(), ++runs);
    }
}

TEST_F(IpcClientTest, destroyingTheClientReleasesAReaderWaitingForTheMainThread) {
    start("pid; hits 100000"); // far more than the queue holds
    const pid_t pid = daemonPid();
    ASSERT_TRUE(test::eventually([&] { return procFile(pid, "wchan").find("pipe_write") != std::string::npos; }));
    client.reset();
    mainThread.dropPending(); // a delivery task held the last reference
    EXPECT_TRUE(test::eventually([&] { return reaped(pid); }));
}

} // namespace
} // namespace zonkle
