#include <gtest/gtest.h>

#include "protocol/command.h"
#include "protocol/line_splitter.h"

namespace thwack {
namespace {

struct ParseCase {
    const char* line;
    std::optional<Command::Kind> kind; // nothing: rejected
    std::optional<double> sensitivity;
    std::optional<std::string> sound;
    std::optional<bool> paused;
};

class CommandParsing : public testing::TestWithParam<ParseCase> {};

TEST_P(CommandParsing, decodesOrRejectsTheLine) {
    const auto& c = GetParam();
    const auto parsed = parseCommand(c.line);
    ASSERT_EQ(parsed.command.has_value(), c.kind.has_value()) << c.line << " " << parsed.error;
    if (!c.kind) {
        EXPECT_FALSE(parsed.error.empty());
        return;
    }
    EXPECT_EQ(parsed.command->kind, *c.kind);
    EXPECT_EQ(parsed.command->sensitivity, c.sensitivity);
    EXPECT_EQ(parsed.command->sound, c.sound);
    EXPECT_EQ(parsed.command->paused, c.paused);
}

using K = Command::Kind;
INSTANTIATE_TEST_SUITE_P(
    Lines, CommandParsing,
    testing::Values(
        ParseCase{R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})", K::config, 0.5, "default",
                  false},
        ParseCase{R"({"paused":true,"sound":"fart","sensitivity":1,"cmd":"config"})", K::config, 1.0, "fart", true},
        ParseCase{R"({"cmd":"config"})", K::config, {}, {}, {}},
        ParseCase{R"({"cmd":"config","sound":null,"paused":null,"sensitivity":null})", K::config, {}, {}, {}},
        ParseCase{R"(  {"cmd":"config","extra":{"a":[1]},"sensitivity":2.0}  )", K::config, 2.0, {}, {}},
        ParseCase{"{\"cmd\":\"config\",\"paused\":true}\r", K::config, {}, {}, true},
        ParseCase{R"({"cmd":"config","sensitivity":0.01})", K::config, 0.1, {}, {}},
        ParseCase{R"({"cmd":"config","sensitivity":-4})", K::config, 0.1, {}, {}},
        ParseCase{R"({"cmd":"config","sensitivity":7})", K::config, 2.0, {}, {}},
        ParseCase{R"({"cmd":"config","sensitivity":1e308})", K::config, 2.0, {}, {}},
        ParseCase{R"({"cmd":"config","sensitivity":1e999})", {}, {}, {}, {}}, // beyond a double
        ParseCase{R"({"cmd":"config","sound":"no-such-sound"})", K::config, {}, "no-such-sound", {}},
        ParseCase{R"({"cmd":"quit"})", K::quit, {}, {}, {}},
        ParseCase{R"({"cmd":"quit","sensitivity":"ignored"})", K::quit, {}, {}, {}}, ParseCase{"", {}, {}, {}, {}},
        ParseCase{R"(["cmd","config"])", {}, {}, {}, {}}, ParseCase{R"({"sensitivity":1})", {}, {}, {}, {}},
        ParseCase{R"({"cmd":"Config"})", {}, {}, {}, {}},
        ParseCase{R"({"cmd":"config","sensitivity":"1.0"})", {}, {}, {}, {}},
        ParseCase{R"({"cmd":"config","sound":3})", {}, {}, {}, {}},
        ParseCase{R"({"cmd":"config","paused":"true"})", {}, {}, {}, {}},

        ParseCase{R"({"cmd":"config"} {"cmd":"quit"})", {}, {}, {}, {}}));

TEST(LineSplitter, splitsJoinsAndKeepsEmptyLinesWhateverTheReads) {
    LineSplitter splitter;
    EXPECT_EQ(splitter.feed("a\nbc\n"), (std::vector<std::string>{"a", "bc"}));
    EXPECT_EQ(splitter.pendingSize(), 0u);
    EXPECT_TRUE(splitter.feed("{\"cmd\"").empty());
    EXPECT_TRUE(splitter.feed(":\"quit\"").empty());
    EXPECT_EQ(splitter.feed("}\n{"), std::vector<std::string>{R"({"cmd":"quit"})"});
    EXPECT_EQ(splitter.pendingSize(), 1u);
    LineSplitter fresh;
    EXPECT_EQ(fresh.feed("\n\nx\n"), (std::vector<std::string>{"", "", "x"}));
}

TEST(LineSplitter, dropsAnOverlongLineAndResumesAfterItsLineFeed) {
    LineSplitter splitter(8);
    EXPECT_TRUE(splitter.feed("12345").empty());
    EXPECT_TRUE(splitter.feed("6789abc").empty());
    EXPECT_EQ(splitter.pendingSize(), 0u);
    EXPECT_TRUE(splitter.feed(std::string(100, 'x')).empty());
    EXPECT_EQ(splitter.pendingSize(), 0u);
    EXPECT_EQ(splitter.feed("tail\nok\n"), std::vector<std::string>{"ok"});
    EXPECT_EQ(splitter.takeDroppedCount(), 1u);
    EXPECT_EQ(splitter.takeDroppedCount(), 0u);
}

TEST(LineSplitter, acceptsALineOfExactlyTheBound) {
    LineSplitter splitter(4);
    EXPECT_EQ(splitter.feed("abcd\nabcde\nz\n"), (std::vector<std::string>{"abcd", "z"}));
    EXPECT_EQ(splitter.takeDroppedCount(), 1u);
}

} // namespace
} // namespace thwack
