#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <unistd.h>

#include "daemon/daemon.h"
#include "daemon/daemon_options.h"
#include "daemon/parent_death_linux.h"

namespace {

// Exit status for a command line that cannot be used, as getopt-style tools do.
constexpr int usageErrorStatus = 2;

constexpr const char* usage = R"(Usage: thwack-core-daemon [-h | --help] [-v | --version]

Senses hits (knocks and slaps) on the computer and plays a sound for each. Zonkle starts it as
a child process: commands come as JSON lines on standard input, events go as JSON lines to
standard output, diagnostics to standard error. It ends on {"cmd":"quit"}, at the end of its
input, and on SIGTERM, SIGINT or SIGHUP.

Environment:
  THWACK_INPUT      where readings come from:
                      unset or empty  automatic: IIO, lis3lv02d, hdaps, applesmc, then the microphone
                      iio, lis3lv02d, hdaps, applesmc, mic
                                      only that backend
                      FILE.csv        accelerometer replay of t_s,x_g,y_g,z_g lines
                      FILE.wav        microphone replay (mono or stereo, 16-bit PCM or 32-bit float)
  THWACK_AUDIO_OUT  where sounds go:
                      unset or empty  the ALSA device "default"
                      null            nowhere
                      FILE.wav        appended to the file
                      anything else   that ALSA device, e.g. plughw:1,0

Options:
  -h, --help        show this help and exit
  -v, --version     show the version and exit

See thwack-core-daemon(8).
)";

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "-h" || option == "--help") {
            std::fputs(usage, stdout);
            return EXIT_SUCCESS;
        }
        if (option == "-v" || option == "--version") {
            std::printf("thwack-core-daemon %s\n", THWACK_VERSION);
            return EXIT_SUCCESS;
        }
        std::fprintf(stderr, "thwack-core-daemon: unknown option \"%s\"\nTry \"thwack-core-daemon --help\".\n",
                     argv[i]);
        return usageErrorStatus;
    }
    thwack::stopWhenParentDies();
    thwack::Daemon daemon(thwack::InputChoice::parse(std::getenv("THWACK_INPUT")),
                          thwack::AudioChoice::parse(std::getenv("THWACK_AUDIO_OUT")));
    return daemon.run(STDIN_FILENO, STDOUT_FILENO);
}
