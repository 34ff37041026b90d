#include "platform/lock/guard_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/lock/forwarded_input.h"
#include "platform/qt_x11.h"

namespace platform {
namespace {

// The start line is in the socket before the saver runs; this is only how
// long a saver waits on a guard that is somehow slow to have written it.
constexpr int kStartWaitMs = 5000;
// Keys kept for a receiver to come: far more than anyone types meanwhile.
constexpr std::size_t kMostPending = 4096;
// How soon keys held back after a receiver let go are looked at again.
constexpr int kHeldLookMs = 5;

int loopLevel() {
  return QThread::currentThread()->loopLevel();
}

bool sameFile(const char* one, const char* other) {
  struct stat first {};
  struct stat second {};
  return ::stat(one, &first) == 0 && ::stat(other, &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// The kinds of event a person's keyboard and pointer make; while locked the
// window system's own are no one's at the keyboard.
bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TabletPress:
    case QEvent::TouchBegin:
      return true;
    default:
      return false;
  }
}

void putIntoStage(QWidget& window, xcb_window_t stage) {
  xcb_connection_t* const x = applicationConnection();
  if (!x || stage == XCB_NONE)
    return;
  // Before the window is first mapped, so that no window manager takes it;
  // its map request follows on the same connection.
  const QPoint place = window.geometry().topLeft();
  xcb_reparent_window(x, static_cast<xcb_window_t>(window.winId()), stage,
                      static_cast<std::int16_t>(place.x()), static_cast<std::int16_t>(place.y()));
  xcb_flush(x);
}

}  // namespace

int provenGuardDescriptor() {
  const char* named = std::getenv(kGuardDescriptorVariable);
  if (!named)
    return -1;
  char* end = nullptr;
  const long number = std::strtol(named, &end, 10);
  if (end == named || *end != '\0' || number <= 2 || number >= 65536)
    return -1;
  const int descriptor = static_cast<int>(number);
  int domain = 0;
  socklen_t domainSize = sizeof domain;
  ucred peer{};
  socklen_t peerSize = sizeof peer;
  if (::getsockopt(descriptor, SOL_SOCKET, SO_DOMAIN, &domain, &domainSize) != 0 ||
      domain != AF_UNIX ||
      ::getsockopt(descriptor, SOL_SOCKET, SO_PEERCRED, &peer, &peerSize) != 0) {
    return -1;
  }
  // The socket's other end was made by our parent, which runs this program.
  const pid_t parent = ::getppid();
  const std::string parentProgram = "/proc/" + std::to_string(parent) + "/exe";
  if (peer.pid != parent || peer.uid != ::getuid() ||
      !sameFile("/proc/self/exe", parentProgram.c_str())) {
    return -1;
  }
  return descriptor;
}

DescriptorGuardLink::DescriptorGuardLink(std::function<void()> onGuardGone)
    : DescriptorGuardLink(provenGuardDescriptor(), std::move(onGuardGone)) {}

DescriptorGuardLink::DescriptorGuardLink(int descriptor, std::function<void()> onGuardGone)
    : descriptor_(descriptor), onGuardGone_(std::move(onGuardGone)) {
  ::unsetenv(kGuardDescriptorVariable);
  if (descriptor_ < 0)
    return;
  // The media player and anything else we start have no business with it.
  ::fcntl(descriptor_, F_SETFD, FD_CLOEXEC);
  readStart();
  ::fcntl(descriptor_, F_SETFL, O_NONBLOCK);
  notifier_ = new QSocketNotifier(descriptor_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &DescriptorGuardLink::onReadable);
  if (start_.locked)
    qApp->installEventFilter(this);
}

DescriptorGuardLink::~DescriptorGuardLink() {
  if (start_.locked)
    qApp->removeEventFilter(this);
  if (descriptor_ >= 0)
    ::close(descriptor_);
}

// A guard's word that cannot be read is taken as a lock: the guard may
// well hold the screen, and only a password may open it then.
void DescriptorGuardLink::readStart() {
  std::string line;
  char byte = 0;
  pollfd readable{descriptor_, POLLIN, 0};
  while (line.size() < 64 && ::poll(&readable, 1, kStartWaitMs) == 1 &&
         ::read(descriptor_, &byte, 1) == 1 && byte != '\n') {
    line += byte;
  }
  const std::optional<GuardCommand> start = parseGuardCommand(line);
  if (start && start->kind == GuardCommand::Kind::Start)
    start_ = *start;
  else
    start_.locked = true;
}

void DescriptorGuardLink::onReadable() {
  std::array<char, 512> bytes{};
  while (descriptor_ >= 0) {
    const ssize_t got = ::read(descriptor_, bytes.data(), bytes.size());
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0 && errno == EAGAIN)
      break;
    if (got <= 0) {
      notifier_->setEnabled(false);
      ::close(descriptor_);
      descriptor_ = -1;
      if (start_.locked && onGuardGone_)
        onGuardGone_();
      return;
    }
    reader_.take({bytes.data(), static_cast<std::size_t>(got)}, [this](GuardCommand&& command) {
      if (pending_.size() < kMostPending)
        pending_.push_back(std::move(command));
    });
    wipeBytes(bytes);
  }
  deliverPending();
}

