#include "daemon/parent_death_linux.h"

#include <csignal>
#include <sys/prctl.h>

namespace thwack {

bool stopWhenParentDies() {
    // The signal comes when the thread that spawned the daemon ends, not only its process; the
    // app spawns from its main thread, where the two are the same.
    return ::prctl(PR_SET_PDEATHSIG, SIGTERM) == 0;
}

} // namespace thwack
