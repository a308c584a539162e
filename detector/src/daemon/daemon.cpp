#include "daemon/daemon.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "daemon/stop_signal_posix.h"
#include "detection/sensing_loop.h"
#include "input/alsa_capture_linux.h"
#include "input/sensor_probe.h"
#include "protocol/command.h"
#include "protocol/event_writer.h"
#include "protocol/line_splitter.h"
#include "sound/alsa_playback_linux.h"
#include "sound/null_audio_sink.h"
#include "sound/sound_bank.h"
#include "sound/sound_player.h"
#include "sound/timeline_wav_sink.h"
#include "sound/wav_file_sink.h"
#include "wav/wav_reader.h"

namespace thwack {

namespace {

constexpr std::size_t readBufferBytes = 64 * 1024;
// A sensor read returns within a fraction of a second, but probing may block in open or
// read (an ALSA device, a sysfs file, a FIFO named as input) for as long as it likes: the
// daemon then exits without waiting, so a stop always takes well under a second.
constexpr auto shutdownGrace = std::chrono::milliseconds(500);

void note(const char* format, ...) __attribute__((format(printf, 1, 2)));

void note(const char* format, ...) {
    std::string line = "thwack-core-daemon: ";
    std::array<char, 1024> text{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text.data(), text.size(), format, args);
    va_end(args);
    line += text.data();
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

// The two replay lines on standard error are an interface for measuring tools, so they carry
// no prefix: "hit at <seconds> s" and "replay finished".
void replayLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

void replayLine(const char* format, ...) {
    std::array<char, 128> text{};
    va_list args;
    va_start(args, format);
    std::vsnprintf(text.data(), text.size() - 1, format, args);
    va_end(args);
    std::string line = text.data();
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

// A replay's sounds are written at the input's own rate, so the two files line up sample for sample.
int timelineRate(const InputChoice& input) {
    std::string why;
    const auto reader = input.kind == InputChoice::Kind::wavFile ? WavReader::open(input.path, why) : nullptr;
    return reader ? static_cast<int>(std::lround(reader->sampleRate())) : WavFileSink::fileRateHz;
}

std::unique_ptr<AudioSink> openSink(const AudioChoice& choice, std::string& why) {
    switch (choice.kind) {
    case AudioChoice::Kind::null:
        return std::make_unique<NullAudioSink>();
    case AudioChoice::Kind::wavFile:
        return WavFileSink::open(choice.target, why);
    case AudioChoice::Kind::alsa:
        return AlsaPlayback::open(choice.target, why);
    }
    return nullptr;
}

} // namespace

Daemon::Daemon(InputChoice input, AudioChoice audio, std::filesystem::path sysfsRoot)
    : input(std::move(input)), audio(std::move(audio)), sysfsRoot(std::move(sysfsRoot)) {}

Daemon::~Daemon() = default;

int Daemon::run(int inFd, int outFd) {
    const StopSignal stopSignal;
    writer = std::make_unique<EventWriter>(outFd);
    // Opening the sound output and probing run on the sensing thread, so this loop answers
    // the end of input and stop signals while either blocks.
    sensing = std::thread([this] { sense(startUp()); });

    LineSplitter splitter;
    std::vector<char> buffer(readBufferBytes);
    bool running = true;
    while (running) {
        std::array<pollfd, 2> fds{{{inFd, POLLIN, 0}, {stopSignal.fd(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            note("poll failed: %s", std::strerror(errno));
            break;
        }
        if (fds[1].revents != 0) {
            break; // SIGTERM, SIGINT or SIGHUP
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const ssize_t got = ::read(inFd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break; // end of input: the app is gone
        }
        for (const auto& line : splitter.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
            if (!handleLine(line)) {
                running = false;
                break;
            }
        }
        if (const auto dropped = splitter.takeDroppedCount()) {
            note("ignored %zu command line(s) longer than %zu bytes", dropped, LineSplitter::defaultMaxLineBytes);
        }
    }
    shutDown();
    return EXIT_SUCCESS;
}

std::unique_ptr<Sensor> Daemon::startUp() {
    silenceAlsaDiagnostics();
    std::string audioWhy;
    if (audio.kind == AudioChoice::Kind::wavFile && input.isFile()) {
        timeline = TimelineWavSink::open(audio.target, timelineRate(input), audioWhy);
        if (timeline) {
            note("sounds go to %s", timeline->description().c_str());
            sounds = std::make_unique<SoundBank>(timeline->sampleRate());
        }
    } else if (auto sink = openSink(audio, audioWhy)) {
        note("sounds go to %s", sink->description().c_str());
        sounds = std::make_unique<SoundBank>(sink->sampleRate());
        player = std::make_unique<SoundPlayer>(std::move(sink));
    }

    std::string sensorWhy;
    auto sensor = SensorProbe(sysfsRoot).probe(input, sensorWhy);
    if (sensor) {
        note("sensing with %s", sensor->description().c_str());
    } else {
        note("no sensor: %s", sensorWhy.c_str());
        writer->error("no_sensor", "No accelerometer or microphone found: " + sensorWhy);
    }
    if (!sounds) {
        note("no sound output: %s", audioWhy.c_str());
        writer->error("no_audio", "No sound output, hits are still reported: " + audioWhy);
    }
    if (sensor && sounds) {
        writer->pong();
    }
    return sensor;
}

bool Daemon::handleLine(const std::string& line) {
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return true;
    }
    const CommandParse parsed = parseCommand(line);
    if (!parsed.command) {
        note("ignored a command line: %s", parsed.error.c_str());
        return true;
    }
    const Command& command = *parsed.command;
    if (command.kind == Command::Kind::quit) {
        return false;
    }
    if (command.sound &&
        std::find(SoundBank::names.begin(), SoundBank::names.end(), *command.sound) == SoundBank::names.end()) {
        note("unknown sound \"%s\", playing \"default\"", command.sound->c_str());
    }
    {
        const std::lock_guard lock(mutex);
        settings.sensitivity = command.sensitivity.value_or(settings.sensitivity);
        settings.sound = command.sound.value_or(settings.sound);
        settings.paused = command.paused.value_or(settings.paused);
        sensitivity = settings.sensitivity;
        configured = true;
    }
    changed.notify_all();
    return true;
}

bool Daemon::waitForStop(std::chrono::steady_clock::duration timeout) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [this] { return stopping; });
}

void Daemon::waitForStop() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return stopping; });
}

void Daemon::sense(std::unique_ptr<Sensor> sensor) {
    const SensorProbe probe(sysfsRoot);
    while (!stopRequested) {
        if (!sensor) {
            // A file that could not be read will not get better; devices may appear.
            if (input.isFile()) {
                waitForStop();
                break;
            }
            if (waitForStop(rescanInterval)) {
                break;
            }
            std::string why;
            sensor = probe.probe(input, why);
            if (!sensor || stopRequested) {
                continue;
            }
            note("sensing with %s", sensor->description().c_str());
            if (sounds) {
                writer->pong();
            }
        }
        const bool replay = sensor->isReplay();
        if (replay) {
            // The first "config" decides sensitivity and pausing from the first sample on.
            std::unique_lock lock(mutex);
            changed.wait(lock, [this] { return configured || stopping; });
        }
        SensingLoop loop(*sensor, [this, replay](double t) { return onHit(t, replay); });
        ReadStatus status = ReadStatus::ok;
        while (status == ReadStatus::ok && !stopRequested) {
            status = loop.step(sensitivity);
        }
        if (stopRequested) {
            break;
        }
        if (replay && status == ReadStatus::endOfData) {
            std::size_t reported = 0;
            {
                const std::lock_guard lock(mutex);
                reported = hitsReported;
            }
            if (timeline) {
                timeline->finish();
            }
            note("%zu hit(s) reported", reported);
            replayLine("replay finished");
            waitForStop();
            break;
        }
        note("%s stopped delivering readings", sensor->description().c_str());
        writer->error("no_sensor", "The sensor stopped working: " + sensor->description());
        sensor.reset();
    }
    const std::lock_guard lock(mutex);
    sensingDone = true;
    changed.notify_all();
}

double Daemon::onHit(double streamSeconds, bool replay) {
    DetectorSettings current;
    {
        const std::lock_guard lock(mutex);
        if (!configured || settings.paused) {
            return 0.0;
        }
        current = settings;
        ++hitsReported;
    }
    writer->hit();
    if (replay) {
        replayLine("hit at %.6f s", streamSeconds);
    }
    if (timeline) {
        timeline->play(sounds->find(current.sound), streamSeconds);
        return sounds->seconds(current.sound);
    }
    if (!player) {
        return 0.0;
    }
    player->play(sounds->find(current.sound));
    return sounds->seconds(current.sound);
}

void Daemon::shutDown() {
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    stopRequested = true;
    changed.notify_all();
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, shutdownGrace, [this] { return sensingDone; })) {
        // A driver or file that never returns from an open or read must not keep the app's
        // child alive.
        note("sensor did not stop; exiting anyway");
        std::fflush(stderr);
        std::_Exit(EXIT_SUCCESS);
    }
    lock.unlock();
    sensing.join();
    player.reset();
}

} // namespace thwack
