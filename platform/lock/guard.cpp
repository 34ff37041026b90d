#include "platform/lock/guard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/lock/guard_link.h"
#include "platform/lock/guard_protocol.h"
#include "platform/lock/monitor_covers.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A dead saver's grab lasts until the X server has seen its connection
// close, which may come after the guard's first try: the tries start close
// together, so that the keyboard is free for as short a moment as can be,
// and slow down to as often as the saver tries its own grab.
constexpr milliseconds kFirstGrabRetry{2};
constexpr milliseconds kGrabRetry{100};
// RandR does not tell of every monitor change on every server; a look now
// and then catches the rest.
constexpr milliseconds kMonitorLook{500};
// How long a saver asked to end gets before it is killed.
constexpr milliseconds kTermGrace{2000};
// A saver that ran this long was no failure in a row with the next.
constexpr milliseconds kHealthyRun{60000};
constexpr int kFailuresBeforeNothing = 5;

int signalPipe[2] = {-1, -1};

void onSignal(int number) {
  const char byte = static_cast<char>(number);
  const int saved = errno;
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

bool catchSignals() {
  if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return false;
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGCHLD, &action, nullptr) == 0;
}

void complain(const char* what) {
  std::fprintf(stderr, "Reelvista: %s\n", what);
}

// The descriptor an idle daemon holds off sleep with, or -1.
int sleepLockDescriptor() {
  const char* named = std::getenv("XSS_SLEEP_LOCK_FD");
  if (!named)
    return -1;
  char* end = nullptr;
  const long descriptor = std::strtol(named, &end, 10);
  if (end == named || *end != '\0' || descriptor <= 2 || descriptor >= 65536 ||
      ::fcntl(static_cast<int>(descriptor), F_GETFD) == -1) {
    return -1;
  }
  return static_cast<int>(descriptor);
}

int statusOf(int waitStatus) {
  if (WIFEXITED(waitStatus))
    return WEXITSTATUS(waitStatus);
  return 128 + (WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0);
}

class Guard {
 public:
  Guard(char** argv, xcb_connection_t* connection, xcb_screen_t* screen)
      : argv_(argv), connection_(connection), covers_(connection, screen) {}

  int run();

 private:
  bool startSaver();
  void readLink();
  void onMessage(const GuardMessage& message);
  std::optional<int> onSaverEnded(int waitStatus);
  void lockWithoutSaver();
  int endOnTerminate();
  void releaseSleepLock();
  void takeXEvents();
  int pollTimeout() const;
  void onTimers();

  char** argv_;
  xcb_connection_t* connection_;
  MonitorCovers covers_;
  int sleepLock_ = sleepLockDescriptor();
  pid_t saver_ = -1;
  int link_ = -1;
  GuardMessageReader reader_;
  Clock::time_point saverStarted_;
  bool lockOn_ = false;
  bool lockedByTheGuard_ = false;  // a saver has ended while locked
  bool grabbing_ = false;
  bool grabHeld_ = false;
  milliseconds grabRetry_{kFirstGrabRetry};
  int failuresInARow_ = 0;
  std::optional<Clock::time_point> restartAt_;
  Clock::time_point nextGrab_;
  Clock::time_point nextMonitorLook_;
  bool xFailed_ = false;
};

// The saver is not made to die with the guard: a guard killed outright then
// leaves the saver holding the screen and the grab on its own, where dying
// with it would open a locked screen.
bool Guard::startSaver() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return false;
  // Set here, before the fork: the child only execs.
  ::setenv(kGuardDescriptorVariable, std::to_string(ends[1]).c_str(), 1);
  if (failuresInARow_ >= kFailuresBeforeNothing)
    ::setenv(kPlayNothingVariable, "1", 1);
  const pid_t child = ::fork();
  if (child == 0) {
    ::fcntl(ends[1], F_SETFD, 0);
    ::execv("/proc/self/exe", argv_);
    ::_exit(127);
  }
  ::unsetenv(kGuardDescriptorVariable);
  ::close(ends[1]);
  if (child < 0) {
    ::close(ends[0]);
    return false;
  }
  ::fcntl(ends[0], F_SETFL, O_NONBLOCK);
  saver_ = child;
  link_ = ends[0];
  reader_ = GuardMessageReader();
  saverStarted_ = Clock::now();
  return true;
}

void Guard::readLink() {
  char bytes[256];
  while (link_ >= 0) {
    const ssize_t got = ::read(link_, bytes, sizeof bytes);
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0 && errno == EAGAIN)
      return;
    if (got <= 0) {
      ::close(link_);
      link_ = -1;
      return;
    }
    for (const GuardMessage& message : reader_.take({bytes, static_cast<std::size_t>(got)}))
      onMessage(message);
  }
}

void Guard::onMessage(const GuardMessage& message) {
  switch (message.kind) {
    case GuardMessage::Kind::Covered:
      covers_.coverUnder(message.window);
      releaseSleepLock();
      // The new saver takes the grab over; it tries until it holds.
      if (grabbing_) {
        grabbing_ = false;
        grabHeld_ = false;
        covers_.releaseInput();
      }
      break;
    case GuardMessage::Kind::Locked:
      lockOn_ = true;
      break;
    case GuardMessage::Kind::Unlocked:
      lockOn_ = false;
      break;
    // A saver that never held the grab locked nothing, and the guard ends
    // with it as before. A screen the guard once had to lock itself stays
    // locked: a saver started again in its place that cannot take the grab
    // (someone else holds it) must not open it.
    case GuardMessage::Kind::CannotLock:
      if (!lockedByTheGuard_)
        lockOn_ = false;
      break;
  }
}

