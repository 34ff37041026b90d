#pragma once

#include <optional>

// The runs that are none of the program's own modes: --help, --version, and
// playing as a hack in another screen saver's window. Returns the exit
// status of such a run, or nothing when the command line is the program's
// own (/S, /P, /A, the settings dialog). Comes before the guard: a host
// owns the lock, and several hacks run at once.
std::optional<int> runOutsideOwnModes(int argc, char** argv);
