#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "daemon_link/log_line.h"

namespace zonkle {
namespace {

// Sends the process's standard output into a pipe until restore().
class CapturedStdout final {
public:
    CapturedStdout() {
        std::fflush(stdout);
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
        readEnd = fds[0];
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[1]);
    }
    ~CapturedStdout() {
        restore();
        ::close(readEnd);
    }
    void restore() {
        if (saved >= 0) {
            std::fflush(stdout);
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
            saved = -1;
        }
    }
    // What the pipe holds now.
    std::string read() const {
        std::string text;
        char chunk[4096];
        for (ssize_t count; (count = ::read(readEnd, chunk, sizeof chunk)) > 0;) {
            text.append(chunk, static_cast<std::size_t>(count));
        }
        return text;
    }

private:
    int saved = ::dup(STDOUT_FILENO);
    int readEnd = -1;
};

TEST(LogLine, reachesAPipeAsSoonAsItIsWritten) {
    CapturedStdout captured;
    writeLogLine("Go daemon started successfully.");
    const std::string first = captured.read();
    writeLogLine("Failed to write to stdin: Broken pipe");
    const std::string second = captured.read();
    captured.restore();
    EXPECT_EQ(first, "Go daemon started successfully.\n");
    EXPECT_EQ(second, "Failed to write to stdin: Broken pipe\n");
}

TEST(LogLine, keepsLinesFromSeveralThreadsWhole) {
    constexpr int threads = 4;
    constexpr int linesPerThread = 300; // well below the pipe's size: nobody has to read meanwhile
    CapturedStdout captured;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([t] {
            const std::string text(20, static_cast<char>('a' + t));
            for (int i = 0; i < linesPerThread; ++i) {
                writeLogLine(text);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    captured.restore();
    const std::string text = captured.read();
    std::vector<int> perThread(threads);
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        ASSERT_EQ(line.size(), 20u) << line;
        ASSERT_EQ(std::count(line.begin(), line.end(), line[0]), 20) << line;
        ++perThread[line[0] - 'a'];
    }
    EXPECT_EQ(start, text.size());
    EXPECT_EQ(perThread, std::vector<int>(threads, linesPerThread));
}

} // namespace
} // namespace zonkle
