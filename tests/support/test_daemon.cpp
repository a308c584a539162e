// zonkle-test-daemon: a scriptable stand-in for thwack-core-daemon, for tests only.
//
// Copy or symlink it as thwack-core-daemon. It takes no arguments (the app starts the daemon
// without any) and is driven by environment variables, which the app passes on unchanged:
//
//   ZONKLE_TEST_DAEMON_RECORD=<file>   Appends every line read on stdin (without its 0x0A, bytes as
//                                      received) to <file>, one write(2) per line, so the file is
//                                      current at all times. Also records: "<INCOMPLETE>" followed by
//                                      the bytes of a last line that had no 0x0A; "<EOF>" when stdin
//                                      ends (written before the daemon exits); "<SIGTERM>" when SIGTERM
//                                      arrives (it is caught: the daemon goes on until stdin ends).
//   ZONKLE_TEST_DAEMON_SCRIPT=<file>   Actions, one per line; blank lines and lines starting with '#'
//                                      are skipped.
//   ZONKLE_TEST_DAEMON_ACTIONS=<text>  Actions inline, separated by ';' or line feeds; run after those
//                                      of the script file.
//
// Actions run in order. TEXT takes the escapes \n \r \t \\ and \xHH (so "\x3b" for ';'):
//   write TEXT            write TEXT to stdout as it is, in one write
//   line TEXT             write TEXT and one 0x0A
//   hits N                write N lines {"type":"event","action":"hit","message":"<i>"}, i = 1..N,
//                         in large writes
//   flood N               write N bytes 'x' and no line feed
//   pid                   write {"type":"pid","message":"<own pid>"}
//   fds                   write {"type":"fds","message":"0 1 2"}: the descriptors that were open when
//                         the daemon started, in ascending order
//   wait-stdin-lines N    wait until N lines in all have arrived on stdin
//   wait-stdin-text TEXT  wait until a stdin line containing TEXT has arrived
//   wait-stdin-eof        wait until stdin has ended
//   wait-sigterm          wait until SIGTERM has arrived (at any time since start-up)
//   pause-stdin           (applies from the start, wherever it stands) read nothing from stdin until
//                         SIGUSR1 arrives or the writer of stdin closes it; then read as usual
//   close-stdout          close standard output (the daemon stays alive)
//   sleep MS              sleep MS milliseconds (for manual use; tests should wait for conditions)
//   exit CODE             exit at once with CODE
//   crash                 kill itself with SIGKILL (no clean-up, no core file)
// After the last action the daemon waits for the end of stdin and exits 0. A malformed script is
// reported on stderr and ends the daemon with exit code 2 before any action runs.
//
// Examples:
//   ZONKLE_TEST_DAEMON_ACTIONS='wait-stdin-lines 1; hits 3' ZONKLE_TEST_DAEMON_RECORD=/tmp/in.txt
//   ZONKLE_TEST_DAEMON_ACTIONS='pid; write {"type":"ev; crash'
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int scriptErrorExitCode = 2;
constexpr std::size_t writeChunkSize = 64 * 1024;

int recordFd = -1;
int resumePipe[2] = {-1, -1};
int sigtermPipe[2] = {-1, -1};

struct Action {
    std::string name;
    std::string argument;
};

struct StdinState {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    bool ended = false;
};

[[noreturn]] void scriptError(const std::string& message) {
    std::fprintf(stderr, "zonkle-test-daemon: %s\n", message.c_str());
    std::exit(scriptErrorExitCode);
}

void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return; // stdout closed by close-stdout, or nobody reads: nothing to do about it
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void record(std::string_view text) {
    if (recordFd >= 0) {
        std::string line(text);
        line.push_back('\n');
        writeAll(recordFd, line);
    }
}

