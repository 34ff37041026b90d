#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace platform {

// The real desktop: Qt, the media player, PAM and the per-user files. Needs a
// QApplication.
Platform makeDesktopPlatform(int argc, char** argv);

// The same, for a run inside a window another screen saver owns: the player
// draws into that window, with sound or without.
Platform makeHackPlatform(int argc, char** argv, std::uint32_t window, bool sound);

}  // namespace platform
