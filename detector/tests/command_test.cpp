#include <gtest/gtest.h>

#include "protocol/command.h"
#include "protocol/line_splitter.h"

namespace thwack {
namespace {

TEST(Command, decodesConfigAndQuitOrRejectsTheLine) {
    using K = Command::Kind;
    struct Case {
        const char* line;
        std::optional<K> kind; // nothing: rejected
        std::optional<double> sensitivity;
        std::optional<std::string> sound;
        std::optional<bool> paused;
    };
    for (const Case& c : std::initializer_list<Case>{
             {R"({"cmd":"config","sensitivity":0.5,"sound":"default","paused":false})", K::config, 0.5, "default",
              false},
             {R"({"paused":true,"sound":"fart","sensitivity":1,"cmd":"config"})", K::config, 1.0, "fart", true},
             {R"({"cmd":"config","sound":null,"paused":null,"sensitivity":null})", K::config, {}, {}, {}},
             {R"(  {"cmd":"config","extra":{"a":[1]},"sensitivity":2.0}  )", K::config, 2.0, {}, {}},
             {"{\"cmd\":\"config\",\"paused\":true}\r", K::config, {}, {}, true},
             {R"({"cmd":"config","sensitivity":0.01})", K::config, 0.1, {}, {}},
             {R"({"cmd":"config","sensitivity":-4})", K::config, 0.1, {}, {}},
             {R"({"cmd":"config","sensitivity":7})", K::config, 2.0, {}, {}},
             {R"({"cmd":"config","sensitivity":1e308})", K::config, 2.0, {}, {}},
             {R"({"cmd":"config","sensitivity":1e999})", {}, {}, {}, {}}, // beyond a double
             {R"({"cmd":"config","sound":"no-such-sound"})", K::config, {}, "no-such-sound", {}},
             {R"({"cmd":"quit","sensitivity":"ignored"})", K::quit, {}, {}, {}},
             {"", {}, {}, {}, {}},
             {R"(["cmd","config"])", {}, {}, {}, {}},
             {R"({"sensitivity":1})", {}, {}, {}, {}},
             {R"({"cmd":"Config"})", {}, {}, {}, {}},
             {R"({"cmd":"config","sensitivity":"1.0"})", {}, {}, {}, {}},
             {R"({"cmd":"config","sound":3})", {}, {}, {}, {}},
             {R"({"cmd":"config","paused":"true"})", {}, {}, {}, {}},
             {R"({"cmd":"config"} {"cmd":"quit"})", {}, {}, {}, {}}}) {
        const auto parsed = parseCommand(c.line);
        ASSERT_EQ(parsed.command.has_value(), c.kind.has_value()) << c.line << " " << parsed.error;
        EXPECT_EQ(parsed.error.empty(), c.kind.has_value()) << c.line;
        if (c.kind) {
            EXPECT_EQ(parsed.command->kind, *c.kind) << c.line;
            EXPECT_EQ(parsed.command->sensitivity, c.sensitivity) << c.line;
            EXPECT_EQ(parsed.command->sound, c.sound) << c.line;
            EXPECT_EQ(parsed.command->paused, c.paused) << c.line;
        }
    }
}

TEST(LineSplitter, splitsJoinsAndKeepsEmptyLinesWhateverTheReads) {
    LineSplitter splitter;
    EXPECT_EQ(splitter.feed("a\n\nbc\n{\"cmd\""), (std::vector<std::string>{"a", "", "bc"}));
    EXPECT_TRUE(splitter.feed(":\"quit\"").empty());
    EXPECT_EQ(splitter.feed("}\n{"), std::vector<std::string>{R"({"cmd":"quit"})"});
    EXPECT_EQ(splitter.pendingSize(), 1u);
}

TEST(LineSplitter, dropsAnOverlongLineAndResumesAfterItsLineFeed) {
    LineSplitter splitter(8);
    EXPECT_EQ(splitter.feed("12345678\n123456789\n"), std::vector<std::string>{"12345678"}); // exactly the bound
    EXPECT_TRUE(splitter.feed("12345").empty());
    EXPECT_TRUE(splitter.feed("6789abc").empty());
    EXPECT_TRUE(splitter.feed(std::string(100, 'x')).empty());
    EXPECT_EQ(splitter.pendingSize(), 0u);
    EXPECT_EQ(splitter.feed("tail\nok\n"), std::vector<std::string>{"ok"});
    EXPECT_EQ(splitter.takeDroppedCount(), 2u);
    EXPECT_EQ(splitter.takeDroppedCount(), 0u);
}

} // namespace
} // namespace thwack
