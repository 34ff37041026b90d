#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <functional>

// Waits for a state, not for a time: looks again and again until the
// condition holds or the milliseconds are over, and says which.

// For a state of another process (the program under test): sleeps between
// looks.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (!condition()) {
    if (deadline.hasExpired())
      return false;
    QThread::msleep(5);
  }
  return true;
}

// For a state this process reaches through its own event loop (a player
// whose events arrive as Qt events): lets the events run between looks.
inline bool waitRunningEvents(const std::function<bool()>& condition, int milliseconds) {
  const QDeadlineTimer deadline(milliseconds);
  while (!condition() && !deadline.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return condition();
}

// For a state that must not change, looked at for a while: true when the
// condition held at every look until the milliseconds were over.
inline bool holdsFor(const std::function<bool()>& condition, int milliseconds) {
  return !waitUntil([&] { return !condition(); }, milliseconds);
}
