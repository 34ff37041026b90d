#pragma once

namespace platform {

// True when this process is to become the guard: the command line asks for
// saver mode and this process is not the saver of a guard (its parent's
// socket, checked, not a name in the environment, says so).
bool becomesGuard(bool saverMode);

// The guard: decides once whether this run is locked, and when it is, covers
// the screen and holds the keyboard and the pointer before anything else;
// then runs this executable again, with the same arguments, as the saver,
// hands it the keys and buttons, and keeps the screen covered and held
// through the saver's failures until the saver says the password passed or
// SIGTERM comes. Uses no Qt widgets. Returns the program's exit status.
int runGuard(char** argv);

}  // namespace platform
