#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "daemon_client.h"
#include "log_line.h"
#include "pipe.h"

namespace zonkle {

class ChildProcess;
class EventQueue;

// Queues a task to run later on the main thread, in the order of the calls.
using MainThreadPoster = std::function<void(std::function<void()>)>;

// Runs thwack-core-daemon as a child process and exchanges newline-delimited JSON with it.
// A thread of its own reads the daemon's output, blocking in read(2), until the end of the
// stream; it cuts the output into lines, decodes them, queues the events for the main thread
// and finally reaps the daemon. Always held by a shared_ptr (create()): that thread refers to
// the client weakly, so the client may be destroyed at any moment.
class IpcClient final : public DaemonClient, public std::enable_shared_from_this<IpcClient> {
public:
    // Events handed to onEventReceived by one main-thread task, so a burst never holds up the
    // main thread's other work for long.
    static constexpr std::size_t maxEventsPerDelivery = 256;
    // Decoded events wait for the main thread in a queue of this size; a full queue stalls the
    // reader, so a daemon that outruns the main thread is held back by its pipe.
    static constexpr std::size_t maxQueuedEvents = 8192;
    static constexpr std::size_t maxQueuedBytes = 4 * 1024 * 1024;

    struct Options {
        // Must be set; without it the events are dropped.
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
    // Until a daemon has been launched nothing would ever read the line, so it is dropped
    // without a word instead of filling a pipe that would then hold up every later send.
    void send(const OutboundCommand& command) override;
    void stop() override;

    bool isRunning() const { return running; }

private:
    // The longest a send holds its caller when the daemon does not read its input.
    static constexpr std::chrono::milliseconds maxSendWait{250};

    explicit IpcClient(Options options);

    void deliverQueuedEvents();
    void postDelivery(std::shared_ptr<IpcClient> self);
    void logLaunchFailure(const std::string& reason);
    void reportFailure(const DetectorFailure& failure);

    Options options;
    FileDescriptor stdinRead;
    FileDescriptor stdinWrite;
    FileDescriptor stdoutRead;
    FileDescriptor stdoutWrite;
    std::error_code pipeError;
    bool launched = false;
    bool running = false;
    bool stopped = false;
    std::shared_ptr<ChildProcess> process;
    std::shared_ptr<EventQueue> events;
};

} // namespace zonkle
