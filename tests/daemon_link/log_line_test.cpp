#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
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
    const bool returned = logging.wait_for(test::generousLimit) == std::future_status::ready;

    std::string output;
    std::atomic<bool> sawNotice = false;
    std::thread reader([&] {
        char chunk[4096];
        for (ssize_t count; (count = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0;) {
            output.append(chunk, static_cast<std::size_t>(count));
            sawNotice = sawNotice ||
                        output.find("dropped", output.size() - std::min(output.size(), 4200ul)) != std::string::npos;
            if (output.ends_with("back\n")) {
                break;
            }
        }
    });
    ASSERT_TRUE(test::eventually([&] { return sawNotice.load(); }));
    writeLogLine("back");
    reader.join();
    ::dup2(savedOutput, STDOUT_FILENO);
    ::close(savedOutput);
    ::close(pipeEnds[0]);
    logging.wait();

    EXPECT_TRUE(returned) << "writeLogLine blocked on a full pipe";
    // Every line in order, each run of dropped ones replaced by their count, then the line after.
    std::istringstream text(output);
    const std::string notice = " log lines dropped while standard output was not being read.";
    int next = 0;
    int notices = 0;
    std::string line;
    while (std::getline(text, line) && line != "back") {
        if (line.ends_with(notice)) {
            next += std::stoi(line);
            ++notices;
        } else {
            ASSERT_EQ(line, "line " + std::to_string(next++));
        }
    }
    EXPECT_EQ(next, lines);
    EXPECT_GT(notices, 0);
    EXPECT_EQ(line, "back");
}

} // namespace
} // namespace zonkle