// Keys are handed on in the order they came, one at a time from the front,
// even when one of them opens the password prompt: its event loop hands on
// the next ones from here, and whichever call runs next takes the next key.
void DescriptorGuardLink::deliverPending() {
  while (!pending_.empty() && mayDeliver()) {
    const GuardCommand command = pending_.front();
    pending_.pop_front();
    deliver(command);
  }
}

bool DescriptorGuardLink::mayDeliver() {
  if (!start_.locked)
    return true;  // nothing is handed on
  if (heldAbove_ && loopLevel() > *heldAbove_) {
    deliverSoon(kHeldLookMs);  // the loop may end without any key coming
    return false;
  }
  heldAbove_.reset();
  // A prompt checking a password is deaf: its keys wait for what comes
  // after, the next prompt if this one is refused.
  const QWidget* const target = receiver();
  return target && target->isEnabled();
}

void DescriptorGuardLink::deliverSoon(int delayMs) {
  if (std::exchange(deliverySoon_, true))
    return;
  QTimer::singleShot(delayMs, this, [this] {
    deliverySoon_ = false;
    deliverPending();
  });
}

void DescriptorGuardLink::deliver(const GuardCommand& command) {
  if (!start_.locked)
    return;
  if (command.kind == GuardCommand::Kind::Key)
    deliverKey(command);
  else if (command.kind == GuardCommand::Kind::Button)
    deliverButton(command);
}

void DescriptorGuardLink::deliverKey(const GuardCommand& command) {
  QWidget* target = receiver();
  QWidget* focus = target->focusWidget();
  if (!focus || (focus != target && !target->isAncestorOf(focus)))
    focus = target;
  ForwardedKey key(command);
  QCoreApplication::sendEvent(focus, &key.event());
}

void DescriptorGuardLink::deliverButton(const GuardCommand& command) {
  QWidget* target = receiver();
  const Qt::MouseButton button = mouseButtonFor(command.button);
  if (button == Qt::NoButton)
    return;
  const QPoint global(command.x, command.y);
  QWidget* hit = target->childAt(target->mapFromGlobal(global));
  if (!hit)
    hit = target;
  const QPointF local = hit->mapFromGlobal(global);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
  QCoreApplication::sendEvent(hit, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton,
                      Qt::NoModifier);
  if (QPointer<QWidget> still = hit)
    QCoreApplication::sendEvent(still, &release);
}

// Before the playback window is up (the scan runs), only a message box the
// saver waits on takes keys: it must be possible to answer it. The scan
// window itself takes none; they wait for the playback window.
QWidget* DescriptorGuardLink::receiver() {
  std::erase_if(receivers_, [](const Receiver& taken) { return taken.widget.isNull(); });
  if (QWidget* modal = QApplication::activeModalWidget())
    return modal;
  return receivers_.empty() ? nullptr : receivers_.back().widget.data();
}

void DescriptorGuardLink::takeInput(QWidget& receiver) {
  std::erase_if(receivers_, [&](const Receiver& taken) { return taken.widget == &receiver; });
  receivers_.push_back({&receiver, loopLevel()});
  // Whatever let go before is past: this one has the keys now.
  heldAbove_.reset();
  deliverSoon();
}

void DescriptorGuardLink::releaseInput(QWidget& receiver) {
  const auto taken = std::find_if(receivers_.begin(), receivers_.end(),
                                  [&](const Receiver& one) { return one.widget == &receiver; });
  if (taken == receivers_.end())
    return;
  heldAbove_ = std::min(taken->loopLevel, heldAbove_.value_or(taken->loopLevel));
  receivers_.erase(taken);
  deliverSoon();
}

bool DescriptorGuardLink::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (isInput(type))
    return event->spontaneous();
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || !widget->isWindow())
    return false;
  if (type == QEvent::Show)
    onShown(*widget);
  else if (type == QEvent::Hide)
    send({GuardMessage::Kind::Hides, static_cast<std::uint32_t>(widget->winId())});
  return false;
}

void DescriptorGuardLink::onShown(QWidget& window) {
  putIntoStage(window, start_.stage);
  if (window.isModal())
    deliverSoon();  // a message box takes the keys kept meanwhile
  send({GuardMessage::Kind::Shows, static_cast<std::uint32_t>(window.winId())});
}

void DescriptorGuardLink::covered(std::uint32_t window) {
  send({GuardMessage::Kind::Covered, window});
}

void DescriptorGuardLink::unlocked() {
  send({GuardMessage::Kind::Unlocked});
}

void DescriptorGuardLink::send(const GuardMessage& message) {
  if (descriptor_ < 0)
    return;
  const std::string line = guardLine(message);
  const char* bytes = line.data();
  std::size_t length = line.size();
  // A guard that is gone ends a locked saver through the socket's end; no
  // SIGPIPE here.
  while (length > 0) {
    const ssize_t sent = ::send(descriptor_, bytes, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR)
      continue;
    if (sent <= 0)
      return;
    bytes += sent;
    length -= static_cast<std::size_t>(sent);
  }
}

}  // namespace platform
