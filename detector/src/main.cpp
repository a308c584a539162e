#include <cstdlib>
#include <unistd.h>

#include "daemon/daemon.h"
#include "daemon/daemon_options.h"

int main() {
    thwack::Daemon daemon(thwack::InputChoice::parse(std::getenv("THWACK_INPUT")),
                          thwack::AudioChoice::parse(std::getenv("THWACK_AUDIO_OUT")));
    return daemon.run(STDIN_FILENO, STDOUT_FILENO);
}
