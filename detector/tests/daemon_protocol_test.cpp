// The daemon's side of the protocol, exercised through the real binary and real pipes, with
// accelerometer replays from CSV files and sounds written to WAV files.
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "daemon_process.h"
#include "scene.h"
#include "sound/sound_bank.h"
#include "sound/wav_file_sink.h"
#include "wav/wav_reader.h"

namespace thwack::test {
namespace {

constexpr const char* hitLine = R"({"type":"event","action":"hit"})";
constexpr const char* pongLine = R"({"type":"event","action":"pong"})";
constexpr const char* runningConfig = R"({"cmd":"config","sensitivity":1.0,"sound":"default","paused":false})";

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "thwack-test-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

// A device at rest with one-sample knocks of the given sizes (g) at the given times.
std::filesystem::path writeKnocks(const std::filesystem::path& dir,
                                  const std::vector<std::pair<double, double>>& knocks, double seconds = 6.0) {
    Scene scene;
    scene.kind = "test-knocks";
    scene.sampleRate = 100.0;
    for (int n = 0; n < static_cast<int>(seconds * 100); ++n) {
        AccelSample sample{n / 100.0, 0.0, 0.0, 1.0};
        for (const auto& [t, size] : knocks) {
            if (n == static_cast<int>(std::lround(t * 100))) {
                sample.z += size;
                scene.hits.push_back(t);
            }
        }
        scene.accel.push_back(sample);
    }
    return scene.write(dir / "knocks");
}

std::map<std::string, std::string> replayEnv(const std::filesystem::path& input, const std::string& audio = "null") {
    return {{"THWACK_INPUT", input.string()}, {"THWACK_AUDIO_OUT", audio}};
}

// Runs a replay to its end and returns the stdout lines after the start-up pong.
std::vector<std::string> replay(DaemonProcess& daemon, const std::string& config) {
    EXPECT_EQ(daemon.nextLine(), pongLine);
    daemon.send(config + "\n");
    EXPECT_TRUE(daemon.waitForStderr("replay finished")) << daemon.stderrText();
    daemon.closeInput();
    EXPECT_EQ(daemon.waitForExit(), 0);
    auto lines = daemon.allLines();
    lines.erase(lines.begin());
    return lines;
}

std::size_t countHits(const std::vector<std::string>& lines) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), hitLine));
}

TEST(DaemonProtocol, reportsEachKnockOfAReplayAsOneHitLine) {
    TempDir dir;
    DaemonProcess daemon(replayEnv(writeKnocks(dir.path, {{1.0, 0.5}, {2.0, 1.0}, {3.5, 0.3}})));
    const auto lines = replay(daemon, runningConfig);
    EXPECT_EQ(lines, std::vector<std::string>(3, hitLine));
    EXPECT_NE(daemon.stderrText().find("hit at 1.000 s"), std::string::npos);
}

TEST(DaemonProtocol, reportsNoHitsWhilePaused) {
    TempDir dir;
    DaemonProcess daemon(replayEnv(writeKnocks(dir.path, {{1.0, 0.5}, {2.0, 1.0}})));
    const auto lines = replay(daemon, R"({"cmd":"config","sensitivity":2.0,"sound":"default","paused":true})");
    EXPECT_TRUE(lines.empty());
    EXPECT_NE(daemon.stderrText().find("0 hit(s) reported"), std::string::npos);
}

TEST(DaemonProtocol, playsTheChosenSoundAndDefaultForAnUnknownName) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}});
    const SoundBank bank(WavFileSink::fileRateHz);
    for (const std::string sound : {"fart", "what_da_dog_doing", "no-such-sound"}) {
        const auto out = dir.path / (sound + ".wav");
        DaemonProcess daemon(replayEnv(input, out.string()));
        replay(daemon, R"({"cmd":"config","sound":")" + sound + R"("})");
        double rate = 0.0;
        std::string why;
        const auto played = WavReader::readAll(out, rate, why);
        EXPECT_EQ(rate, WavFileSink::fileRateHz) << why;
        EXPECT_EQ(played.size(), bank.find(sound).size()) << sound;
    }
    EXPECT_EQ(bank.find("no-such-sound").size(), bank.find("default").size());
}

