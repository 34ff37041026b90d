#include "platform/lock/idle_daemon.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <cstdlib>

namespace platform {
namespace {

int signalPipe[2] = {-1, -1};
struct sigaction previousAction {};

void onSignal(int /*signal*/) {
  const char byte = 1;
  // Nothing else is safe in a signal handler; the GUI thread does the rest.
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

TerminationSignal::TerminationSignal(std::function<void()> onTerminate, QObject* parent)
    : QObject(parent), onTerminate_(std::move(onTerminate)) {
  if (signalPipe[0] >= 0 || ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;  // one at a time; without a pipe SIGTERM keeps its usual effect
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    if (onTerminate_)
      onTerminate_();
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, &previousAction);
}

TerminationSignal::~TerminationSignal() {
  if (!notifier_)
    return;
  sigaction(SIGTERM, &previousAction, nullptr);
  delete notifier_;
  ::close(signalPipe[0]);
  ::close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
}

void releaseSleepLock() {
  const char* named = std::getenv("XSS_SLEEP_LOCK_FD");
  if (!named)
    return;
  char* end = nullptr;
  const long descriptor = std::strtol(named, &end, 10);
  // Only a plain number naming something beyond the standard streams.
  if (end != named && *end == '\0' && descriptor > 2 && descriptor < 65536 &&
      ::fcntl(static_cast<int>(descriptor), F_GETFD) != -1) {
    ::close(static_cast<int>(descriptor));
  }
  ::unsetenv("XSS_SLEEP_LOCK_FD");
}

}  // namespace platform
