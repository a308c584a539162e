// The daemon's side of the protocol, exercised through the real binary and real pipes, with
// accelerometer replays from CSV files and sounds written to WAV files.
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "daemon_process.h"
#include "scene.h"
#include "sound/sound_bank.h"
#include "sound/wav_file_sink.h"
#include "temp_dir.h"
#include "wav/wav_reader.h"

namespace thwack::test {
namespace {

constexpr const char* hitLine = R"({"type":"event","action":"hit"})";
constexpr const char* pongLine = R"({"type":"event","action":"pong"})";
constexpr const char* runningConfig = R"({"cmd":"config","sensitivity":1.0,"sound":"default","paused":false})";

// A device at rest with one-sample knocks of the given sizes (g) at the given times.
std::filesystem::path writeKnocks(const std::filesystem::path& dir,
                                  const std::vector<std::pair<double, double>>& knocks) {
    Scene scene;
    scene.kind = "test-knocks";
    scene.sampleRate = 100.0;
    for (int n = 0; n < 600; ++n) {
        AccelSample sample{n / 100.0, 0.0, 0.0, 1.0};
        for (const auto& [t, size] : knocks) {
            sample.z += n == static_cast<int>(std::lround(t * 100)) ? size : 0.0;
        }
        scene.accel.push_back(sample);
    }
    return scene.write(dir / "knocks");
}

std::map<std::string, std::string> replayEnv(const std::filesystem::path& input, const std::string& audio = "null") {
    return {{"THWACK_INPUT", input.string()}, {"THWACK_AUDIO_OUT", audio}};
}

// Sends the bytes, runs the replay to its end and returns every stdout line.
std::vector<std::string> replay(DaemonProcess& daemon, const std::string& bytes) {
    daemon.send(bytes);
    EXPECT_TRUE(daemon.waitFor("replay finished")) << daemon.output();
    daemon.closeInput();
    EXPECT_EQ(daemon.waitForExit(), 0);
    return daemon.events();
}

// A replay waits for the first config, so its settings hold from the first sample.
TEST(DaemonProtocol, reportsEachKnockOnceUnlessPausedAndIgnoresBadLines) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}, {2.0, 1.0}, {3.5, 0.3}});
    const std::string badLines = "garbage\n{\"cmd\":7}\n[1,2]\n{\"cmd\":\"config\",\"sensitivity\":\"high\"}\n"
                                 "{\"cmd\":\"config\",\"paused\":1}\n{\"cmd\":\"dance\"}\n\n";
    struct Case {
        std::string bytes;
        std::size_t hits;
        const char* explained; // on stderr
    };
    for (const Case& c : {Case{std::string(runningConfig) + "\n", 3, ""},
                          Case{"{\"cmd\":\"config\",\"sensitivity\":2.0,\"paused\":true}\n", 0, ""},
                          Case{badLines + runningConfig + "\n", 3, "unknown command \"dance\""},
                          Case{badLines + runningConfig + "\n", 3, "\"sensitivity\" is not a number"}}) {
        DaemonProcess daemon(replayEnv(input));
        auto lines = replay(daemon, c.bytes);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), pongLine);
        lines.erase(lines.begin());
        EXPECT_EQ(lines, std::vector<std::string>(c.hits, hitLine)) << c.bytes;
        EXPECT_NE(daemon.output().find(std::to_string(c.hits) + " hit(s) reported"), std::string::npos);
        EXPECT_NE(daemon.output().find(c.explained), std::string::npos);
        // The replay line for measuring tools, at the first knock's reading.
        EXPECT_EQ(daemon.output().find("\nhit at 1.000000 s\n") != std::string::npos, c.hits > 0);
    }
}

