#pragma once

#include "startup/program.h"

// How the program makes each of its long-lived windows.
Windows::Factories programWindows();

// The same windows for a run inside another screen saver's window: playback
// draws into the host's window.
Windows::Factories hackWindows();
