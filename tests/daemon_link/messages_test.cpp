#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "daemon_link/messages.h"

namespace zonkle {
namespace {

using namespace std::string_literals;

InboundEvent event(std::string type, std::optional<std::string> action = {}, std::optional<std::string> message = {}) {
    return {std::move(type), std::move(action), std::move(message)};
}

TEST(Messages, decodesEventsByTheRules) {
    const std::vector<std::pair<std::string, std::optional<InboundEvent>>> cases{
        {R"({"type":"event","action":"hit"})", event("event", "hit")},
        {R"({"type":"event","action":"hit","message":null})", event("event", "hit")},
        {R"({"type":"event","x":{"y":[1,null]},"action":"hit"})", event("event", "hit")},
        {R"({"type":"error","action":"mic","message":"gone"})", event("error", "mic", "gone")},
        {" \t{\"type\":\"a\"} \r", event("a")},
        {R"({"type":"\u00e9","message":"x\ny"})", event("\xc3\xa9", std::nullopt, "x\ny")},
        {"", std::nullopt},
        {R"({"action":"hit"})", std::nullopt},
        {R"({"type":5})", std::nullopt},
        {R"({"type":"event","action":7})", std::nullopt},
        {R"({"Type":"event"})", std::nullopt},
        {R"([{"type":"a"}])", std::nullopt},
        {R"({"type":"a"}{"type":"b"})", std::nullopt},
        {R"({"type":"a",})", std::nullopt},
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

TEST(Messages, encodesCommandsAsOneCompactLineWithoutAbsentKeys) {
    const std::vector<std::pair<OutboundCommand, std::optional<std::string>>> cases{
        {{"quit", {}, {}, {}}, "{\"cmd\":\"quit\"}\n"},
        {{"config", 0.5, "default", false},
         "{\"cmd\":\"config\",\"sensitivity\":0.5,\"sound\":\"default\",\"paused\":false}\n"},
        {{"config", {}, "a\"b\\c\nd\x01\xff", {}},
         "{\"cmd\":\"config\",\"sound\":\"a\\\"b\\\\c\\nd\\u0001\xef\xbf\xbd\"}\n"},
        {{"config", std::nan(""), "default", false}, std::nullopt},
        {{"config", -std::numeric_limits<double>::infinity(), "default", false}, std::nullopt}};
    for (const auto& [command, expected] : cases) {
        EXPECT_EQ(encodeCommand(command), expected) << expected.value_or("(refused)");
    }
}

} // namespace
} // namespace zonkle
