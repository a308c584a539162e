#pragma once

#include <functional>

namespace zonkle {

class ZonkleApp;

// Everything main does, from the command line to the end of the event loop: a test program runs
// the application through this too, so what it tests is what ships. `started` runs once the
// application is built, before the event loop (a test adds its scripted user there). Returns the
// process's exit status.
int runApplication(int argc, char* argv[], const std::function<void(ZonkleApp&)>& started = {});

} // namespace zonkle
