#include "protocol/event_writer.h"

#include <cerrno>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace thwack {

EventWriter::EventWriter(int fd) : fd(fd) {}

void EventWriter::hit() {
    writeLine(R"({"type":"event","action":"hit"})");
}

void EventWriter::pong() {
    writeLine(R"({"type":"event","action":"pong"})");
}

void EventWriter::error(std::string_view action, std::string_view message) {
    const nlohmann::json json = {{"type", "error"}, {"action", action}, {"message", message}};
    // Replace rather than throw on invalid UTF-8 in a message built from file names.
    writeLine(json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

void EventWriter::writeLine(std::string line) {
    line.push_back('\n');
    const std::lock_guard lock(mutex);
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return; // the app is gone; its end of our input follows
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace thwack
