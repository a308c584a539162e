#include "child_process.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zonkle::bench {

namespace {

constexpr std::chrono::milliseconds reapPollInterval{5};

std::vector<std::string> mergedEnvironment(const std::vector<std::string>& additions) {
    std::map<std::string, std::string> entries;
    const auto add = [&](const std::string& entry) {
        const auto equals = entry.find('=');
        entries[entry.substr(0, equals)] = entry;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
        add(*entry);
    }
    for (const auto& entry : additions) {
        add(entry);
    }
    std::vector<std::string> merged;
    for (const auto& [name, entry] : entries) {
        merged.push_back(entry);
    }
    return merged;
}

} // namespace

ChildProcess::ChildProcess(const std::string& executable, const std::vector<std::string>& environment,
                           Streams streams) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int targets[] = {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
    const int sources[] = {streams.input, streams.output, streams.error};
    for (int i = 0; i < 3; ++i) {
        if (sources[i] >= 0) {
            posix_spawn_file_actions_adddup2(&actions, sources[i], targets[i]);
        }
    }

    auto entries = mergedEnvironment(environment);
    std::vector<char*> envp;
    for (auto& entry : entries) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string program = executable;
    char* argv[] = {program.data(), nullptr};

    const int error = posix_spawn(&processId, executable.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start " + executable + ": " + std::strerror(error));
    }
}

ChildProcess::~ChildProcess() {
    terminate();
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!reaped) {
        const pid_t done = waitpid(processId, nullptr, WNOHANG);
        if (done == processId || (done < 0 && errno != EINTR)) {
            reaped = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(reapPollInterval);
    }
    return true;
}

void ChildProcess::terminate(std::chrono::milliseconds grace) {
    if (reaped) {
        return;
    }
    kill(processId, SIGTERM);
    if (!waitForExit(grace)) {
        kill(processId, SIGKILL);
        waitpid(processId, nullptr, 0);
        reaped = true;
    }
}

} // namespace zonkle::bench
