#include "daemon_process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
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

    int in[2], outPipe[2], errPipe[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    child = ::fork();
    if (child == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        ::execve(THWACK_DAEMON_PATH, argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    inFd = in[1];
    outFd = outPipe[0];
    errFd = errPipe[0];
    std::signal(SIGPIPE, SIG_IGN);
}

DaemonProcess::~DaemonProcess() {
    if (!status && child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    for (int fd : {inFd, outFd, errFd}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void DaemonProcess::send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(inFd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw std::runtime_error("daemon stopped reading its input");
        }
        done += static_cast<std::size_t>(n);
    }
}

void DaemonProcess::closeInput() {
    ::close(inFd);
    inFd = -1;
}

void DaemonProcess::signal(int number) {
    ::kill(child, number);
}

bool DaemonProcess::pump(std::chrono::steady_clock::time_point deadline) {
    std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
    if (outFd < 0 && errFd < 0) {
        return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    if (ready <= 0) {
        return ready < 0 && errno == EINTR;
    }
    std::array<char, 65536> buffer{};
    for (std::size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) {
            continue;
        }
        const ssize_t n = ::read(fds[i].fd, buffer.data(), buffer.size());
        if (n > 0) {
            (i == 0 ? out : err).append(buffer.data(), static_cast<std::size_t>(n));
        } else {
            ::close(fds[i].fd);
            (i == 0 ? outFd : errFd) = -1;
        }
    }
    return true;
}

std::optional<std::string> DaemonProcess::nextLine() {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        const auto end = out.find('\n', consumed);
        if (end != std::string::npos) {
            std::string line = out.substr(consumed, end - consumed);
            consumed = end + 1;
            return line;
        }
        if (outFd < 0 || !pump(deadline)) {
            return std::nullopt;
        }
    }
}

bool DaemonProcess::waitForStderr(const std::string& text) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (err.find(text) == std::string::npos) {
        if (errFd < 0 || !pump(deadline)) {
            return err.find(text) != std::string::npos;
        }
    }
    return true;
}

std::vector<std::string> DaemonProcess::allLines() {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (auto end = out.find('\n'); end != std::string::npos; end = out.find('\n', start)) {
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::optional<int> DaemonProcess::waitForExit() {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    // Reading to the end of both streams means the daemon has exited (or closed them).
    while (pump(deadline)) {
    }
    int raw = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &raw, WNOHANG);
        if (done == child) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        // The streams are closed, so exit is imminent; block for it.
        if (::waitpid(child, &raw, 0) == child) {
            break;
        }
    }
    status = raw;
    return WIFEXITED(raw) ? std::optional<int>(WEXITSTATUS(raw)) : std::nullopt;
}

} // namespace thwack::test