// The saver's end: with the lock on and no "unlocked", the screen stays
// black and held, and a new saver starts; otherwise the guard ends too.
std::optional<int> Guard::onSaverEnded(int waitStatus) {
  readLink();  // an "unlocked" written just before the end counts
  if (link_ >= 0)
    ::close(link_);
  link_ = -1;
  saver_ = -1;
  if (!lockOn_)
    return statusOf(waitStatus);
  lockWithoutSaver();
  lockedByTheGuard_ = true;
  if (Clock::now() - saverStarted_ >= kHealthyRun)
    failuresInARow_ = 0;
  ++failuresInARow_;
  std::fprintf(stderr,
               "Reelvista: the saver ended (status %d) with the screen locked; it starts "
               "again.\n",
               statusOf(waitStatus));
  // Back off a little more after each failure, never long.
  const milliseconds pause{std::min(100 * (failuresInARow_ - 1), 1000)};
  restartAt_ = Clock::now() + pause;
  return std::nullopt;
}

// The grab first: the covers are on screen already, under the playback
// window that just went.
void Guard::lockWithoutSaver() {
  grabbing_ = true;
  grabHeld_ = covers_.grabInput();
  grabRetry_ = kFirstGrabRetry;
  nextGrab_ = Clock::now() + grabRetry_;
  covers_.raise();
}

int Guard::endOnTerminate() {
  if (saver_ > 0) {
    ::kill(saver_, SIGTERM);
    const Clock::time_point deadline = Clock::now() + kTermGrace;
    while (::waitpid(saver_, nullptr, WNOHANG) == 0) {
      if (Clock::now() >= deadline) {
        ::kill(saver_, SIGKILL);
        ::waitpid(saver_, nullptr, 0);
        break;
      }
      ::usleep(10000);
    }
  }
  return 0;
}

void Guard::releaseSleepLock() {
  if (sleepLock_ >= 0)
    ::close(sleepLock_);
  sleepLock_ = -1;
  // A saver started later must not take the number for a descriptor of ours.
  ::unsetenv("XSS_SLEEP_LOCK_FD");
}

void Guard::takeXEvents() {
  while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
    if (covers_.isMonitorChange(*event))
      covers_.follow();
    std::free(event);
  }
  if (xcb_connection_has_error(connection_))
    xFailed_ = true;
}

int Guard::pollTimeout() const {
  Clock::time_point next = Clock::now() + kMonitorLook;
  if (covers_.active())
    next = std::min(next, nextMonitorLook_);
  if (grabbing_ && !grabHeld_)
    next = std::min(next, nextGrab_);
  if (restartAt_)
    next = std::min(next, *restartAt_);
  const auto wait = std::chrono::ceil<milliseconds>(next - Clock::now()).count();
  return static_cast<int>(std::max<decltype(wait)>(wait, 0));
}

void Guard::onTimers() {
  const Clock::time_point now = Clock::now();
  if (grabbing_ && !grabHeld_ && now >= nextGrab_) {
    grabHeld_ = covers_.grabInput();
    grabRetry_ = std::min(grabRetry_ * 2, kGrabRetry);
    nextGrab_ = now + grabRetry_;
  }
  if (covers_.active() && now >= nextMonitorLook_) {
    covers_.follow();
    nextMonitorLook_ = now + kMonitorLook;
  }
  if (restartAt_ && now >= *restartAt_) {
    if (startSaver()) {
      restartAt_.reset();
    } else {
      // Ending here would open the locked screen: try again.
      complain("the saver could not be started again; trying on.");
      restartAt_ = now + milliseconds(1000);
    }
  }
}

int Guard::run() {
  // Black from the start: a saver that dies in the moment after it covered
  // the screen, before the guard heard so, leaves these covers and not the
  // desktop. Its playback window comes up over them, and they go under it
  // once it says it covers the screen.
  covers_.raise();
  if (!startSaver()) {
    complain("the saver could not be started.");
    return 1;
  }
  while (true) {
    pollfd watched[] = {{signalPipe[0], POLLIN, 0},
                        {xcb_get_file_descriptor(connection_), POLLIN, 0},
                        {link_, POLLIN, 0}};
    if (::poll(watched, link_ >= 0 ? 3 : 2, pollTimeout()) < 0 && errno != EINTR) {
      complain("the guard could not wait for its saver.");
      return 1;
    }
    char signals[16];
    bool terminate = false;
    for (ssize_t got; (got = ::read(signalPipe[0], signals, sizeof signals)) > 0;)
      terminate = terminate || std::find(signals, signals + got, SIGTERM) != signals + got;
    if (terminate)
      return endOnTerminate();
    readLink();
    int waitStatus = 0;
    if (saver_ > 0 && ::waitpid(saver_, &waitStatus, WNOHANG) == saver_) {
      if (const std::optional<int> status = onSaverEnded(waitStatus))
        return *status;
    }
    takeXEvents();
    if (xFailed_) {
      complain("the guard lost its connection to the X server.");
      return 1;
    }
    onTimers();
  }
}

}  // namespace

bool becomesGuard(bool saverMode) {
  return saverMode && std::getenv(kGuardDescriptorVariable) == nullptr;
}

int runGuard(char** argv) {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) {
    complain("cannot reach the X server, so the screen cannot be covered.");
    xcb_disconnect(connection);
    return 1;
  }
  ::fcntl(xcb_get_file_descriptor(connection), F_SETFD, FD_CLOEXEC);
  if (!catchSignals()) {
    complain("the guard could not watch its saver.");
    xcb_disconnect(connection);
    return 1;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  int status = 1;
  {
    Guard guard(argv, connection, screen);
    status = guard.run();
  }
  xcb_disconnect(connection);
  return status;
}

}  // namespace platform
