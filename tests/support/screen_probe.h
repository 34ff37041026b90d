#pragma once

#include <xcb/xcb.h>

#include <QByteArray>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <thread>

#include "support/own_x_server.h"
#include "support/temp_folder.h"

// What a person sees of the screen and what another program on the display
// can take from it, looked at from clients of the test's own: a window that
// stands for the desktop, the root window's pixels, and grabs tried as any
// other program would try them.

// A colour the saver never shows.
constexpr std::uint32_t kDesktopColour = 0x21c437;

// The pixels of an area of the root window, counted by what they show.
struct ScreenLook {
  int pixels = 0;
  int desktop = 0;  // of the desktop's colour
  int black = 0;
  // True when most of the area is something else than black and the
  // desktop: a window of the saver's own drawing.
  bool mostlyOther() const { return pixels - desktop - black > pixels / 2; }
  bool mostlyBlack() const { return black > pixels / 2; }
};
ScreenLook lookAt(const QRect& area);

// A window of the desktop's colour, on its own connection, mapped above the
// other windows when it is made (and so in view unless something covers it
// at once). It records the keys the server hands it.
class DesktopWindow {
 public:
  DesktopWindow(int x, int y, int size);
  ~DesktopWindow();
  DesktopWindow(const DesktopWindow&) = delete;
  DesktopWindow& operator=(const DesktopWindow&) = delete;

  // True when most of the middle of the window shows its colour.
  bool inView() const;
  bool waitForView(bool wanted, int milliseconds) const;
  // Gives it the keyboard focus, as the window in use before a lock has.
  void focus();
  // Raises it above its siblings, as a client that wants to stay on top does.
  void raise();
  // The key presses it received so far; asks the server a round trip first,
  // so every key handed out before the call is counted.
  int keyPresses();

 private:
  xcb_connection_t* connection_;
  xcb_window_t root_ = 0;
  xcb_window_t window_ = 0;
  QRect middle_;
  int keyPresses_ = 0;
};

// Looks at the desktop window over and over on a thread of its own.
class Watch {
 public:
  explicit Watch(const DesktopWindow& window);
  ~Watch() { stop(); }
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  struct Result {
    int looks = 0;
    int seen = 0;  // looks that saw the desktop
  };
  Result stop();

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> looks_{0};
  std::atomic<int> seen_{0};
  std::thread thread_;
};

enum class InputDevice { Keyboard, Pointer };

// Another program's grab of the keyboard or the pointer on the root window,
// held from its making until it is let go.
class OtherClientGrab {
 public:
  explicit OtherClientGrab(InputDevice device);
  ~OtherClientGrab() { letGo(); }
  OtherClientGrab(const OtherClientGrab&) = delete;
  OtherClientGrab& operator=(const OtherClientGrab&) = delete;

  bool held() const { return held_; }
  void letGo();

 private:
  xcb_connection_t* connection_;
  bool held_ = false;
};

// True when some other program holds the grab of the device. Asked for on
// a window that is not on screen, the grab never holds (and so never takes
// the focus from anyone), but the server still answers "already grabbed"
// first while a grab is held.
bool grabHeldElsewhere(InputDevice device);
bool bothGrabsHeldElsewhere();
// True once both are held by another program; false when not after the time.
bool waitForBothGrabsHeldElsewhere(int milliseconds);

// Another program that tries to take the keyboard and the pointer on the
// root window again and again, on a thread of its own, and lets go of what
// it won at once. Each win is a moment the lock held nothing.
class GrabRace {
 public:
  explicit GrabRace(int pauseMilliseconds = 2);
  ~GrabRace() { stop(); }
  GrabRace(const GrabRace&) = delete;
  GrabRace& operator=(const GrabRace&) = delete;

  struct Result {
    int tries = 0;
    int keyboardWins = 0;
    int pointerWins = 0;
  };
  Result stop();

 private:
  std::atomic<bool> stop_{false};
  Result result_;
  std::thread thread_;
};

// An X server of its own with RandR monitors, which Xvfb does not keep:
// Xorg with the dummy driver (run as root), a screen 1920 wide holding
// monitors L (0 to 640) and R (640 to 1280); 1280 to 1920 is on none yet.
// DISPLAY names it while it runs.
class DummyXorg {
 public:
  // Why it cannot run here, or empty when it can.
  static QString unavailable();

  DummyXorg();
  DummyXorg(const DummyXorg&) = delete;
  DummyXorg& operator=(const DummyXorg&) = delete;

  QString display() const { return server_.display(); }
  // Runs xrandr on DISPLAY; throws when it fails or does not end.
  static void xrandr(const QStringList& arguments);
  // Two monitors as two plugged-in screens make them: outputs DUMMY0 and
  // DUMMY1, 640 by 480 side by side, each on a CRTC of its own (hosts that
  // run one hack per monitor go by the CRTCs), in place of L and R.
  static void useTwoOutputs();
  // Monitors as plugged-in screens make them, each 640 by 480 at its place
  // (inside 1920 by 480): output DUMMY<i> for the i-th, one of them the
  // primary. Replaces L and R.
  static void useOutputs(const QList<QPoint>& places, int primary);
  // Unplugs the i-th output, or makes it the primary.
  static void unplug(int output);
  static void makePrimary(int output);
  // Monitor L down to its top left quarter (0 to 320 by 240).
  static void shrinkMonitorL();

 private:
  TempFolder folder_;
  OwnXServer server_;
};
