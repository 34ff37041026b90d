#include "platform/desktop.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "platform/qt_x11.h"

namespace platform {

void QtDesktop::letEventsRun() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  sinceEvents_.start();
}

// A look for events costs a system call and more than reading a folder
// does; a few milliseconds' wait for a key or a click goes unnoticed.
void QtDesktop::letDueEventsRun() {
  constexpr qint64 kEventsEveryMs = 5;
  if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= kEventsEveryMs)
    letEventsRun();
}

int QtDesktop::showCursor(bool show) {
  const bool wasHidden = cursorCount_ < 0;
  cursorCount_ += show ? 1 : -1;
  const bool isHidden = cursorCount_ < 0;
  if (isHidden && !wasHidden)
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
  if (wasHidden && !isHidden)
    QGuiApplication::restoreOverrideCursor();
  return cursorCount_;
}

QRect Desktop::primaryMonitor() const {
  const std::vector<Monitor> all = monitors();
  return all.empty() ? QRect(0, 0, 640, 480) : all.front().place;
}

std::vector<Monitor> QtDesktop::monitors() const {
  const QScreen* primary = QGuiApplication::primaryScreen();
  std::vector<Monitor> found;
  if (primary)
    found.push_back({primary->geometry(), true});
  for (const QScreen* screen : QGuiApplication::screens()) {
    const Monitor monitor{screen->geometry(), false};
    const bool mirrors = std::any_of(found.begin(), found.end(), [&](const Monitor& other) {
      return other.place == monitor.place;
    });
    if (!mirrors && !monitor.place.isEmpty())
      found.push_back(monitor);
  }
  return found;
}

void QtDesktop::watchMonitors(QObject& context, std::function<void()> changed) {
  const auto follow = [&context, changed](QScreen* screen) {
    QObject::connect(screen, &QScreen::geometryChanged, &context, changed);
  };
  for (QScreen* screen : QGuiApplication::screens())
    follow(screen);
  QObject::connect(qGuiApp, &QGuiApplication::screenAdded, &context,
                   [follow, changed](QScreen* screen) {
                     follow(screen);
                     changed();
                   });
  QObject::connect(qGuiApp, &QGuiApplication::screenRemoved, &context, changed);
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, &context, changed);
}

void QtDesktop::makeTopmost(QWidget& window) {
  if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint))
    return;
  // Changing the flags of a shown window hides it; show it again as it was.
  const bool wasVisible = window.isVisible();
  window.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (wasVisible)
    window.show();
}

void QtDesktop::bringToTop(QWidget& window) {
  window.raise();
  window.activateWindow();
}

void QtDesktop::saverStopped() {
  // X11 keeps no "a saver runs" setting of its own; the idle daemon that
  // started us learns of the end from our exit. The server's idle time
  // starts again from now, so that its own saver (which woke the daemon)
  // is off, and does not blank the screen the user just got back.
  xcb_connection_t* const x = applicationConnection();
  if (!x)
    return;
  xcb_force_screen_saver(x, XCB_SCREEN_SAVER_RESET);
  xcb_flush(x);
}

}  // namespace platform
