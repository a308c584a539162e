#pragma once

#include <mutex>
#include <string_view>

namespace thwack {

// Writes event lines to the app. Each line goes out whole in one write, from any thread;
// nothing else is ever written to this descriptor.
class EventWriter final {
public:
    explicit EventWriter(int fd);

    void hit();
    void pong();
    void error(std::string_view action, std::string_view message);

private:
    void writeLine(std::string line);

    int fd;
    std::mutex mutex;
};

} // namespace thwack
