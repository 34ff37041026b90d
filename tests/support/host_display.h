#pragma once

#include <xcb/xcb.h>

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>

// What a test playing the host screen saver needs of the X display: windows
// of its own to hand to the program, and the colours the screen shows.
class HostDisplay {
 public:
  HostDisplay();
  ~HostDisplay();
  HostDisplay(const HostDisplay&) = delete;
  HostDisplay& operator=(const HostDisplay&) = delete;

  // A black, mapped window at the place, as a host makes for a hack.
  xcb_window_t makeWindow(const QRect& place);
  void resize(xcb_window_t window, QSize size);
  void destroyWindow(xcb_window_t window);

  // True when every sample point of the area (the middle and four points
  // just inside the corners) of the screen shows the colour.
  bool areaShows(const QRect& area, const QColor& colour);
  // Waits until it does; false after the time.
  bool waitForArea(const QRect& area, const QColor& colour, int milliseconds);

 private:
  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
};

// The process's children (from /proc) whose program is mpv and that have
// not ended.
QList<qint64> mpvChildrenOf(qint64 pid);
// True while the process exists and has not ended (a zombie has ended).
bool processRuns(qint64 pid);
// The process's arguments, as /proc shows them.
QStringList processArguments(qint64 pid);
// True when the mpv process was started with a sound output.
bool playsSound(qint64 mpv);