TEST(DaemonProtocol, playsTheChosenSoundAndDefaultForAnUnknownName) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}});
    const SoundBank bank(WavFileSink::fileRateHz);
    for (const std::string sound : {"fart", "no-such-sound"}) {
        const auto out = dir.path / (sound + ".wav");
        DaemonProcess daemon(replayEnv(input, out.string()));
        replay(daemon, R"({"cmd":"config","sound":")" + sound + "\"}\n");
        double rate = 0.0;
        std::string why;
        const auto played = WavReader::readAll(out, rate, why);
        EXPECT_EQ(rate, WavFileSink::fileRateHz) << why;
        // On the replay's timeline: silence until the hit at 1 s, then the whole sound.
        const auto start = static_cast<std::size_t>(WavFileSink::fileRateHz);
        ASSERT_EQ(played.size(), start + bank.find(sound).size()) << sound;
        EXPECT_TRUE(std::all_of(played.begin(), played.begin() + start, [](float s) { return s == 0.0f; }));
    }
    EXPECT_EQ(bank.find("no-such-sound").size(), bank.find("default").size());
}

// A FIFO named as input blocks the probe in open() until someone writes to it, as a stuck
// ALSA device or sysfs file would. 0 stands for the end of input.
TEST(DaemonProtocol, endsOnEveryStopRequestWhileTheProbeBlocks) {
    TempDir dir;
    const auto fifo = dir.path / "stuck.csv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const int stop : {SIGTERM, SIGINT, SIGHUP, 0, -1}) {
        DaemonProcess daemon(replayEnv(fifo));
        // Written before the probe, once the stop signals are handled.
        ASSERT_TRUE(daemon.waitFor("sounds go to"));
        if (stop > 0) {
            daemon.signal(stop);
        } else if (stop == 0) {
            daemon.closeInput();
        } else {
            daemon.send("{\"cmd\":\"quit\"}\n");
        }
        EXPECT_EQ(daemon.waitForExit(), 0) << "stop " << stop;
    }
}

TEST(DaemonProtocol, reportsMissingPartsAndKeepsReadingItsInput) {
    TempDir dir;
    const auto knocks = writeKnocks(dir.path, {{1.0, 0.5}});
    struct Case {
        std::filesystem::path input;
        std::string audio;
        const char* error;
        std::size_t hits;
    };
    for (const Case& c :
         {Case{dir.path / "missing.csv", "null", "no_sensor", 0}, Case{dir.path / "scene.mp3", "null", "no_sensor", 0},
          Case{knocks, (dir.path / "no-such-dir" / "out.wav").string(), "no_audio", 1}}) {
        DaemonProcess daemon(replayEnv(c.input, c.audio));
        daemon.send(std::string(runningConfig) + "\nnot json\n");
        EXPECT_TRUE(daemon.waitFor("ignored a command line"));
        if (c.hits > 0) {
            EXPECT_TRUE(daemon.waitFor("replay finished"));
        }
        daemon.closeInput();
        EXPECT_EQ(daemon.waitForExit(), 0);
        const auto lines = daemon.events();
        ASSERT_EQ(lines.size(), 1 + c.hits) << daemon.output();
        const auto json = nlohmann::json::parse(lines.front());
        EXPECT_EQ(json.at("type"), "error");
        EXPECT_EQ(json.at("action"), c.error);
        EXPECT_FALSE(json.at("message").get<std::string>().empty());
    }
}

TEST(DaemonProtocol, answersItsCommandLineWithoutSensing) {
    struct Case {
        const char* argument;
        int status;
        const char* expected;
    };
    for (const Case c : {Case{"--help", 0, "THWACK_INPUT"}, Case{"-h", 0, "THWACK_AUDIO_OUT"},
                         Case{"--version", 0, "thwack-core-daemon " THWACK_VERSION "\n"},
                         Case{"-v", 0, "thwack-core-daemon "}, Case{"--sensitivity=2", 2, "unknown option"}}) {
        DaemonProcess daemon({{"THWACK_INPUT", "mic"}}, {c.argument});
        EXPECT_EQ(daemon.waitForExit(), c.status) << c.argument;
        EXPECT_NE(daemon.output().find(c.expected), std::string::npos) << c.argument << ": " << daemon.output();
        EXPECT_TRUE(daemon.events().empty()) << c.argument; // no sensing, so no no_sensor line
    }
}

} // namespace
} // namespace thwack::test
