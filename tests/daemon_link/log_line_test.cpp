#include <array>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <unistd.h>

#include "daemon_link/log_line.h"
#include "test_support.h"

namespace zonkle {
namespace {

// Standard output is a pipe that nobody reads (a paused pager) while far more is logged than
// the pipe and the queue hold; then the reader comes back.
TEST(LogLine, neverBlocksOnAStalledReaderAndLogsHowManyLinesItDropped) {
    constexpr int lines = 300000;
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    const int savedOutput = ::dup(STDOUT_FILENO);
    ::dup2(pipeEnds[1], STDOUT_FILENO);
    ::close(pipeEnds[1]);
    auto logging = std::async(std::launch::async, [] {
        for (int i = 0; i < lines; ++i) {
            writeLogLine("line " + std::to_string(i));
        }
    });
    EXPECT_EQ(logging.wait_for(test::generousLimit), std::future_status::ready) << "blocked on a full pipe";
    // Every line in order, each run of dropped ones replaced by their count; after the first count
    // (writing has resumed) a line logged then comes too.
    FILE* output = ::fdopen(pipeEnds[0], "r");
    const std::string notice = " log lines dropped while standard output was not being read.\n";
    int next = 0;
    bool noticed = false;
    std::array<char, 256> line{};
    while (std::fgets(line.data(), line.size(), output) && std::string_view(line.data()) != "back\n") {
        const std::string_view text(line.data());
        if (text.ends_with(notice)) {
            next += std::stoi(line.data());
            if (!std::exchange(noticed, true)) {
                writeLogLine("back");
            }
        } else if (text == "line " + std::to_string(next) + "\n") {
            ++next;
        } else {
            break; // the line is in `line`
        }
    }
    ::dup2(savedOutput, STDOUT_FILENO);
    ::close(savedOutput);
    std::fclose(output);
    EXPECT_EQ(next, lines) << line.data();
    EXPECT_TRUE(noticed);
}

} // namespace
} // namespace zonkle
