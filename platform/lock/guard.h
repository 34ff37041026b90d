#pragma once

namespace platform {

// True when this process is to become the guard: the command line asks for
// saver mode and no guard started us.
bool becomesGuard(bool saverMode);

// The guard: runs this executable again, with the same arguments, as the
// saver, and keeps the screen covered and locked should the saver end
// without the password. Uses no Qt. Returns the program's exit status.
int runGuard(char** argv);

}  // namespace platform
