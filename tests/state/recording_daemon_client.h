#pragma once

#include <string>
#include <vector>

#include "daemon_link/daemon_client.h"

namespace zonkle::test {

// Stands in for the daemon link: records every call, in order, into a journal that the
// test may share with other collaborators to check the order across them.
class RecordingDaemonClient final : public DaemonClient {
public:
    explicit RecordingDaemonClient(std::vector<std::string>& journal) : journal(journal) {}

    void start() override {
        journal.push_back(onEventReceived && onDetectorFailed ? "start with callbacks" : "start without callbacks");
    }
    void send(const OutboundCommand& command) override {
        sent.push_back(command);
        journal.push_back("send " + command.cmd);
    }
    void stop() override { journal.push_back("stop"); }

    std::vector<OutboundCommand> sent;

private:
    std::vector<std::string>& journal;
};

} // namespace zonkle::test
