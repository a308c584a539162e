#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "daemon_link/ipc_client.h"
#include "daemon_link/message_codec.h"
#include "printers.h"
#include "test_main_thread.h"

namespace zonkle {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

const fs::path testDaemon = ZONKLE_TEST_DAEMON;
const std::string startedLog = "Go daemon started successfully.";
const std::string decodeFailureLog = "Failed to decode JSON from Go daemon stdout.";
const OutboundCommand defaultConfig{"config", 0.5, "default", false};
const std::string configLine = R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})";
const std::string quitLine = R"({"cmd":"quit"})";

InboundEvent event(std::string type, std::optional<std::string> action = std::nullopt,
                   std::optional<std::string> message = std::nullopt) {
    return {std::move(type), std::move(action), std::move(message)};
}

bool reaped(pid_t pid) {
    return !fs::exists("/proc/" + std::to_string(pid)); // a zombie keeps its /proc entry
}

bool blockedWritingToPipe(pid_t pid) {
    std::ifstream wchan("/proc/" + std::to_string(pid) + "/wchan");
    std::string where;
    wchan >> where;
    return where.find("pipe_write") != std::string::npos;
}

// Peak resident memory, after the kernel's peak has been set back to the current size.
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

void resetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

class IpcClientTest : public ::testing::Test {
protected:
    IpcClientTest() {
        // Parameterized test names hold a '/', which must not make a nested directory.
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        directory = fs::temp_directory_path() / ("zonkle-ipc-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(directory);
        fs::create_directories(directory);
    }

    ~IpcClientTest() override {
        client.reset();
        mainThread.dropPending();
        ::unsetenv("ZONKLE_TEST_DAEMON_ACTIONS");
        ::unsetenv("ZONKLE_TEST_DAEMON_RECORD");
        fs::remove_all(directory);
    }

    // Makes the client for `executable` (the test daemon by default), which runs `actions`
    // and records its input, and starts it.
    void start(const std::string& actions, std::optional<fs::path> executable = testDaemon) {
        ::setenv("ZONKLE_TEST_DAEMON_ACTIONS", actions.c_str(), 1);
        ::setenv("ZONKLE_TEST_DAEMON_RECORD", recordFile().c_str(), 1);
        client = IpcClient::create({mainThread.poster(), [executable] { return executable; }, mainThread.logSink()});
        client->onEventReceived = [this](const InboundEvent& event) { received.push_back(event); };
        client->onDetectorFailed = [this](const DetectorFailure& failure) {
            received.push_back(
                {"failure", failure.kind == DetectorFailure::Kind::Exited ? "exited" : "not started", failure.detail});
        };
        client->start();
    }

    fs::path recordFile() const { return directory / "stdin.txt"; }

    // The daemon's input as it recorded it, without the SIGTERM marks, which may fall anywhere.
    Lines recorded(bool withSigterm = false) const {
        std::ifstream file(recordFile(), std::ios::binary);
        Lines lines;
        for (std::string line; std::getline(file, line);) {
            if (withSigterm || line != "<SIGTERM>") {
                lines.push_back(line);
            }
        }
        return lines;
    }

    bool recordedContains(const std::string& line) const {
        const auto lines = recorded(true);
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    bool waitForEvents(std::size_t count) {
        return mainThread.runUntil([&] { return received.size() >= count; });
    }

    // Waits for the {"type":"pid"} event that the "pid" action writes.
    pid_t daemonPid() {
        const auto isPid = [](const InboundEvent& e) { return e.type == "pid"; };
        if (!mainThread.runUntil([&] { return std::any_of(received.begin(), received.end(), isPid); })) {
            ADD_FAILURE() << "the daemon did not tell its pid";
            return -1;
        }
        return std::stoi(*std::find_if(received.begin(), received.end(), isPid)->message);
    }

    Lines logs() const { return mainThread.logLines(); }

    test::TestMainThread mainThread;
    std::shared_ptr<IpcClient> client;
    std::vector<InboundEvent> received;
    fs::path directory;
};

TEST_F(IpcClientTest, startsOnceAndExchangesLinesWithTheDaemon) {
    start(R"(wait-stdin-lines 1; line {"type":"event","action":"hit"})");
    client->start();
    EXPECT_TRUE(client->isRunning());
    client->send(defaultConfig);
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(received, std::vector{event("event", "hit")});
    EXPECT_EQ(recorded(), Lines{configLine});
    EXPECT_EQ(logs(), Lines{startedLog});
}

TEST_F(IpcClientTest, daemonInheritsOnlyTheStandardDescriptors) {
    const int leaky = ::open("/dev/null", O_RDONLY); // deliberately not close-on-exec
    ASSERT_GE(leaky, 0);
    const auto other = IpcClient::create({mainThread.poster(), [] { return std::nullopt; }, mainThread.logSink()});
    start("fds");
    ::close(leaky);
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(received[0], event("fds", std::nullopt, "0 1 2"));
}

TEST_F(IpcClientTest, logsEachUndecodableLineAndNeverDecodesAPartialLastLine) {
    start(R"(pid; write {"type":"a"}\r\n\n{"action":"hit"}\n{"type":"event","action":7}\nnot json\n)"
          R"({"type":"b","message":null,"x":1}\n{"type":"c"}; exit 0)");
    const pid_t pid = daemonPid();
    ASSERT_TRUE(test::eventually([&] { return reaped(pid); })); // so the reader has seen the end
    mainThread.runPending();
    EXPECT_EQ(received, (std::vector{event("pid", std::nullopt, std::to_string(pid)), event("a"), event("b"),
                                     event("failure", "exited", "exited with status 0")}));
    EXPECT_EQ(logs(), (Lines{startedLog, decodeFailureLog, decodeFailureLog, decodeFailureLog, decodeFailureLog}));
    EXPECT_TRUE(client->isRunning());
}

TEST_F(IpcClientTest, discardsAFloodWithoutLineFeedsInBoundedMemory) {
    constexpr long floodBytes = 100L * 1024 * 1024;
    constexpr long allowedGrowthKiB = 32 * 1024;
    resetPeakResident();
    const long before = peakResidentKiB();
    start("flood " + std::to_string(floodBytes) + R"(; write \n; line {"type":"after"})");
    ASSERT_TRUE(waitForEvents(1));
    const long growth = peakResidentKiB() - before;
    EXPECT_EQ(received, std::vector{event("after")});
    EXPECT_EQ(logs(), (Lines{startedLog, decodeFailureLog}));
    EXPECT_LT(growth, allowedGrowthKiB);
    RecordProperty("peakResidentGrowthKiB", std::to_string(growth));
}

TEST_F(IpcClientTest, deliversABurstInOrderAFewHundredEventsPerTask) {
    constexpr std::size_t hits = 20000;
    start("hits " + std::to_string(hits));
    std::size_t mostPerTask = 0;
    while (received.size() < hits) {
        ASSERT_TRUE(mainThread.waitForTask());
        const std::size_t before = received.size();
        mainThread.runOne();
        mostPerTask = std::max(mostPerTask, received.size() - before);
    }
    ASSERT_EQ(received.size(), hits);
    for (std::size_t i = 0; i < hits; ++i) {
        ASSERT_EQ(received[i], event("event", "hit", std::to_string(i + 1)));
    }
    EXPECT_LE(mostPerTask, IpcClient::maxEventsPerDelivery);
}

TEST_F(IpcClientTest, stopSendsQuitThenClosesInputThenTerminatesAndIsFinal) {
    start("pid; wait-stdin-eof; wait-sigterm");
    const pid_t pid = daemonPid();
    client->send(defaultConfig);
    client->stop();
    EXPECT_FALSE(client->isRunning());
    ASSERT_TRUE(test::eventually([&] { return reaped(pid); })); // ends only once it has had SIGTERM
    EXPECT_EQ(recorded(), (Lines{configLine, quitLine, "<EOF>"}));
    EXPECT_TRUE(recordedContains("<SIGTERM>"));
    ASSERT_TRUE(mainThread.waitForTask()); // the delivery of the daemon's end...
    mainThread.runPending();
    EXPECT_EQ(received.size(), 1u) << "...which is expected after stop, so not reported";

    // The closed descriptor's number is free again and goes to one of the next files opened.
    constexpr int bystanderCount = 16;
    std::vector<int> bystanders;
    for (int i = 0; i < bystanderCount; ++i) {
        const auto path = directory / ("bystander" + std::to_string(i));
        bystanders.push_back(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    }
    client->stop();
    client->send(defaultConfig);
    client->start();
    for (int i = 0; i < bystanderCount; ++i) {
        ::close(bystanders[i]);
        EXPECT_EQ(fs::file_size(directory / ("bystander" + std::to_string(i))), 0u);
    }
    EXPECT_FALSE(client->isRunning());
    EXPECT_EQ(logs(), (Lines{startedLog, "Failed to write to stdin: Bad file descriptor"}));
}

TEST_F(IpcClientTest, sendGivesUpOnADaemonThatStopsReadingAndWritesOnlyWholeLines) {
    start("pause-stdin; pid");
    const pid_t pid = daemonPid();
    const Lines stalled{startedLog, "Failed to write to stdin: Resource temporarily unavailable"};
    std::size_t accepted = 0;
    constexpr std::size_t sendLimit = 100000; // far more lines than any pipe holds
    while (logs().size() == 1 && accepted < sendLimit) {
        client->send(defaultConfig);
        accepted += logs().size() == 1 ? 1 : 0;
    }
    ASSERT_EQ(logs(), stalled);

    // A line longer than the pipe is refused whole while the pipe holds anything...
    const OutboundCommand longCommand{"config", 0.25, std::string(200 * 1024, 's'), true};
    client->send(longCommand);
    EXPECT_EQ(logs().size(), 3u);
    // ...and once the daemon has read everything, the pipe is grown to take it.
    ::kill(pid, SIGUSR1);
    ASSERT_TRUE(test::eventually([&] { return recorded().size() == accepted; }));
    client->send(longCommand);
    client->stop();
    ASSERT_TRUE(test::eventually([&] { return recordedContains("<EOF>"); }));

    Lines expected(accepted, configLine);
    const auto longLine = encodeCommand(longCommand);
    expected.push_back(longLine->substr(0, longLine->size() - 1));
    expected.push_back(quitLine);
    expected.push_back("<EOF>");
    EXPECT_EQ(recorded(), expected);
    EXPECT_EQ(logs().size(), 3u);
}

struct DaemonEnding {
    const char* behaviour;
    const char* actions;
    const char* ending;
    friend void PrintTo(const DaemonEnding& ending, std::ostream* out) { *out << ending.behaviour; }
};

class DaemonEndingTest : public IpcClientTest, public ::testing::WithParamInterface<DaemonEnding> {};

TEST_P(DaemonEndingTest, reapsTheDaemonAndLaterSendsFailWithoutEndingTheApp) {
    start(GetParam().actions);
    const pid_t pid = daemonPid();
    ASSERT_TRUE(test::eventually([&] { return reaped(pid); }));
    EXPECT_TRUE(client->isRunning());
    EXPECT_EQ(logs(), Lines{startedLog});
    client->send(defaultConfig); // would end this process by SIGPIPE if not handled
    EXPECT_EQ(logs(), (Lines{startedLog, "Failed to write to stdin: Broken pipe"}));
    mainThread.runPending();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], event("failure", "exited", GetParam().ending));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, DaemonEndingTest,
    ::testing::Values(DaemonEnding{"exits", "pid; exit 3", "exited with status 3"},
                      DaemonEnding{"crashesMidLine", R"(pid; write {"type":"ev; crash)", "ended by signal 9 (Killed)"},
                      DaemonEnding{"closesOutputFirst", "pid; close-stdout; exit 0", "exited with status 0"}),
    [](const auto& info) { return std::string(info.param.behaviour); });

struct LaunchFailure {
    const char* behaviour;
    const char* executableText; // nullptr: no file; "": no location at all
    fs::perms permissions;
    std::string log;
    std::string detail;
    friend void PrintTo(const LaunchFailure& failure, std::ostream* out) { *out << failure.behaviour; }
};

class LaunchFailureTest : public IpcClientTest, public ::testing::WithParamInterface<LaunchFailure> {};

TEST_P(LaunchFailureTest, logsTheReasonAndStaysIdle) {
    const auto& failure = GetParam();
    std::optional<fs::path> executable = directory / "thwack-core-daemon";
    if (failure.executableText == nullptr) {
        // nothing at that path
    } else if (std::string(failure.executableText).empty()) {
        executable.reset();
    } else {
        std::ofstream(*executable) << failure.executableText;
        fs::permissions(*executable, failure.permissions);
    }
    start("", executable);
    EXPECT_FALSE(client->isRunning());
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], event("failure", "not started", failure.detail));
    client->stop();
    client->send(defaultConfig); // goes into the pipe that nobody reads, without a log line
    EXPECT_EQ(logs(), Lines{failure.log});
}

