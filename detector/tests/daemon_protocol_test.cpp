// The daemon's side of the protocol, exercised through the real binary and real pipes, with
// accelerometer replays from CSV files and sounds written to WAV files.
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scene.h"
#include "sound/sound_bank.h"
#include "sound/wav_file_sink.h"
#include "temp_dir.h"
#include "wav/wav_reader.h"

namespace thwack::test {
namespace {

// The real daemon as a child, a pipe on its stdin and one pipe for its stdout and stderr: event
// lines start with '{', and each line is written whole. Every wait is long and ends once its
// condition holds.
class DaemonProcess final {
public:
    // The child inherits this process's environment, so the daemon's variables are set in it.
    DaemonProcess(const std::filesystem::path& input, const std::string& audio,
                  std::vector<std::string> arguments = {}) {
        ::setenv("THWACK_INPUT", input.c_str(), 1);
        ::setenv("THWACK_AUDIO_OUT", audio.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(THWACK_DAEMON_PATH)};
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe failed");
        }
        std::signal(SIGPIPE, SIG_IGN);
        if ((child = ::fork()) == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
            ::execv(THWACK_DAEMON_PATH, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        inFd = in[1];
        outFd = out[0];
    }
    ~DaemonProcess() {
        if (!reaped) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        ::close(inFd);
        ::close(outFd);
    }
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    void send(const std::string& bytes) {
        ASSERT_EQ(::write(inFd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void closeInput() { ::close(std::exchange(inFd, -1)); }
    void signal(int number) const { ::kill(child, number); }

    // Reads until the output holds text, or without text until its end; false if that did not come.
    bool waitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (text.empty() || out.find(text) == std::string::npos) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd ready{outFd, POLLIN, 0};
            const int polled = ended || left.count() <= 0 ? 0 : ::poll(&ready, 1, static_cast<int>(left.count()));
            std::array<char, 65536> buffer{};
            const ssize_t n = polled > 0 ? ::read(outFd, buffer.data(), buffer.size()) : 0;
            if (n > 0) {
                out.append(buffer.data(), static_cast<std::size_t>(n));
            } else if (polled >= 0 || errno != EINTR) {
                ended = ended || polled > 0;
                return ended && text.empty();
            }
        }
        return true;
    }
    // The exit status; nothing when killed by a signal or too slow (then the destructor kills it).
    std::optional<int> waitForExit() {
        int raw = 0;
        reaped = waitFor("") && ::waitpid(child, &raw, 0) == child;
        return reaped && WIFEXITED(raw) ? std::optional<int>(WEXITSTATUS(raw)) : std::nullopt;
    }
    const std::string& output() const { return out; }
    std::vector<std::string> events() const {
        std::vector<std::string> lines;
        std::istringstream stream(out.substr(0, out.rfind('\n') + 1));
        for (std::string line; std::getline(stream, line);) {
            if (line.starts_with('{')) {
                lines.push_back(line);
            }
        }
        return lines;
    }

private:
    pid_t child = -1;
    int inFd = -1;
    int outFd = -1;
    std::string out;
    bool ended = false;
    bool reaped = false;
};

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

// A replay waits for the first config, so its settings hold from the first sample. A missing part
// is reported once, first, and the input is still read.
TEST(DaemonProtocol, reportsEachKnockOnceUnlessPausedAndMissingPartsAndSkipsBadLines) {
    TempDir dir;
    const auto knocks = writeKnocks(dir.path, {{1.0, 0.5}, {2.0, 1.0}, {3.5, 0.3}});
    const std::string bad = "garbage\n{\"cmd\":7}\n[1,2]\n{\"cmd\":\"config\",\"sensitivity\":\"high\"}\n"
                            "{\"cmd\":\"config\",\"paused\":1}\n{\"cmd\":\"dance\"}\n\n";
    const std::string run = std::string(runningConfig) + "\n";
    struct Case {
        std::filesystem::path input;
        std::string audio;
        std::string bytes;
        std::string first; // the first event's action
        std::size_t hits;
        const char* explained; // on stderr
    };
    for (const Case& c :
         {Case{knocks, "null", run, "pong", 3, "replay finished"},
          Case{knocks, "null", "{\"cmd\":\"config\",\"sensitivity\":2.0,\"paused\":true}\n", "pong", 0,
               "replay finished"},
          Case{knocks, "null", bad + run, "pong", 3, "unknown command \"dance\""},
          Case{knocks, "null", bad + run, "pong", 3, "\"sensitivity\" is not a number"},
          Case{dir.path / "missing.csv", "null", run + bad, "no_sensor", 0, "unknown command"},
          Case{dir.path / "scene.mp3", "null", run + bad, "no_sensor", 0, "unknown command"},
          Case{knocks, (dir.path / "no-such-dir" / "out.wav").string(), bad + run, "no_audio", 3, "unknown command"}}) {
        DaemonProcess daemon(c.input, c.audio);
        daemon.send(c.bytes);
        EXPECT_TRUE(daemon.waitFor(c.explained)) << daemon.output();
        if (c.input == knocks) {
            EXPECT_TRUE(daemon.waitFor(std::to_string(c.hits) + " hit(s) reported")) << daemon.output();
        }
        daemon.closeInput();
        EXPECT_EQ(daemon.waitForExit(), 0);
        auto lines = daemon.events();
        ASSERT_EQ(lines.size(), 1 + c.hits) << daemon.output();
        const auto first = nlohmann::json::parse(lines.front());
        EXPECT_EQ(first.at("action"), c.first);
        if (c.first == "pong") {
            EXPECT_EQ(lines.front(), pongLine);
        } else {
            EXPECT_EQ(first.at("type"), "error");
            EXPECT_FALSE(first.at("message").get<std::string>().empty());
        }
        EXPECT_EQ(std::vector(lines.begin() + 1, lines.end()), std::vector<std::string>(c.hits, hitLine)) << c.bytes;
        // The replay line for measuring tools, at the first knock's reading.
        EXPECT_EQ(daemon.output().find("\nhit at 1.000000 s\n") != std::string::npos, c.hits > 0) << c.bytes;
    }
}

TEST(DaemonProtocol, playsTheChosenSoundAndDefaultForAnUnknownName) {
    TempDir dir;
    const auto input = writeKnocks(dir.path, {{1.0, 0.5}});
    const SoundBank bank(WavFileSink::fileRateHz);
    for (const std::string sound : {"fart", "no-such-sound"}) {
        const auto out = dir.path / (sound + ".wav");
        DaemonProcess daemon(input, out.string());
        daemon.send(R"({"cmd":"config","sound":")" + sound + "\"}\n");
        EXPECT_TRUE(daemon.waitFor("replay finished"));
        daemon.closeInput();
        EXPECT_EQ(daemon.waitForExit(), 0);
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
        DaemonProcess daemon(fifo, "null");
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

TEST(DaemonProtocol, answersItsCommandLineWithoutSensing) {
    struct Case {
        const char* argument;
        int status;
        const char* expected;
    };
    for (const Case c : {Case{"--help", 0, "THWACK_INPUT"}, Case{"-h", 0, "THWACK_AUDIO_OUT"},
                         Case{"--version", 0, "thwack-core-daemon " THWACK_VERSION "\n"},
                         Case{"-v", 0, "thwack-core-daemon "}, Case{"--sensitivity=2", 2, "unknown option"}}) {
        DaemonProcess daemon("mic", "null", {c.argument});
        EXPECT_EQ(daemon.waitForExit(), c.status) << c.argument;
        EXPECT_NE(daemon.output().find(c.expected), std::string::npos) << c.argument << ": " << daemon.output();
        EXPECT_TRUE(daemon.events().empty()) << c.argument; // no sensing, so no no_sensor line
    }
}

} // namespace
} // namespace thwack::test
