#pragma once

#include "platform/platform.h"

namespace platform {

// The real desktop: Qt, the media player, PAM and the per-user files. Needs a
// QApplication.
Platform makeDesktopPlatform(int argc, char** argv);

}  // namespace platform
