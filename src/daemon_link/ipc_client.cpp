#include "ipc_client.h"

#include <cerrno>
#include <fcntl.h>
#include <future>
#include <system_error>
#include <utility>

#include "child_process.h"
#include "daemon_locator.h"
#include "daemon_output_reader.h"
#include "event_queue.h"
#include "message_codec.h"
#include "pipe.h"
#include "pipe_write.h"

namespace zonkle {
namespace {

constexpr const char* startedText = "Go daemon started successfully.";
constexpr const char* notFoundText = "Failed to find thwack-core-daemon in application bundle. Check Build Phases.";
constexpr const char* launchFailurePrefix = "Failed to start Go daemon: ";
constexpr const char* writeFailurePrefix = "Failed to write to stdin: ";

std::string errorText(int error) {
    return std::generic_category().message(error);
}

} // namespace

std::shared_ptr<IpcClient> IpcClient::create(Options options) {
    return std::shared_ptr<IpcClient>(new IpcClient(std::move(options)));
}

IpcClient::IpcClient(Options options)
    : options(std::move(options)), events(std::make_shared<EventQueue>(maxQueuedEvents)) {
    auto input = makePipe(pipeError);
    auto output = input ? makePipe(pipeError) : std::nullopt;
    if (!input || !output) {
        return; // start reports the failure; send finds no write end
    }
    // Only our end of the daemon's input is non-blocking: a send must never hang on a daemon
    // that does not read, while the daemon's own ends stay ordinary blocking pipes.
    if (::fcntl(input->writeEnd.get(), F_SETFL, O_NONBLOCK) != 0) {
        pipeError = errno;
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
    if (pipeError != 0) {
        logLaunchFailure(errorText(pipeError));
        return;
    }
    auto spawned = ChildProcess::spawn(*executable, stdinRead.get(), stdoutWrite.get());
    if (!spawned.process) {
        logLaunchFailure(errorText(spawned.error));
        return;
    }
    launched = true;
    std::promise<void> launchAnnounced;
    DaemonOutputReader::Links links{events,
                                    spawned.process,
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
        DaemonOutputReader::startDetached(
            std::make_unique<DaemonOutputReader>(std::move(stdoutRead), std::move(links)));
    } catch (const std::system_error& error) {
        // Nobody could read the daemon's output: do not leave it running.
        spawned.process->killAndReap();
        logLaunchFailure(error.code().message());
        return;
    }
    // Our copies of the daemon's ends would hide the daemon's exit from the reader and keep
    // a write to its input from failing once it has gone.
    stdinRead.reset();
    stdoutWrite.reset();
    process = std::move(spawned.process);
    running = true;
    options.log(startedText);
    launchAnnounced.set_value();
}

void IpcClient::send(const OutboundCommand& command) {
    const auto line = encodeCommand(command);
    if (!line) {
        return;
    }
    // After stop the descriptor number may already belong to another file: never write to it.
    if (!stdinWrite.isOpen()) {
        options.log(writeFailurePrefix + errorText(EBADF));
        return;
    }
    if (const int error = writeWholeLine(stdinWrite.get(), *line, maxSendWait)) {
        options.log(writeFailurePrefix + errorText(error));
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

std::size_t IpcClient::queuedEvents() const {
    return events->size();
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
