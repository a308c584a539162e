#pragma once

#include <ostream>
#include <vector>

#include "daemon_link/daemon_client.h"
#include "updates/updater_controller.h"

namespace zonkle {

// Readable failure messages for pushed commands.
inline void PrintTo(const OutboundCommand& command, std::ostream* out) {
    *out << "{" << command.cmd;
    if (command.sensitivity) {
        *out << " sensitivity=" << *command.sensitivity;
    }
    if (command.sound) {
        *out << " sound=" << *command.sound;
    }
    if (command.paused) {
        *out << " paused=" << std::boolalpha << *command.paused;
    }
    *out << "}";
}

} // namespace zonkle

namespace zonkle::test {

// Stands in for the daemon link: records what the panel and its view model send.
class RecordingDaemonClient final : public DaemonClient {
public:
    void start() override {}
    void send(const OutboundCommand& command) override { sent.push_back(command); }
    void stop() override {}

    std::vector<OutboundCommand> sent;
};

// An updater whose availability the test sets, counting the checks it is asked for.
class FakeUpdaterController final : public UpdaterController {
public:
    explicit FakeUpdaterController(bool canCheck) : canCheck(canCheck) {}

    bool canCheckForUpdates() const override { return canCheck; }
    void checkForUpdates() override { ++checks; }

    void setCanCheck(bool value) {
        canCheck = value;
        emit canCheckForUpdatesChanged(value);
    }

    int checks = 0;

private:
    bool canCheck;
};

} // namespace zonkle::test
