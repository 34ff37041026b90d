#pragma once

#include <xcb/xcb.h>

namespace platform {

// What the guard decides once, at its start.

// True when the user's desktop asks for the password: the run is locked.
bool lockAskedFor();

// True when the X server is XWayland: a grab of it holds nothing against
// the Wayland programs beside it.
bool onXWayland(xcb_connection_t* connection);

// The claim of the one locked run a user has: taken by a locked guard for
// its whole life (a lock on a file in the runtime folder, which the kernel
// lets go with the process).
class LockedRunClaim {
 public:
  LockedRunClaim();
  ~LockedRunClaim();
  LockedRunClaim(const LockedRunClaim&) = delete;
  LockedRunClaim& operator=(const LockedRunClaim&) = delete;

  // True when another locked run holds the screen. A claim that cannot be
  // made for any other reason (no runtime folder) does not stop a lock.
  bool heldElsewhere() const { return heldElsewhere_; }

 private:
  int descriptor_ = -1;
  bool heldElsewhere_ = false;
};

}  // namespace platform
