#pragma once

namespace thwack {

// Asks the kernel to send SIGTERM when the process that started the daemon dies. The end of
// standard input already ends the daemon; this is a second guard for the case where another
// process still holds the write end of that pipe. Linux only; returns false if refused.
bool stopWhenParentDies();

} // namespace thwack
