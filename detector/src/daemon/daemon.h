#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "daemon/daemon_options.h"
#include "input/sensor.h"
#include "protocol/command.h"

namespace thwack {

class EventWriter;
class SoundBank;
class SoundPlayer;
class TimelineWavSink;

// thwack-core-daemon: reads commands, senses hits on a thread of its own, reports them and
// plays the chosen sound. Runs until "quit", the end of its input, or SIGTERM, SIGINT or SIGHUP.
class Daemon final {
public:
    static constexpr auto rescanInterval = std::chrono::seconds(10);

    Daemon(InputChoice input, AudioChoice audio, std::filesystem::path sysfsRoot = "/");
    ~Daemon();
    Daemon(const Daemon&) = delete;
    Daemon& operator=(const Daemon&) = delete;

    // Returns the exit status.
    int run(int inFd, int outFd);

private:
    std::unique_ptr<Sensor> startUp();        // the sensor found, or null
    bool handleLine(const std::string& line); // false on "quit"
    void sense(std::unique_ptr<Sensor> sensor);
    double onHit(double streamSeconds, bool replay);
    bool waitForStop(std::chrono::steady_clock::duration timeout);
    void waitForStop();
    void shutDown();

    InputChoice input;
    AudioChoice audio;
    std::filesystem::path sysfsRoot;

    std::unique_ptr<EventWriter> writer;
    std::unique_ptr<SoundBank> sounds;
    std::unique_ptr<SoundPlayer> player;
    std::unique_ptr<TimelineWavSink> timeline; // replays into a WAV file

    std::mutex mutex;
    std::condition_variable changed;
    DetectorSettings settings;
    bool configured = false;
    bool stopping = false;
    bool sensingDone = false;
    std::atomic<double> sensitivity{defaultSensitivity};
    std::atomic<bool> stopRequested{false};
    std::size_t hitsReported = 0;
    std::thread sensing;
};

} // namespace thwack
