#pragma once

#include <functional>
#include <future>
#include <memory>
#include <string_view>
#include <vector>

#include "child_process.h"
#include "event_queue.h"
#include "file_descriptor.h"
#include "line_buffer.h"
#include "log_line.h"

namespace zonkle {

// Reads the daemon's standard output on a thread of its own, blocking in read(2), until the
// end of the stream; cuts it into lines, decodes them and queues the events for the main
// thread; then reaps the daemon. It owns all it touches, and knows its client only weakly,
// so the client may be destroyed at any moment.
class DaemonOutputReader final {
public:
    static constexpr std::size_t readSize = 64 * 1024;
    static constexpr const char* decodeFailureText = "Failed to decode JSON from Go daemon stdout.";

    struct Links {
        std::shared_ptr<EventQueue> events;
        std::shared_ptr<ChildProcess> child;
        LogSink log;
        // Asks the main thread to deliver the queued events; false when the client is gone.
        std::function<bool()> scheduleDelivery;
        // Expires with the client; from then on the output is read and dropped.
        std::weak_ptr<const void> owner;
        // Ready once the client has logged the launch, so that no line about the daemon's
        // output can come before "Go daemon started successfully.".
        std::shared_future<void> launchAnnounced;
    };

    DaemonOutputReader(FileDescriptor output, Links links);

    // Runs the reader on a new detached thread. Throws std::system_error when no thread can be made.
    static void startDetached(std::unique_ptr<DaemonOutputReader> reader);

    void run();

private:
    void handleOutput(std::string_view bytes);

    FileDescriptor output;
    Links links;
    LineBuffer buffer;
    std::vector<InboundEvent> decoded;
};

} // namespace zonkle
