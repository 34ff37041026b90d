#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// Another screen saver (a "host") may run the program as one of its hacks:
// it hands over a window of its own (--window-id ID, or XSCREENSAVER_WINDOW
// with --root) and keeps idle, input and the lock to itself. The program's
// own command lines (/S, /P, /A, the settings dialog) are never hack mode.
struct HackMode {
  bool on = false;
  // The window to play into; 0 while on: the root window.
  std::uint32_t window = 0;
  // An explicit --window-id: a settings dialog's small preview, silent.
  bool preview = false;
  // Set when the window named is no window number; the program ends then.
  QString error;
};

// Decides from the arguments (without the program's name) and the value of
// XSCREENSAVER_WINDOW (empty when unset). Hack mode: --root or --window-id
// (one dash or two), or no arguments at all while XSCREENSAVER_WINDOW is set
// (how some hosts start their savers). --window-id wins over the variable.
// Window numbers are hex with 0x, or decimal.
HackMode hackModeOf(const QStringList& arguments, const QString& hostWindowVariable);
