#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

#include "daemon_link/log_line.h"
#include "test_main_thread.h"

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
    // Read until the count of dropped lines has come, then once more until the line after it.
    std::string output;
    const std::string notice = " log lines dropped while standard output was not being read.";
    for (const std::string& awaited : {notice, std::string("\nback\n")}) {
        char chunk[4096];
        for (ssize_t count;
             output.find(awaited) == std::string::npos && (count = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0;) {
            output.append(chunk, static_cast<std::size_t>(count));
        }
        if (awaited == notice) {
            writeLogLine("back");
        }
    }
    ::dup2(savedOutput, STDOUT_FILENO);
    ::close(savedOutput);
    ::close(pipeEnds[0]);
    // Every line in order, each run of dropped ones replaced by their count, then the line after.
    std::istringstream text(output);
    int next = 0;
    std::string line;
    while (std::getline(text, line) && line != "back") {
        next += line.ends_with(notice) ? std::stoi(line) : 0;
        ASSERT_TRUE(line.ends_with(notice) || line == "line " + std::to_string(next++)) << line;
    }
    EXPECT_EQ(next, lines);
    EXPECT_NE(output.find(notice), std::string::npos);
}

} // namespace
} // namespace zonkle
