#include "ipc_client.h"

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "child_process.h"
#include "event_queue.h"
#include "line_buffer.h"
#include "messages.h"

namespace zonkle {
namespace {

constexpr const char* startedText = "Go daemon started successfully.";
constexpr const char* notFoundText = "Failed to find thwack-core-daemon in application bundle. Check Build Phases.";
constexpr const char* launchFailurePrefix = "Failed to start Go daemon: ";
constexpr const char* writeFailurePrefix = "Failed to write to stdin: ";
constexpr const char* decodeFailureText = "Failed to decode JSON from Go daemon stdout.";
constexpr std::size_t readSize = 64 * 1024;

// What the reader thread owns and knows.
struct ReaderLinks {
    FileDescriptor output;
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

void queueForMainThread(ReaderLinks& links, bool needsDelivery) {
    if (needsDelivery && !links.scheduleDelivery()) {
        links.events->close();
    }
}

void readDaemonOutput(ReaderLinks links) {
    links.launchAnnounced.wait();
    LineBuffer buffer;
    std::vector<InboundEvent> decoded;
    const auto onLine = [&](std::string_view line) {
        if (auto event = decodeEvent(line)) {
            decoded.push_back(std::move(*event));
        } else {
            links.log(decodeFailureText);
        }
    };
    const auto onOverflow = [&] { links.log(decodeFailureText); };
    std::vector<char> chunk(readSize);
    for (;;) {
        const ssize_t count = ::read(links.output.get(), chunk.data(), chunk.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break; // the end of the stream, or a read error: either way nothing more will come
        }
        // Once the client is gone, keep reading so that the daemon is never blocked on its
        // output, but drop what it writes.
        if (!links.owner.expired()) {
            buffer.append({chunk.data(), static_cast<std::size_t>(count)}, onLine, onOverflow);
            if (!decoded.empty()) {
                queueForMainThread(links, links.events->push(std::exchange(decoded, {})));
            }
        }
    }
    links.output.reset();
    queueForMainThread(links, links.events->finish(links.child->waitAndReap()));
}

} // namespace

std::shared_ptr<IpcClient> IpcClient::create(Options options) {
    return std::shared_ptr<IpcClient>(new IpcClient(std::move(options)));
}

IpcClient::IpcClient(Options options)
    : options(std::move(options)), events(std::make_shared<EventQueue>(maxQueuedEvents, maxQueuedBytes)) {
    auto input = makePipe(pipeError);
    auto output = input ? makePipe(pipeError) : std::nullopt;
    if (!input || !output) {
        return; // start reports the failure
    }
    // Only our end of the daemon's input is non-blocking: a send must never hang on a daemon
    // that does not read, while the daemon's own ends stay ordinary blocking pipes.
    if (::fcntl(input->writeEnd.get(), F_SETFL, O_NONBLOCK) != 0) {
        pipeError.assign(errno, std::generic_category());
        return;
    }
    stdinRead = std::move(input->readEnd);
    stdinWrite = std::move(input->writeEnd);
    stdoutRead = std::move(output->readEnd);
    stdoutWrite = std::move(output->writeEnd);
}

IpcClient::~IpcClient() {
    // The daemon is not stopped, but our end of its input closes with the members, so it sees
    // the end of its input. A reader waiting for room in the queue is released.
    events->close();
}

void IpcClient::start() {
    // A stopped client stays stopped: the daemon's ends of the pipes were handed to the first
    // daemon and are gone.
    if (running || launched) {
        return;
    }
    const auto executable = options.locateExecutable ? options.locateExecutable() : locateDaemonExecutable();
    if (!executable) {
        options.log(notFoundText);
        reportFailure({DetectorFailure::Kind::NotStarted, std::string(daemonExecutableName) + " not found"});
        return;
    }
    if (pipeError) {
        logLaunchFailure(pipeError.message());
        return;
    }
    std::error_code error;
    auto child = ChildProcess::spawn(*executable, stdinRead.get(), stdoutWrite.get(), error);
    if (!child) {
        logLaunchFailure(error.message());
        return;
    }
    launched = true;
    std::promise<void> launchAnnounced;
    ReaderLinks links{std::move(stdoutRead),
                      events,
                      child,
                      options.log,
                      [weak = weak_from_this()] {
                          auto client = weak.lock();
                          if (client) {
                              client->postDelivery(client);
                          }
                          return client != nullptr;
                      },
                      weak_from_this(),
                      launchAnnounced.get_future().share()};
    try {
        std::thread(readDaemonOutput, std::move(links)).detach();
    } catch (const std::system_error& failure) {
        // Nobody could read the daemon's output: do not leave it running.
        child->killAndReap();
        logLaunchFailure(failure.code().message());
        return;
    }
    // Our copies of the daemon's ends would hide the daemon's exit from the reader and keep
    // a write to its input from failing once it has gone.
    stdinRead.reset();
    stdoutWrite.reset();
    process = std::move(child);
    running = true;
    options.log(startedText);
    launchAnnounced.set_value();
}

void IpcClient::send(const OutboundCommand& command) {
    const auto line = encodeCommand(command);
    if (!line || !launched) {
        return;
    }
    // After stop the descriptor number may already belong to another file: never write to it.
    if (!stdinWrite.isOpen()) {
        options.log(writeFailurePrefix + std::make_error_code(std::errc::bad_file_descriptor).message());
        return;
    }
    if (const auto error = writeWholeLine(stdinWrite.get(), *line, maxSendWait)) {
        options.log(writeFailurePrefix + error.message());
    }
}

void IpcClient::stop() {
    if (!running) {
        return;
    }
    send(OutboundCommand{"quit", std::nullopt, std::nullopt, std::nullopt});
    stdinWrite.reset();
    process->terminate();
    running = false;
    stopped = true;
}

void IpcClient::deliverQueuedEvents() {
    const auto batch = events->take(maxEventsPerDelivery);
    for (const auto& event : batch.events) {
        // Read per event, and called through a copy: the callback may replace itself.
        if (const auto callback = onEventReceived) {
            callback(event);
        }
    }
    if (batch.ended && !stopped) {
        reportFailure({DetectorFailure::Kind::Exited, *batch.ended});
    }
    if (batch.more) {
        postDelivery(shared_from_this());
    }
}

void IpcClient::postDelivery(std::shared_ptr<IpcClient> self) {
    if (options.postToMainThread) {
        // The task keeps the client alive until it has run.
        options.postToMainThread([self = std::move(self)] { self->deliverQueuedEvents(); });
    } else {
        events->close();
    }
}

void IpcClient::logLaunchFailure(const std::string& reason) {
    options.log(launchFailurePrefix + reason);
    reportFailure({DetectorFailure::Kind::NotStarted, reason});
}

void IpcClient::reportFailure(const DetectorFailure& failure) {
    if (const auto callback = onDetectorFailed) {
        callback(failure);
    }
}

} // namespace zonkle