void onSigterm(int) {
    static constexpr char text[] = "<SIGTERM>\n";
    if (recordFd >= 0) {
        [[maybe_unused]] const ssize_t ignored = ::write(recordFd, text, sizeof text - 1);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(sigtermPipe[1], &byte, 1);
}

void onSigusr1(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(resumePipe[1], &byte, 1);
}

std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 'n':
            out.push_back('\n');
            break;
        case 'r':
            out.push_back('\r');
            break;
        case 't':
            out.push_back('\t');
            break;
        case 'x': {
            unsigned value = 0;
            const auto hex = text.substr(i + 1, 2);
            if (hex.size() != 2 || std::from_chars(hex.data(), hex.data() + 2, value, 16).ptr != hex.data() + 2) {
                scriptError("bad \\x escape in: " + std::string(text));
            }
            out.push_back(static_cast<char>(value));
            i += 2;
            break;
        }
        default:
            out.push_back(next);
        }
    }
    return out;
}

std::size_t number(const Action& action) {
    std::size_t value = 0;
    const auto& text = action.argument;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ptr != text.data() + text.size() ||
        text.empty()) {
        scriptError("'" + action.name + "' needs a number, got '" + text + "'");
    }
    return value;
}

void addActions(std::string_view text, std::string_view separators, std::vector<Action>& actions) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        std::string_view item = text.substr(start, end - start);
        start = end + 1;
        const auto first = item.find_first_not_of(" \t\r");
        if (first == std::string_view::npos || item[first] == '#') {
            continue;
        }
        item = item.substr(first, item.find_last_not_of(" \t\r") - first + 1);
        const auto space = item.find(' ');
        Action action{std::string(item.substr(0, space)), ""};
        if (space != std::string_view::npos) {
            action.argument = std::string(item.substr(space + 1));
        }
        actions.push_back(std::move(action));
    }
}

std::vector<Action> loadActions() {
    std::vector<Action> actions;
    if (const char* path = std::getenv("ZONKLE_TEST_DAEMON_SCRIPT")) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            scriptError(std::string("cannot read script ") + path);
        }
        std::stringstream content;
        content << file.rdbuf();
        addActions(content.str(), "\n", actions);
    }
    if (const char* inline_ = std::getenv("ZONKLE_TEST_DAEMON_ACTIONS")) {
        addActions(inline_, ";\n", actions);
    }
    static const std::vector<std::string> known = {"write",
                                                   "line",
                                                   "hits",
                                                   "flood",
                                                   "pid",
                                                   "fds",
                                                   "wait-stdin-lines",
                                                   "wait-stdin-text",
                                                   "wait-stdin-eof",
                                                   "wait-sigterm",
                                                   "pause-stdin",
                                                   "close-stdout",
                                                   "sleep",
                                                   "exit",
                                                   "crash"};
    for (const auto& action : actions) {
        if (std::find(known.begin(), known.end(), action.name) == known.end()) {
            scriptError("unknown action '" + action.name + "'");
        }
        if (action.name == "hits" || action.name == "flood" || action.name == "wait-stdin-lines" ||
            action.name == "sleep" || action.name == "exit") {
            number(action);
        }
        if (action.name == "write" || action.name == "line" || action.name == "wait-stdin-text") {
            unescape(action.argument);
        }
    }
    return actions;
}

std::string openDescriptors() {
    std::vector<int> fds;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            int fd = -1;
            const std::string_view name = entry->d_name;
            if (std::from_chars(name.data(), name.data() + name.size(), fd).ptr == name.data() + name.size() &&
                fd != ::dirfd(dir)) {
                fds.push_back(fd);
            }
        }
        ::closedir(dir);
    }
    std::sort(fds.begin(), fds.end());
    std::string text;
    for (const int fd : fds) {
        text += (text.empty() ? "" : " ") + std::to_string(fd);
    }
    return text;
}

// Waits without reading until SIGUSR1 or until the writer of stdin hangs up.
void waitForResume() {
    pollfd watched[2] = {{STDIN_FILENO, 0, 0}, {resumePipe[0], POLLIN, 0}};
    while (::poll(watched, 2, -1) < 0 && errno == EINTR) {
    }
}

void readStdin(StdinState& state, bool paused) {
    if (paused) {
        waitForResume();
    }
    std::string pending;
    char chunk[writeChunkSize];
    for (;;) {
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        pending.append(chunk, static_cast<std::size_t>(count));
        std::size_t lineFeed;
        while ((lineFeed = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, lineFeed);
            pending.erase(0, lineFeed + 1);
            record(line);
            std::lock_guard lock(state.mutex);
            state.lines.push_back(std::move(line));
            state.changed.notify_all();
        }
    }
    if (!pending.empty()) {
        record("<INCOMPLETE>" + pending);
    }
    record("<EOF>");
    std::lock_guard lock(state.mutex);
    state.ended = true;
    state.changed.notify_all();
}

