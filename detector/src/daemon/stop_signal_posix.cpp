#include "daemon/stop_signal_posix.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace thwack {

namespace {

// The handler can only reach process-wide state.
int pipeFds[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(pipeFds[1], &byte, 1);
}

} // namespace

StopSignal::StopSignal() {
    if (::pipe(pipeFds) == 0) {
        for (int fd : pipeFds) {
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
        }
    }
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

StopSignal::~StopSignal() {
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    for (int& fd : pipeFds) {
        ::close(fd);
        fd = -1;
    }
}

int StopSignal::fd() const {
    return pipeFds[0];
}

} // namespace thwack