INSTANTIATE_TEST_SUITE_P(
    Launch, LaunchFailureTest,
    ::testing::Values(LaunchFailure{"notInTheResources", "", fs::perms::none,
                                    "Failed to find thwack-core-daemon in application bundle. Check Build Phases.",
                                    "thwack-core-daemon not found"},
                      LaunchFailure{"vanished", nullptr, fs::perms::none,
                                    "Failed to start Go daemon: No such file or directory",
                                    "No such file or directory"},
                      LaunchFailure{"notExecutable", "#!/bin/sh\n", fs::perms::owner_read | fs::perms::owner_write,
                                    "Failed to start Go daemon: Permission denied", "Permission denied"},
                      LaunchFailure{"textWithoutInterpreter", "echo hello\n", fs::perms::owner_all,
                                    "Failed to start Go daemon: Exec format error", "Exec format error"}),
    [](const auto& info) { return std::string(info.param.behaviour); });

TEST_F(IpcClientTest, destroyingTheClientReleasesAReaderWaitingForTheMainThread) {
    start("pid; wait-stdin-lines 1; hits 100000"); // far more than the queue holds
    const pid_t pid = daemonPid();
    client->send(defaultConfig);
    // The reader waits for room in the queue that this main thread does not drain, and the
    // daemon blocks on its full output.
    ASSERT_TRUE(test::eventually(
        [&] { return client->queuedEvents() >= IpcClient::maxQueuedEvents && blockedWritingToPipe(pid); }));
    client.reset();
    mainThread.dropPending(); // the delivery task held the last reference
    EXPECT_TRUE(test::eventually([&] { return reaped(pid); }));
}

} // namespace
} // namespace zonkle
