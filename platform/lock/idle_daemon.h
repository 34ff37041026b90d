#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace platform {

// Idle daemons (xss-lock, xautolock, swayidle) start the saver and end it
// with SIGTERM when the session is unlocked elsewhere. While one of these
// exists, SIGTERM runs the given action on the GUI thread (through a pipe
// that the signal handler writes to), instead of killing the process half
// way through whatever it was doing.
class TerminationSignal final : public QObject {
 public:
  explicit TerminationSignal(std::function<void()> onTerminate, QObject* parent = nullptr);
  ~TerminationSignal() override;

 private:
  std::function<void()> onTerminate_;
  QSocketNotifier* notifier_ = nullptr;
};

// xss-lock -l hands the saver a descriptor, named by XSS_SLEEP_LOCK_FD, that
// holds off the system's sleep until the screen is covered. Closes it (once;
// later calls do nothing).
void releaseSleepLock();

}  // namespace platform
