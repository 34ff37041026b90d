#include "platform/lock/guard.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
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

#include "platform/lock/guard_input.h"
#include "platform/lock/guard_link.h"
#include "platform/lock/guard_outbox.h"
#include "platform/lock/guard_protocol.h"
#include "platform/lock/guard_start.h"
#include "platform/lock/screen_lock.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long the guard tries to take the keyboard and the pointer at its
// start; past this nothing was locked, and it says so by its status. The
// tries start close together and slow down.
constexpr milliseconds kGrabDeadline{10000};
constexpr milliseconds kFirstGrabRetry{2};
constexpr milliseconds kGrabRetry{100};
// After another client moved or hid what the guard holds, a moment for the
// saver's own word on it (it hides its scan window, say) to arrive.
constexpr milliseconds kRepairDelay{20};
// Everything is checked again now and then, whatever the server told.
constexpr milliseconds kLockedLook{250};
constexpr milliseconds kUnlockedLook{500};
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

// True when SIGTERM came since the last look.
bool terminationAsked() {
  char arrived[16];
  bool terminate = false;
  for (ssize_t got; (got = ::read(signalPipe[0], arrived, sizeof arrived)) > 0;)
    terminate = terminate || std::find(arrived, arrived + got, SIGTERM) != arrived + got;
  return terminate;
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
  Guard(char** argv, xcb_connection_t* connection, xcb_screen_t* screen, bool locked)
      : argv_(argv),
        connection_(connection),
        screen_(connection, screen),
        input_(connection),
        locked_(locked) {}

  int run();

 private:
  bool lockFirst();
  bool startSaver();
  void readLink();
  void onMessage(const GuardMessage& message);
  std::optional<int> onSaverEnded(int waitStatus);
  int endOnTerminate();
  void releaseSleepLock();
  void takeXEvents();
  void forward(const GuardCommand& command);
  void repair();
  int pollTimeout() const;
  void onTimers();
  bool waitForWork();

  char** argv_;
  xcb_connection_t* connection_;
  ScreenLock screen_;
  GuardInput input_;
  const bool locked_;
  int sleepLock_ = sleepLockDescriptor();
  pid_t saver_ = -1;
  int link_ = -1;
  GuardMessageReader reader_{parseGuardMessage};
  GuardOutbox outbox_;
  Clock::time_point saverStarted_;
  bool unlocked_ = false;  // the saver said the password passed
  int failuresInARow_ = 0;
  std::optional<Clock::time_point> restartAt_;
  std::optional<Clock::time_point> repairAt_;
  Clock::time_point nextLook_ = Clock::now();
  bool xFailed_ = false;
};

// The screen is black and both grabs hold before the saver even starts, so
// that no key typed meanwhile reaches another program. The grabs come
// first: a key typed as the screen goes black must not reach the window
// that had the focus.
bool Guard::lockFirst() {
  const Clock::time_point deadline = Clock::now() + kGrabDeadline;
  milliseconds retry = kFirstGrabRetry;
  while (!screen_.grab()) {
    if (Clock::now() >= deadline || terminationAsked())
      return false;
    ::usleep(static_cast<useconds_t>(retry.count() * 1000));
    retry = std::min(retry * 2, kGrabRetry);
  }
  screen_.cover();
  input_.learnKeysDown();
  // The machine may sleep now: the screen is covered and held.
  releaseSleepLock();
  return true;
}

// The saver is not made to die with the guard: it ends itself when the
// guard's socket closes under a locked run.
bool Guard::startSaver() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return false;
  GuardCommand start;
  start.locked = locked_;
  start.playNothing = failuresInARow_ >= kFailuresBeforeNothing;
  start.stage = screen_.container();
  const GuardLine line(start);
  // First on a fresh socket: it fits whole; the keys kept for the saver
  // follow it.
  if (::send(ends[0], line.view().data(), line.view().size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(line.view().size())) {
    ::close(ends[0]);
    ::close(ends[1]);
    return false;
  }
  // Set here, before the fork: the child only execs.
  ::setenv(kGuardDescriptorVariable, std::to_string(ends[1]).c_str(), 1);
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
  reader_.reset();
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
      if (!locked_) {
        screen_.coverUnder(message.window);
        nextLook_ = Clock::now() + kUnlockedLook;
      }
      releaseSleepLock();
      break;
    case GuardMessage::Kind::Shows:
      if (locked_) {
        screen_.keep(message.window);
        repairAt_ = Clock::now() + kRepairDelay;
      }
      break;
    case GuardMessage::Kind::Hides:
      screen_.letGo(message.window);
      break;
    case GuardMessage::Kind::Unlocked:
      unlocked_ = true;
      break;
  }
}

