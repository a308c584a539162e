#include <gtest/gtest.h>

#include "daemon_link/messages.h"

namespace zonkle {
namespace {

// Encoding is covered by encode_command_fuzzer (one line, round trip, non-finite numbers refused) and by
// the client tests, which compare what the detector reads.

using namespace std::string_literals;

InboundEvent event(std::string type, std::optional<std::string> action = {}, std::optional<std::string> message = {}) {
    return {std::move(type), std::move(action), std::move(message)};
}

TEST(Messages, decodesEventsByTheRules) {
    const std::vector<std::pair<std::string, std::optional<InboundEvent>>> cases{
        {R"({"type":"event","action":"hit"})", event("event", "hit")},
        {R"({"type":"event","x":{"y":[1,null]},"action":"hit"})", event("event", "hit")},
        {R"({"type":"error","action":"mic","message":"gone"})", event("error", "mic", "gone")},
        {R"({"type":"\u00e9","message":"x\ny"})", event("\xc3\xa9", std::nullopt, "x\ny")},
        {R"({"action":"hit"})", std::nullopt},
        {R"({"type":"event","action":7})", std::nullopt},
        {R"([{"type":"a"}])", std::nullopt},
        {R"({"type":"a","x":1e400})", std::nullopt}, // too large for a double
        {"{\"type\":\"\xff\"}", std::nullopt},
        {"{\"type\":\"a\x01\"}", std::nullopt},
        {"{\"type\":\"a\"}\0{[junk"s, std::nullopt},
        {std::string(200000, '['), std::nullopt},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(decodeEvent(line), expected) << line.substr(0, 60);
    }
}

} // namespace
} // namespace zonkle
