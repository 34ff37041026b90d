#pragma once

#include "startup/program.h"

// How the program makes each of its long-lived windows.
Windows::Factories programWindows();
