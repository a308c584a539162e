// Any bytes as one command line for the detector: parseCommand never crashes, gives either a
// command or a reason, and a config's sensitivity is always inside the accepted range.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "detection/sensitivity.h"
#include "protocol/command.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const thwack::CommandParse parsed = thwack::parseCommand(line);
    if (!parsed.command) {
        if (parsed.error.empty()) {
            fail("rejected without a reason");
        }
        return 0;
    }
    const thwack::Command& command = *parsed.command;
    if (command.sensitivity &&
        !(*command.sensitivity >= thwack::minSensitivity && *command.sensitivity <= thwack::maxSensitivity)) {
        fail("a sensitivity outside the accepted range");
    }
    if (command.kind == thwack::Command::Kind::quit && (command.sensitivity || command.sound || command.paused)) {
        fail("a quit carrying config values");
    }
    return 0;
}