// The saver's end: a locked run goes on, black and held, with a new saver;
// otherwise the guard ends too.
std::optional<int> Guard::onSaverEnded(int waitStatus) {
  readLink();  // an "unlocked" written just before the end counts
  if (link_ >= 0)
    ::close(link_);
  link_ = -1;
  saver_ = -1;
  outbox_.dropLineBegun();
  if (!locked_ || unlocked_)
    return statusOf(waitStatus);
  screen_.letGoOfAll();
  repair();
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
    if (const std::optional<GuardCommand> command = input_.read(*event)) {
      forward(*command);
    } else if (const ScreenLock::Repair due = screen_.repairFor(*event);
               due == ScreenLock::Repair::Now) {
      repair();
    } else if (due == ScreenLock::Repair::Soon && !repairAt_) {
      repairAt_ = Clock::now() + kRepairDelay;
    }
    // A key event says which key was pressed: it is a piece of a password.
    ::explicit_bzero(event, sizeof *event);
    std::free(event);
  }
  if (xcb_connection_has_error(connection_))
    xFailed_ = true;
}

// Input reaches the saver only from here, and only while locked. What the
// socket does not take at once waits, whole lines only, for the saver to
// read or for the next saver; the guard itself never waits on a saver.
void Guard::forward(const GuardCommand& command) {
  if (!locked_)
    return;
  if (!outbox_.add(GuardLine(command).view()))
    complain("a saver that does not read its keys lost one.");
  if (link_ >= 0)
    outbox_.writeTo(link_);
}

// The periodic look takes the grabs again too; one that did not hold is
// tried again at once rather than at the next look.
void Guard::repair() {
  screen_.repair();
  if (locked_ && !screen_.holdsInput()) {
    complain("the keyboard or the pointer was not held; it is taken again.");
    repairAt_ = Clock::now() + kFirstGrabRetry;
  }
}

int Guard::pollTimeout() const {
  Clock::time_point next = Clock::now() + kUnlockedLook;
  if (screen_.active())
    next = std::min(next, nextLook_);
  if (repairAt_)
    next = std::min(next, *repairAt_);
  if (restartAt_)
    next = std::min(next, *restartAt_);
  const auto wait = std::chrono::ceil<milliseconds>(next - Clock::now()).count();
  return static_cast<int>(std::max<decltype(wait)>(wait, 0));
}

void Guard::onTimers() {
  const Clock::time_point now = Clock::now();
  if ((repairAt_ && now >= *repairAt_) || (screen_.active() && now >= nextLook_)) {
    repairAt_.reset();
    nextLook_ = now + (locked_ ? kLockedLook : kUnlockedLook);
    repair();
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

// False when a run not locked cannot wait: it ends. A locked one waits on.
bool Guard::waitForWork() {
  const short toSaver = outbox_.empty() ? 0 : POLLOUT;
  pollfd watched[] = {{signalPipe[0], POLLIN, 0},
                      {xcb_get_file_descriptor(connection_), POLLIN, 0},
                      {link_, static_cast<short>(POLLIN | toSaver), 0}};
  if (::poll(watched, link_ >= 0 ? 3 : 2, pollTimeout()) >= 0 || errno == EINTR)
    return true;
  complain("the guard could not wait for its saver.");
  if (!locked_)
    return false;
  ::usleep(static_cast<useconds_t>(kGrabRetry.count() * 1000));
  return true;
}

int Guard::run() {
  if (locked_ && !lockFirst()) {
    complain(
        "the keyboard and the pointer could not be taken (another program holds them), so "
        "the screen cannot be locked; nothing was locked.");
    return 1;
  }
  if (!startSaver()) {
    complain("the saver could not be started.");
    if (!locked_)
      return 1;
    // The screen is held: it stays so, black, while the saver is tried again.
    restartAt_ = Clock::now() + milliseconds(1000);
  }
  takeXEvents();  // the ones that came while the screen was being taken
  while (true) {
    if (!waitForWork())
      return 1;
    if (terminationAsked())
      return endOnTerminate();
    readLink();
    int waitStatus = 0;
    if (saver_ > 0 && ::waitpid(saver_, &waitStatus, WNOHANG) == saver_) {
      if (const std::optional<int> status = onSaverEnded(waitStatus))
        return *status;
    }
    takeXEvents();
    onTimers();
    // A repair reads replies, and with them the events that came before
    // them: those are taken now, not at the next look.
    takeXEvents();
    if (xFailed_) {
      complain("the guard lost its connection to the X server.");
      return 1;
    }
    if (link_ >= 0)
      outbox_.writeTo(link_);
  }
}

int guardOn(xcb_connection_t* connection, char** argv) {
  const bool locked = lockAskedFor();
  if (locked && onXWayland(connection)) {
    complain(
        "this is a Wayland session, where no X program can hold the keyboard; use the "
        "desktop's own screen locker.");
    return 1;
  }
  std::optional<LockedRunClaim> claim;
  if (locked)
    claim.emplace();
  if (claim && claim->heldElsewhere()) {
    complain("a locked screen saver already holds the screen.");
    return 0;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  Guard guard(argv, connection, screen, locked);
  return guard.run();
}

}  // namespace

bool becomesGuard(bool saverMode) {
  return saverMode && provenGuardDescriptor() < 0;
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
  const int status = guardOn(connection, argv);
  xcb_disconnect(connection);
  return status;
}

}  // namespace platform
