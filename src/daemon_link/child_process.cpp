#include "child_process.h"

#include <cerrno>
#include <cstring>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zonkle {
namespace {

void reapLocked(pid_t pid) {
    while (::waitpid(pid, nullptr, 0) == -1 && errno == EINTR) {
    }
}

int prepareSpawn(posix_spawn_file_actions_t& actions, posix_spawnattr_t& attributes, int standardInput,
                 int standardOutput) {
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
        error = ::posix_spawnattr_setpgroup(&attributes, 0);
    }
    if (error == 0) {
        error = ::posix_spawnattr_setflags(&attributes,
                                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    return error;
}

} // namespace

std::optional<std::filesystem::path> locateDaemonExecutable() {
    std::error_code error;
    const auto self = std::filesystem::canonical("/proc/self/exe", error);
    if (error) {
        return std::nullopt;
    }
    auto executable = (self.parent_path() / ".." / "libexec" / "zonkle" / daemonExecutableName).lexically_normal();
    // Existence is enough: a file that cannot be run is found here and fails at launch, with
    // the system's reason in the log.
    if (!std::filesystem::exists(executable, error)) {
        return std::nullopt;
    }
    return executable;
}

std::shared_ptr<ChildProcess> ChildProcess::spawn(const std::filesystem::path& executable, int standardInput,
                                                  int standardOutput, std::error_code& error) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (const int code = ::posix_spawn_file_actions_init(&actions)) {
        error.assign(code, std::generic_category());
        return nullptr;
    }
    int code = ::posix_spawnattr_init(&attributes);
    pid_t pid = -1;
    if (code == 0) {
        code = prepareSpawn(actions, attributes, standardInput, standardOutput);
        std::string path = executable.string();
        char* arguments[] = {path.data(), nullptr};
        if (code == 0) {
            code = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, arguments, environ);
        }
        ::posix_spawnattr_destroy(&attributes);
    }
    ::posix_spawn_file_actions_destroy(&actions);
    error.assign(code, std::generic_category());
    return code == 0 ? std::make_shared<ChildProcess>(pid) : nullptr;
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
    {
        std::lock_guard lock(mutex);
        if (!reaped) {
            reapLocked(processId);
            reaped = true;
        }
    }
    if (info.si_code == CLD_EXITED) {
        return "exited with status " + std::to_string(info.si_status);
    }
    const char* name = ::sigdescr_np(info.si_status); // unlike strsignal, safe on any thread
    return "ended by signal " + std::to_string(info.si_status) + " (" + (name ? name : "unknown") + ")";
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