TEST(DaemonProtocol, ignoresBadLinesAndKeepsWorking) {
    TempDir dir;
    DaemonProcess daemon(replayEnv(writeKnocks(dir.path, {{1.0, 0.5}})));
    daemon.send("garbage\n{\"cmd\":7}\n[1,2]\n{\"cmd\":\"config\",\"sensitivity\":\"high\"}\n"
                "{\"cmd\":\"config\",\"paused\":1}\n{\"cmd\":\"dance\"}\n\n");
    const auto lines = replay(daemon, runningConfig);
    EXPECT_EQ(lines, std::vector<std::string>{hitLine});
    const auto& err = daemon.stderrText();
    EXPECT_NE(err.find("not valid JSON"), std::string::npos);
    EXPECT_NE(err.find("\"sensitivity\" is not a number"), std::string::npos);
    EXPECT_NE(err.find("unknown command \"dance\""), std::string::npos);
}

long peakMemoryKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmHWM:")) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

// Peak memory after a replay, with the given bytes sent before the config.
long peakMemoryAfter(const std::filesystem::path& input, const std::string& junk, std::string& err) {
    DaemonProcess daemon(replayEnv(input));
    EXPECT_EQ(daemon.nextLine(), pongLine);
    constexpr std::size_t piece = 1 << 20;
    for (std::size_t i = 0; i < junk.size(); i += piece) {
        daemon.send(junk.substr(i, piece));
    }
    daemon.send(std::string("\n") + runningConfig + "\n");
    EXPECT_TRUE(daemon.waitForStderr("replay finished"));
    const long peak = peakMemoryKb(daemon.pid());
    daemon.closeInput();
    EXPECT_EQ(daemon.waitForExit(), 0);
    EXPECT_EQ(countHits(daemon.allLines()), 1u);
    err = daemon.stderrText();
    return peak;
}

TEST(DaemonProtocol, survivesAHugeLineWithBoundedMemory) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}});
    std::string err;
    const long baseline = peakMemoryAfter(input, "", err);
    const long huge = peakMemoryAfter(input, std::string(32 << 20, 'x'), err);
    ASSERT_GT(baseline, 0);
    // 32 MiB went in as one line; the daemon holds at most its 1 MiB bound of it, which a
    // sanitizer's shadow memory may multiply a few times.
    constexpr long allowanceKb = 8 * 1024;
    EXPECT_LT(huge, baseline + allowanceKb) << "baseline " << baseline << " kB";
    RecordProperty("peakKbWithHugeLine", std::to_string(huge));
    RecordProperty("peakKbBaseline", std::to_string(baseline));
    EXPECT_NE(err.find("longer than"), std::string::npos);
}

TEST(DaemonProtocol, exitsWithStatusZeroOnQuitEndOfInputAndSigterm) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}});
    {
        DaemonProcess daemon(replayEnv(input));
        daemon.send(std::string(runningConfig) + "\n{\"cmd\":\"quit\"}\n");
        EXPECT_EQ(daemon.waitForExit(), 0);
    }
    {
        DaemonProcess daemon(replayEnv(input));
        daemon.closeInput();
        EXPECT_EQ(daemon.waitForExit(), 0);
    }
    {
        // Before any config: the replay is waiting and must not hold the daemon up.
        DaemonProcess daemon(replayEnv(input));
        ASSERT_TRUE(daemon.waitForStderr("sensing with"));
        daemon.signal(SIGTERM);
        EXPECT_EQ(daemon.waitForExit(), 0);
    }
    {
        // After the replay, idle.
        DaemonProcess daemon(replayEnv(input));
        daemon.send(std::string(runningConfig) + "\n");
        ASSERT_TRUE(daemon.waitForStderr("replay finished"));
        daemon.signal(SIGTERM);
        EXPECT_EQ(daemon.waitForExit(), 0);
    }
}

