// zonkle-test-daemon: a stand-in for thwack-core-daemon, for the tests and the benchmarks.
//
// Copied in place of thwack-core-daemon, it takes no arguments and is driven by the environment,
// which the app passes on unchanged:
//   ZONKLE_TEST_DAEMON_RECORD=<file>   appends each line read on stdin (bytes as received, no 0x0A) to
//       <file>, one write(2) per line (a last line without 0x0A too); "<EOF>" when stdin ends, "<SIGTERM>" when SIGTERM
//       arrives (caught: the daemon goes on), and
//       "<HIT> <ns>" after each paced hit (CLOCK_MONOTONIC just before its write).
//   ZONKLE_TEST_DAEMON_ACTIONS=<text>  actions separated by ';', run in order:
//       write TEXT / line TEXT   TEXT (escapes \n \r; "\c" is c) as it is / and one 0x0A
//       hits N [US]              N lines {"type":"event","action":"hit","message":"<i>"}: at once, in
//                                large writes, or one every US microseconds
//       flood N                  N bytes 'x', no line feed
//       pid / fds                {"type":"pid","message":"<pid>"} / {"type":"fds","message":"0 1 2"}
//                                (the descriptors open at start-up)
//       wait-stdin-lines N       wait until N lines in all have arrived on stdin
//       wait-stdin-eof           wait until stdin has ended
//       wait-sigterm             wait for one SIGTERM (also the benchmarks' signal to start writing)
//       pause-stdin              (from the start, wherever it stands) read nothing until SIGUSR1 or
//                                until the writer of stdin hangs up
//       close-stdout / exit CODE / crash   close stdout / exit at once / SIGKILL itself
// After the last action it waits for the end of stdin and exits 0. An unknown action ends it with exit
// code 2 when it is reached; a number that does not parse counts as 0.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <poll.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

int recordFd = -1;
int signalPipes[2][2]; // [0]: SIGUSR1 (resume stdin), [1]: SIGTERM
std::mutex mutex;
std::condition_variable changed;
std::size_t linesRead = 0;
bool stdinEnded = false;

void writeAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno != EINTR) {
            return; // stdout closed, or nobody reads: nothing to do about it
        }
        done += static_cast<std::size_t>(std::max<ssize_t>(written, 0));
    }
}

void record(const std::string& text) {
    writeAll(recordFd, text + "\n"); // without a record file (-1) the write fails, as nobody asked for it
}

void onSignal(int signal) {
    if (signal == SIGTERM) {
        [[maybe_unused]] const ssize_t ignored = ::write(recordFd, "<SIGTERM>\n", 10);
    }
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipes[signal == SIGTERM][1], "", 1);
}

void readStdin(bool paused) {
    pollfd watched[2] = {{STDIN_FILENO, 0, 0}, {signalPipes[0][0], POLLIN, 0}};
    while (paused && ::poll(watched, 2, -1) < 0 && errno == EINTR) {
    }
    for (std::string line; std::getline(std::cin, line);) {
        record(line);
        std::lock_guard lock(mutex);
        ++linesRead;
        changed.notify_all();
    }
    record("<EOF>");
    std::lock_guard lock(mutex);
    stdinEnded = true;
    changed.notify_all();
}

std::string unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool escaped = text[i] == '\\' && i + 1 < text.size();
        const char c = escaped ? text[++i] : text[i];
        out += !escaped ? c : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

void writeHits(std::size_t count, std::chrono::microseconds interval) {
    std::string chunk;
    auto next = std::chrono::steady_clock::now(); // CLOCK_MONOTONIC, as the benchmark reads it
    for (std::size_t i = 1; i <= count; ++i) {
        chunk += R"({"type":"event","action":"hit","message":")" + std::to_string(i) + "\"}\n";
        if (interval.count() > 0) {
            std::this_thread::sleep_until(next += interval);
            const std::chrono::nanoseconds writtenAt = std::chrono::steady_clock::now().time_since_epoch();
            writeAll(STDOUT_FILENO, std::exchange(chunk, {}));
            record("<HIT> " + std::to_string(writtenAt.count()));
        } else if (chunk.size() >= 65536 || i == count) {
            writeAll(STDOUT_FILENO, std::exchange(chunk, {}));
        }
    }
}

void run(const std::string& name, const std::string& argument, const std::string& startupFds) {
    std::istringstream numbers(argument);
    std::size_t number = 0, interval = 0;
    numbers >> number >> interval;
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] {
        return !name.starts_with("wait-stdin-") || stdinEnded || (name == "wait-stdin-lines" && linesRead >= number);
    });
    lock.unlock();
    if (name == "write" || name == "line") {
        writeAll(STDOUT_FILENO, unescape(argument) + (name == "line" ? "\n" : ""));
    } else if (name == "hits") {
        writeHits(number, std::chrono::microseconds(interval));
    } else if (name == "flood") {
        writeAll(STDOUT_FILENO, std::string(number, 'x'));
    } else if (name == "pid" || name == "fds") {
        const std::string message = name == "pid" ? std::to_string(::getpid()) : startupFds;
        writeAll(STDOUT_FILENO, R"({"type":")" + name + R"(","message":")" + message + "\"}\n");
    } else if (name == "wait-sigterm") {
        char byte;
        while (::read(signalPipes[1][0], &byte, 1) < 0 && errno == EINTR) {
        }
    } else if (name == "close-stdout") {
        ::close(STDOUT_FILENO);
    } else if (name == "exit") {
        std::_Exit(static_cast<int>(number));
    } else if (name == "crash") {
        ::kill(::getpid(), SIGKILL);
    } else if (name != "pause-stdin" && !name.starts_with("wait-stdin-")) {
        std::cerr << "zonkle-test-daemon: unknown action '" << name << "'\n";
        std::_Exit(2);
    }
}

} // namespace

int main() {
    std::string startupFds;
    for (int fd = 0; fd < 1024; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1) {
            startupFds.append(startupFds.empty() ? 0 : 1, ' ').append(std::to_string(fd));
        }
    }
    if (const char* path = std::getenv("ZONKLE_TEST_DAEMON_RECORD")) {
        recordFd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
    if (::pipe2(signalPipes[0], O_CLOEXEC) != 0 || ::pipe2(signalPipes[1], O_CLOEXEC) != 0) {
        return 2;
    }
    std::signal(SIGTERM, onSignal); // glibc's signal() restarts interrupted calls
    std::signal(SIGUSR1, onSignal);
    const char* actionText = std::getenv("ZONKLE_TEST_DAEMON_ACTIONS");
    const std::string actions = actionText != nullptr ? actionText : "";
    std::thread stdinReader(readStdin, actions.find("pause-stdin") != std::string::npos);
    std::istringstream list(actions);
    for (std::string item; std::getline(list, item, ';');) {
        std::istringstream words(item);
        std::string name, argument;
        std::getline(words >> name >> std::ws, argument);
        if (!name.empty()) {
            run(name, argument, startupFds);
        }
    }
    stdinReader.join();
    return 0;
}
