#pragma once

#include <cstdint>
#include <functional>

namespace platform {

// What playing inside another screen saver's window needs of the display.

// What `--root` plays into when no host gives a window: a black window of
// our own over the whole root window and under every other window, as the
// desktop's background is, following the root window's size. (mpv draws on
// the root window itself at the clip's size in a corner, or not at all.)
// 0 when there is no X display.
std::uint32_t backgroundWindow();

// True for the one process of this user on this display that plays sound:
// the first to ask, while it runs. Several savers run at once when a host
// gives each monitor one, and they must not all play the same sound. The
// claim is an flock on a file in the runtime folder, so it ends with the
// process however it ends.
bool claimDisplaySound();

// Follows the host's window: false when there is no such window; otherwise
// calls gone() when the window is destroyed, as a host that ends without
// signalling its savers leaves them. Needs the application's X connection.
bool followHostWindow(std::uint32_t window, std::function<void()> gone);

}  // namespace platform
