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
    : onGuardGone_(std::move(onGuardGone)) {
  descriptor_ = provenGuardDescriptor();
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

// Keys are handed on in the order they came, even when one of them opens
// the password prompt, whose own event loop runs the next ones from here.
void DescriptorGuardLink::onReadable() {
  char bytes[512];
  while (descriptor_ >= 0) {
    const ssize_t got = ::read(descriptor_, bytes, sizeof bytes);
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
    for (GuardCommand& command : reader_.take({bytes, static_cast<std::size_t>(got)}))
      pending_.push_back(std::move(command));
    ::explicit_bzero(bytes, sizeof bytes);
  }
  while (!pending_.empty()) {
    GuardCommand command = std::move(pending_.front());
    pending_.pop_front();
    deliver(command);
    wipeBytes(command.text);
  }
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
  if (!target)
    return;  // nothing on screen takes keys yet (the scan runs): dropped
  QWidget* focus = target->focusWidget();
  if (!focus || (focus != target && !target->isAncestorOf(focus)))
    focus = target;
  const std::unique_ptr<QKeyEvent> event = keyEventFor(command);
  QCoreApplication::sendEvent(focus, event.get());
}

void DescriptorGuardLink::deliverButton(const GuardCommand& command) {
  QWidget* target = receiver();
  const Qt::MouseButton button = mouseButtonFor(command.button);
  if (!target || button == Qt::NoButton)
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
// saver waits on takes keys: it must be possible to answer it.
QWidget* DescriptorGuardLink::receiver() {
  std::erase_if(receivers_, [](const QPointer<QWidget>& widget) { return widget.isNull(); });
  if (QWidget* modal = QApplication::activeModalWidget())
    return modal;
  return receivers_.empty() ? nullptr : receivers_.back().data();
}

void DescriptorGuardLink::takeInput(QWidget& receiver) {
  std::erase(receivers_, QPointer<QWidget>(&receiver));
  receivers_.emplace_back(&receiver);
}

void DescriptorGuardLink::releaseInput(QWidget& receiver) {
  std::erase(receivers_, QPointer<QWidget>(&receiver));
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