// A FIFO named as input blocks the probe in open() until someone writes to it, as a stuck
// ALSA device or sysfs file would. 0 stands for the end of input.
TEST(DaemonProtocol, endsOnEveryStopRequestWhileTheProbeBlocks) {
    TempDir dir;
    const auto fifo = dir.path / "stuck.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const int stop : {SIGTERM, SIGINT, SIGHUP, 0}) {
        DaemonProcess daemon(replayEnv(fifo));
        // Written before the probe, once the stop signals are handled.
        ASSERT_TRUE(daemon.waitForStderr("sounds go to"));
        const auto start = std::chrono::steady_clock::now();
        if (stop == 0) {
            daemon.closeInput();
        } else {
            daemon.signal(stop);
        }
        EXPECT_EQ(daemon.waitForExit(), 0) << "stop " << stop;
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        RecordProperty("stopMs" + std::to_string(stop), std::to_string(took.count()));
    }
}

TEST(DaemonProtocol, answersItsCommandLineWithoutSensing) {
    struct Case {
        const char* argument;
        int status;
        const char* expected; // on stdout for 0, on stderr otherwise
    };
    for (const Case c : {Case{"--help", 0, "THWACK_INPUT"}, Case{"-h", 0, "THWACK_AUDIO_OUT"},
                         Case{"--version", 0, "thwack-core-daemon " THWACK_VERSION "\n"},
                         Case{"-v", 0, "thwack-core-daemon "}, Case{"--sensitivity=2", 2, "unknown option"}}) {
        DaemonProcess daemon({{"THWACK_INPUT", "mic"}}, {c.argument});
        EXPECT_EQ(daemon.waitForExit(), c.status) << c.argument;
        EXPECT_NE((c.status == 0 ? daemon.stdoutText() : daemon.stderrText()).find(c.expected), std::string::npos)
            << c.argument << ": " << daemon.stdoutText() << daemon.stderrText();
        EXPECT_EQ(daemon.stderrText().find("sensor"), std::string::npos) << c.argument;
    }
}

TEST(DaemonProtocol, reportsAMissingSensorAndKeepsReadingItsInput) {
    TempDir dir;
    for (const std::string& input : {(dir.path / "missing.csv").string(), (dir.path / "missing.wav").string(),
                                     (dir.path / "scene.mp3").string()}) {
        DaemonProcess daemon(replayEnv(input));
        const auto first = daemon.nextLine();
        ASSERT_TRUE(first) << input;
        const auto json = nlohmann::json::parse(*first);
        EXPECT_EQ(json.at("type"), "error");
        EXPECT_EQ(json.at("action"), "no_sensor");
        EXPECT_FALSE(json.at("message").get<std::string>().empty());
        // Still reading: a config and a bad line are answered on stderr, then it ends at EOF.
        daemon.send(std::string(runningConfig) + "\nnot json\n");
        EXPECT_TRUE(daemon.waitForStderr("ignored a command line"));
        daemon.closeInput();
        EXPECT_EQ(daemon.waitForExit(), 0);
        EXPECT_EQ(daemon.allLines().size(), 1u) << daemon.stdoutText();
    }
}

TEST(DaemonProtocol, reportsMissingSoundOutputButStillReportsHits) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}});
    DaemonProcess daemon(replayEnv(input, (dir.path / "no-such-dir" / "out.wav").string()));
    const auto first = daemon.nextLine();
    ASSERT_TRUE(first);
    EXPECT_NE(first->find("\"no_audio\""), std::string::npos);
    daemon.send(std::string(runningConfig) + "\n");
    ASSERT_TRUE(daemon.waitForStderr("replay finished"));
    daemon.closeInput();
    EXPECT_EQ(daemon.waitForExit(), 0);
    const auto lines = daemon.allLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), pongLine), 0);
    EXPECT_EQ(countHits(lines), 1u);
}

} // namespace
} // namespace thwack::test
