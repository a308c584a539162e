#pragma once

#include <optional>

namespace zonkle {

// Reads the command line before anything needs a display. Returns the exit status when the
// run ends here: 0 after --help or --version, 2 after a usage error (reported on standard
// error); nothing when the application should start.
std::optional<int> handleCommandLine(int argc, char* argv[]);

} // namespace zonkle
