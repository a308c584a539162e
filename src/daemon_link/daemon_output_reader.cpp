#include "daemon_output_reader.h"

#include <cerrno>
#include <thread>
#include <unistd.h>
#include <utility>

#include "message_codec.h"

namespace zonkle {

DaemonOutputReader::DaemonOutputReader(FileDescriptor output, Links links)
    : output(std::move(output)), links(std::move(links)) {}

void DaemonOutputReader::startDetached(std::unique_ptr<DaemonOutputReader> reader) {
    std::thread([reader = std::move(reader)] { reader->run(); }).detach();
}

void DaemonOutputReader::run() {
    if (links.launchAnnounced.valid()) {
        links.launchAnnounced.wait();
    }
    std::vector<char> chunk(readSize);
    for (;;) {
        const ssize_t count = ::read(output.get(), chunk.data(), chunk.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break; // the end of the stream, or a read error: either way nothing more will come
        }
        // Once the client is gone, keep reading so that the daemon is never blocked on its
        // output, but drop what it writes.
        if (!links.owner.expired()) {
            handleOutput({chunk.data(), static_cast<std::size_t>(count)});
        }
    }
    output.reset();
    const std::string ending = links.child->waitAndReap();
    if (links.events->finish(ending) && !links.scheduleDelivery()) {
        links.events->close();
    }
}

void DaemonOutputReader::handleOutput(std::string_view bytes) {
    buffer.append(
        bytes,
        [this](std::string_view line) {
            if (auto event = decodeEvent(line)) {
                decoded.push_back(std::move(*event));
            } else {
                links.log(decodeFailureText);
            }
        },
        [this] { links.log(decodeFailureText); });
    if (!decoded.empty() && links.events->push(std::exchange(decoded, {})) && !links.scheduleDelivery()) {
        links.events->close();
    }
}

} // namespace zonkle
