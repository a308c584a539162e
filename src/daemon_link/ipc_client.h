#pragma once

#include "daemon_client.h"
#include "log_line.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

namespace zonkle {

// Queues a task to run later on the main thread, in the order of the calls.
using MainThreadPoster = std::function<void(std::function<void()>)>;

// Runs thwack-core-daemon as a child process and exchanges newline-delimited JSON with it.
// Always held by a shared_ptr (create()): the reader thread refers to it weakly.
class IpcClient final : public DaemonClient, public std::enable_shared_from_this<IpcClient> {
public:
    struct Options {
        MainThreadPoster postToMainThread;
        // Finds the executable; by default the resource directory's thwack-core-daemon.
        std::function<std::optional<std::filesystem::path>()> locateExecutable;
        LogSink log = writeLogLine;
    };

    static std::shared_ptr<IpcClient> create(Options options);
    ~IpcClient() override;

    IpcClient(const IpcClient&) = delete;
    IpcClient& operator=(const IpcClient&) = delete;

    void start() override;
    void send(const OutboundCommand& command) override;
    void stop() override;

    bool isRunning() const { return running; }

private:
    explicit IpcClient(Options options);
    // (implementation members follow)
    bool running = false;
};

} // namespace zonkle
