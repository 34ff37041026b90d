#include "platform/lock/guard_link.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/lock/guard_protocol.h"

namespace platform {

DescriptorGuardLink::DescriptorGuardLink() {
  if (const char* named = std::getenv(kGuardDescriptorVariable)) {
    char* end = nullptr;
    const long descriptor = std::strtol(named, &end, 10);
    if (end != named && *end == '\0' && descriptor > 2 && descriptor < 65536 &&
        ::fcntl(static_cast<int>(descriptor), F_GETFD) != -1) {
      descriptor_ = static_cast<int>(descriptor);
      // The media player and anything else we start have no business with it.
      ::fcntl(descriptor_, F_SETFD, FD_CLOEXEC);
    }
  }
  playNothing_ = std::getenv(kPlayNothingVariable) != nullptr;
  ::unsetenv(kGuardDescriptorVariable);
  ::unsetenv(kPlayNothingVariable);
}

DescriptorGuardLink::~DescriptorGuardLink() {
  if (descriptor_ >= 0)
    ::close(descriptor_);
}

void DescriptorGuardLink::covered(std::uint32_t window) {
  const std::string line = guardLine({GuardMessage::Kind::Covered, window});
  send(line.data(), line.size());
}

void DescriptorGuardLink::locked() {
  const std::string line = guardLine({GuardMessage::Kind::Locked});
  send(line.data(), line.size());
}

void DescriptorGuardLink::unlocked() {
  const std::string line = guardLine({GuardMessage::Kind::Unlocked});
  send(line.data(), line.size());
}

void DescriptorGuardLink::cannotLock() {
  const std::string line = guardLine({GuardMessage::Kind::CannotLock});
  send(line.data(), line.size());
}

void DescriptorGuardLink::send(const char* line, std::size_t length) {
  if (descriptor_ < 0)
    return;
  // A guard that is gone leaves the saver holding the screen on its own, as
  // it would without one: no SIGPIPE, and nothing more is sent.
  while (length > 0) {
    const ssize_t sent = ::send(descriptor_, line, length, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR)
      continue;
    if (sent <= 0) {
      ::close(descriptor_);
      descriptor_ = -1;
      return;
    }
    line += sent;
    length -= static_cast<std::size_t>(sent);
  }
}

}  // namespace platform
