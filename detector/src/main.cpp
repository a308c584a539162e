#include <cstdlib>
#include <unistd.h>

#include "daemon.h"
#include "daemon_options.h"

int main() {
    zonkle::Daemon daemon(zonkle::InputChoice::parse(std::getenv("THWACK_INPUT")),
                          zonkle::AudioChoice::parse(std::getenv("THWACK_AUDIO_OUT")));
    return daemon.run(STDIN_FILENO, STDOUT_FILENO);
}
