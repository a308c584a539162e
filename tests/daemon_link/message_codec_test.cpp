#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>

#include "daemon_link/message_codec.h"
#include "printers.h"

namespace zonkle {
namespace {

using namespace std::string_literals;

InboundEvent event(std::string type, std::optional<std::string> action = std::nullopt,
                   std::optional<std::string> message = std::nullopt) {
    return {std::move(type), std::move(action), std::move(message)};
}

struct DecodeCase {
    const char* rule;
    std::string line;
    std::optional<InboundEvent> expected; // nullopt: rejected as a whole
};

const DecodeCase decodeCases[] = {
    {"hit", R"({"type":"event","action":"hit"})", event("event", "hit")},
    {"null message is absent", R"({"type":"event","action":"hit","message":null})", event("event", "hit")},
    {"extra object ignored", R"({"type":"event","x":{"y":[1,null]},"action":"hit"})", event("event", "hit")},
    {"all three kept", R"({"type":"error","action":"mic","message":"gone"})", event("error", "mic", "gone")},
    {"white space and CR around", " \t{\"type\":\"a\"} \r", event("a")},
    {"escaped line feed", R"({"type":"a","message":"x\ny"})", event("a", std::nullopt, "x\ny")},
    {"unicode escape", R"({"type":"\u00e9"})", event("\xc3\xa9")},
    {"empty line", "", std::nullopt},
    {"no type", R"({"action":"hit"})", std::nullopt},
    {"number type", R"({"type":5})", std::nullopt},
    {"number action", R"({"type":"event","action":7})", std::nullopt},
    {"key case matters", R"({"Type":"event"})", std::nullopt},
    {"array", R"([{"type":"a"}])", std::nullopt},
    {"two objects", R"({"type":"a"}{"type":"b"})", std::nullopt},
    {"trailing garbage", R"({"type":"a"} x)", std::nullopt},
    {"truncated", R"({"type":"a")", std::nullopt},
    {"trailing comma", R"({"type":"a",})", std::nullopt},
    {"invalid UTF-8", "{\"type\":\"\xff\"}", std::nullopt},
    {"overlong UTF-8", "{\"type\":\"\xc0\xaf\"}", std::nullopt},
    {"raw control byte", "{\"type\":\"a\x01\"}", std::nullopt},
    {"NUL inside", "{\"type\":\"a\0\"}"s, std::nullopt},
    {"NUL then garbage", "{\"type\":\"a\"}\0{[junk"s, std::nullopt},
    {"deep nesting", std::string(200000, '['), std::nullopt},
    {"deep nesting under an ignored key",
     R"({"type":"a","x":)" + std::string(200000, '[') + std::string(200000, ']') + "}", event("a")},
};

TEST(MessageCodec, decodesEventsByTheRules) {
    for (const auto& c : decodeCases) {
        EXPECT_EQ(decodeEvent(c.line), c.expected) << c.rule;
    }
}

OutboundCommand config(double sensitivity, std::string sound, bool paused) {
    return {"config", sensitivity, std::move(sound), paused};
}

const OutboundCommand quit{"quit", std::nullopt, std::nullopt, std::nullopt};

TEST(MessageCodec, encodesCommandsAsCompactLinesWithoutAbsentKeys) {
    EXPECT_EQ(encodeCommand(quit), "{\"cmd\":\"quit\"}\n");
    EXPECT_EQ(encodeCommand(quit)->size(), 15u);
    EXPECT_EQ(encodeCommand(config(0.5, "default", false)),
              "{\"cmd\":\"config\",\"sensitivity\":0.5,\"sound\":\"default\",\"paused\":false}\n");
    EXPECT_EQ(encodeCommand({"config", std::nullopt, std::nullopt, true}), "{\"cmd\":\"config\",\"paused\":true}\n");
}

TEST(MessageCodec, escapesStringsSoTheOnlyLineFeedEndsTheLine) {
    const auto line = encodeCommand(config(1, "a\"b\\c\nd\re\x01", true));
    ASSERT_TRUE(line);
    EXPECT_EQ(line->find('\n'), line->size() - 1);
    EXPECT_EQ(decodeCommand(line->substr(0, line->size() - 1)), config(1, "a\"b\\c\nd\re\x01", true));
}

TEST(MessageCodec, refusesNonFiniteSensitivity) {
    for (const double value :
         {std::nan(""), std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()}) {
        EXPECT_EQ(encodeCommand(config(value, "default", false)), std::nullopt) << value;
    }
}

TEST(MessageCodec, replacesInvalidUtf8InCommandsInsteadOfFailing) {
    const auto line = encodeCommand(config(0.5, "bad\xff", false));
    ASSERT_TRUE(line);
    EXPECT_EQ(decodeCommand(line->substr(0, line->size() - 1)), config(0.5, "bad\xef\xbf\xbd", false));
}

} // namespace
} // namespace zonkle