std::string jsonEvent(std::string_view type, std::string_view message) {
    return R"({"type":")" + std::string(type) + R"(","message":")" + std::string(message) + "\"}\n";
}

void writeHits(std::size_t count) {
    std::string chunk;
    for (std::size_t i = 1; i <= count; ++i) {
        chunk += R"({"type":"event","action":"hit","message":")" + std::to_string(i) + "\"}\n";
        if (chunk.size() >= writeChunkSize || i == count) {
            writeAll(STDOUT_FILENO, chunk);
            chunk.clear();
        }
    }
}

void flood(std::size_t count) {
    const std::string chunk(writeChunkSize, 'x');
    for (std::size_t left = count; left > 0;) {
        const std::size_t size = std::min(left, chunk.size());
        writeAll(STDOUT_FILENO, std::string_view(chunk).substr(0, size));
        left -= size;
    }
}

template <typename Predicate> void waitForStdin(StdinState& state, Predicate done) {
    std::unique_lock lock(state.mutex);
    state.changed.wait(lock, [&] { return done() || state.ended; });
}

void run(const Action& action, StdinState& state, const std::string& startupDescriptors) {
    const std::string& name = action.name;
    if (name == "write") {
        writeAll(STDOUT_FILENO, unescape(action.argument));
    } else if (name == "line") {
        writeAll(STDOUT_FILENO, unescape(action.argument) + "\n");
    } else if (name == "hits") {
        writeHits(number(action));
    } else if (name == "flood") {
        flood(number(action));
    } else if (name == "pid") {
        writeAll(STDOUT_FILENO, jsonEvent("pid", std::to_string(::getpid())));
    } else if (name == "fds") {
        writeAll(STDOUT_FILENO, jsonEvent("fds", startupDescriptors));
    } else if (name == "wait-stdin-lines") {
        const std::size_t wanted = number(action);
        waitForStdin(state, [&] { return state.lines.size() >= wanted; });
    } else if (name == "wait-stdin-text") {
        const std::string text = unescape(action.argument);
        waitForStdin(state, [&] {
            return std::any_of(state.lines.begin(), state.lines.end(),
                               [&](const std::string& line) { return line.find(text) != std::string::npos; });
        });
    } else if (name == "wait-stdin-eof") {
        waitForStdin(state, [] { return false; });
    } else if (name == "wait-sigterm") {
        char byte;
        while (::read(sigtermPipe[0], &byte, 1) < 0 && errno == EINTR) {
        }
    } else if (name == "close-stdout") {
        ::close(STDOUT_FILENO);
    } else if (name == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(number(action)));
    } else if (name == "exit") {
        std::_Exit(static_cast<int>(number(action)));
    } else if (name == "crash") {
        ::kill(::getpid(), SIGKILL);
    }
}

} // namespace

int main() {
    const std::string startupDescriptors = openDescriptors();
    const std::vector<Action> actions = loadActions();
    if (const char* path = std::getenv("ZONKLE_TEST_DAEMON_RECORD")) {
        recordFd = ::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (recordFd < 0) {
            scriptError(std::string("cannot open record file ") + path);
        }
    }
    if (::pipe2(resumePipe, O_CLOEXEC) != 0 || ::pipe2(sigtermPipe, O_CLOEXEC) != 0) {
        scriptError("cannot make a pipe");
    }
    struct sigaction handler {};
    handler.sa_flags = SA_RESTART;
    handler.sa_handler = onSigterm;
    ::sigaction(SIGTERM, &handler, nullptr);
    handler.sa_handler = onSigusr1;
    ::sigaction(SIGUSR1, &handler, nullptr);

    const bool paused =
        std::any_of(actions.begin(), actions.end(), [](const Action& a) { return a.name == "pause-stdin"; });
    StdinState state;
    std::thread stdinReader(readStdin, std::ref(state), paused);
    for (const auto& action : actions) {
        run(action, state, startupDescriptors);
    }
    stdinReader.join();
    return 0;
}
