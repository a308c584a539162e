#include "startup_watch.h"

#include <chrono>
#include <string_view>

namespace zonkle::bench {

namespace {

constexpr std::string_view noTrayMessage = "no system tray found";
constexpr auto trayWaitLimit = std::chrono::seconds(15);

} // namespace

StartupWatch::StartupWatch(int fd)
    : reader(fd, [this](std::string_view line, std::int64_t at) {
          if (line.find(noTrayMessage) != std::string_view::npos) {
              fallbackShownAt = at;
          }
      }) {}

std::int64_t StartupWatch::endedAt(std::int64_t otherwise) {
    return reader.waitUntil([&] { return fallbackShownAt != 0; }, trayWaitLimit) ? fallbackShownAt : otherwise;
}

} // namespace zonkle::bench
