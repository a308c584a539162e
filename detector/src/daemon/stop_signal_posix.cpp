#include "daemon/stop_signal_posix.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace thwack {

namespace {

// SIGHUP too: closing the terminal that started the app hangs up both, and the daemon must
// still release what it holds (an IIO buffer) on the way out.
constexpr int stopSignals[] = {SIGTERM, SIGINT, SIGHUP};

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
    for (int number : stopSignals) {
        sigaction(number, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

StopSignal::~StopSignal() {
    for (int number : stopSignals) {
        std::signal(number, SIG_DFL);
    }
    for (int& fd : pipeFds) {
        ::close(fd);
        fd = -1;
    }
}

int StopSignal::fd() const {
    return pipeFds[0];
}

} // namespace thwack
