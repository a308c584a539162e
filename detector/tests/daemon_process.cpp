#include "daemon_process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace thwack::test {

DaemonProcess::DaemonProcess(const std::map<std::string, std::string>& extra, std::vector<std::string> arguments) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "THWACK_", 7) != 0) {
            env.emplace_back(*e);
        }
    }
    for (const auto& [name, value] : extra) {
        env.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(THWACK_DAEMON_PATH)};
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int in[2], outPipe[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    std::signal(SIGPIPE, SIG_IGN);
    child = ::fork();
    if (child == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(outPipe[1], STDERR_FILENO);
        ::execve(THWACK_DAEMON_PATH, argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(outPipe[1]);
    inFd = in[1];
    outFd = outPipe[0];
}

DaemonProcess::~DaemonProcess() {
    if (!reaped) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    for (int fd : {inFd, outFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void DaemonProcess::send(const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(inFd, bytes.data() + done, bytes.size() - done);
        if (n <= 0 && errno != EINTR) {
            throw std::runtime_error("daemon stopped reading its input");
        }
        done += n > 0 ? static_cast<std::size_t>(n) : 0;
    }
}

void DaemonProcess::closeInput() {
    ::close(inFd);
    inFd = -1;
}

void DaemonProcess::signal(int number) const {
    ::kill(child, number);
}

bool DaemonProcess::pump(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd ready{outFd, POLLIN, 0};
    if (outFd < 0 || left.count() <= 0) {
        return false;
    }
    if (const int polled = ::poll(&ready, 1, static_cast<int>(left.count())); polled <= 0) {
        return polled < 0 && errno == EINTR;
    }
    std::array<char, 65536> buffer{};
    const ssize_t n = ::read(outFd, buffer.data(), buffer.size());
    if (n <= 0) {
        ::close(outFd);
        outFd = -1;
        return false;
    }
    out.append(buffer.data(), static_cast<std::size_t>(n));
    return true;
}

bool DaemonProcess::waitFor(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (out.find(text) == std::string::npos) {
        if (!pump(deadline)) {
            return false;
        }
    }
    return true;
}

std::optional<int> DaemonProcess::waitForExit() {
    // The output reaches its end when the daemon exits.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (pump(deadline)) {
    }
    if (outFd >= 0) {
        return std::nullopt; // too slow; the destructor kills it
    }
    int raw = 0;
    reaped = ::waitpid(child, &raw, 0) == child;
    return reaped && WIFEXITED(raw) ? std::optional<int>(WEXITSTATUS(raw)) : std::nullopt;
}

std::vector<std::string> DaemonProcess::events() const {
    std::vector<std::string> lines;
    std::istringstream stream(out.substr(0, out.rfind('\n') + 1));
    for (std::string line; std::getline(stream, line);) {
        if (line.starts_with('{')) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace thwack::test
