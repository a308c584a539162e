#include <cerrno>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"

namespace zonkle {
namespace {

void reapLocked(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) == -1 && errno == EINTR) {
    }
}

} // namespace

ChildProcess::SpawnResult ChildProcess::spawn(const std::filesystem::path& executable, int standardInput,
                                              int standardOutput) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (const int error = ::posix_spawn_file_actions_init(&actions)) {
        return {nullptr, error};
    }
    if (const int error = ::posix_spawnattr_init(&attributes)) {
        ::posix_spawn_file_actions_destroy(&actions);
        return {nullptr, error};
    }

    // dup2 clears close-on-exec on 0 and 1; closefrom keeps every other descriptor of ours
    // (including any opened by libraries without O_CLOEXEC) out of the daemon, which would
    // otherwise hold its own input open and never see its end.
    int error = ::posix_spawn_file_actions_adddup2(&actions, standardInput, STDIN_FILENO);
    if (error == 0) {
        error = ::posix_spawn_file_actions_adddup2(&actions, standardOutput, STDOUT_FILENO);
    }
    if (error == 0) {
        error = ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    }
    // A clean signal state, so the termination request works whatever the calling thread blocks.
    sigset_t noSignals;
    sigset_t defaultSignals;
    ::sigemptyset(&noSignals);
    ::sigemptyset(&defaultSignals);
    ::sigaddset(&defaultSignals, SIGTERM);
    ::sigaddset(&defaultSignals, SIGPIPE);
    if (error == 0) {
        error = ::posix_spawnattr_setsigmask(&attributes, &noSignals);
    }
    if (error == 0) {
        error = ::posix_spawnattr_setsigdefault(&attributes, &defaultSignals);
    }
    if (error == 0) {
        error = ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }

    std::string path = executable.string();
    char* arguments[] = {path.data(), nullptr};
    pid_t pid = -1;
    if (error == 0) {
        error = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, arguments, environ);
    }
    ::posix_spawnattr_destroy(&attributes);
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return {nullptr, error};
    }
    return {std::make_shared<ChildProcess>(pid), 0};
}

void ChildProcess::terminate() {
    std::lock_guard lock(mutex);
    if (!reaped) {
        ::kill(processId, SIGTERM);
    }
}

std::string ChildProcess::waitAndReap() {
    // Wait without reaping, so the pid stays ours until the lock is held.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(processId), &info, WEXITED | WNOWAIT) == -1 && errno == EINTR) {
    }
    std::lock_guard lock(mutex);
    if (!reaped) {
        reapLocked(processId);
        reaped = true;
    }
    if (info.si_code == CLD_EXITED) {
        return "exited with status " + std::to_string(info.si_status);
    }
    return "ended by signal " + std::to_string(info.si_status) + " (" + ::strsignal(info.si_status) + ")";
}

void ChildProcess::killAndReap() {
    std::lock_guard lock(mutex);
    if (!reaped) {
        ::kill(processId, SIGKILL);
        reapLocked(processId);
        reaped = true;
    }
}

} // namespace zonkle
